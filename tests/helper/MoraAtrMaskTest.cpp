// The texts of the record's enumerations and the record's text form.
#include "helper/MoraAtrMask.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace ZEPH_Helper;

TEST(MoraAtrMaskTexts, NameTheKnownValuesAndCallTheRestUnknown) {
    EXPECT_EQ(std::u16string(AtrTypeText(3)), u"TCOS3");
    EXPECT_EQ(std::u16string(AtrTypeText(0)), u"UNKNOWN");
    EXPECT_EQ(std::u16string(AtrSourceText(1)), u"CALAIS");
    EXPECT_EQ(std::u16string(AtrSourceText(2)), u"PREDEFINED");
    EXPECT_EQ(std::u16string(AtrSourceText(0)), u"UNKNOWN");
    EXPECT_EQ(std::u16string(AtrSourceText(3)), u"UNKNOWN");
    const std::pair<uint32_t, std::u16string_view> scTypes[] = {
        {0, u"PREDEFINED"}, {1, u"KV"},        {4, u"Norma"},           {5, u"KMDT Fake RVW"},
        {14, u"Norma LX"},  {24, u"Norma RY"}, {25, u"KMDT Fake HLNK"}, {34, u"Norma Talpo"},
        {2, u"UNKNOWN"},    {35, u"UNKNOWN"}};
    for (const auto& [value, text] : scTypes) {
        EXPECT_EQ(ScTypeText(value), text) << value;
    }
}

TEST(MoraAtrMaskText, ShowsTypeSourceScTypeAndProviderButNoBytes) {
    MoraAtrMask record;
    record.cbAtr = 2;
    record.rgbAtr[0] = 0x3B;
    record.atrType = 3;
    record.atrSource = 1;
    record.scType = 25;
    std::copy_n(u"Talpo eCard T3", 15, record.provider);
    EXPECT_EQ(MoraAtrMaskText(record),
              u"ATR Type 'TCOS3' Source 'CALAIS' SC Type 'KMDT Fake "
              u"HLNK' Provider 'Talpo eCard T3'");
}

TEST(MoraAtrMaskText, FreshRecordIsAllZeroAndEndsInEmptyQuotes) {
    const MoraAtrMask record;
    EXPECT_EQ(record.cbAtr, 0u);
    EXPECT_TRUE(std::all_of(std::begin(record.rgbAtr), std::end(record.rgbAtr),
                            [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(MoraAtrMaskText(record),
              u"ATR Type 'UNKNOWN' Source 'UNKNOWN' SC Type 'PREDEFINED' Provider ''");
}

TEST(MoraAtrMaskText, ProviderWithoutTerminatorEndsAtTheRecordsCapacity) {
    MoraAtrMask record;
    std::fill(std::begin(record.provider), std::end(record.provider), u'p');
    const std::u16string text = MoraAtrMaskText(record);
    EXPECT_NE(text.find(u"Provider '" + std::u16string(64, u'p') + u"'"), std::u16string::npos);
}

}  // namespace
