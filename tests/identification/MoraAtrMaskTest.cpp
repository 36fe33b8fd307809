// The text form of the helper library's ATR record.
#include "identification/MoraAtrMask.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace ZEPH_Helper;

TEST(MoraAtrMaskText, ShowsTypeSourceScTypeAndProviderButNoBytes) {
    MoraAtrMask record;
    EXPECT_EQ(MoraAtrMaskText(record),
              u"ATR Type 'UNKNOWN' Source 'UNKNOWN' SC Type 'PREDEFINED' Provider ''");
    record.cbAtr = 2;
    record.rgbAtr[0] = 0x3B;
    record.atrType = 3;
    record.atrSource = 1;
    record.scType = 25;
    std::copy_n(u"Talpo eCard T3", 15, record.provider);
    EXPECT_EQ(MoraAtrMaskText(record),
              u"ATR Type 'TCOS3' Source 'CALAIS' SC Type 'KMDT Fake HLNK' Provider 'Talpo eCard "
              u"T3'");
    // A provider without a terminator ends at the record's capacity.
    std::fill(std::begin(record.provider), std::end(record.provider), u'p');
    EXPECT_TRUE(MoraAtrMaskText(record).ends_with(u"Provider '" + std::u16string(64, u'p') + u"'"));
}

}  // namespace
