// The text form of the helper library's ATR record.
#include "identification/MoraAtrMask.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace ZEPH_Helper;

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
