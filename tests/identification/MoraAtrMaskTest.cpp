// The text form of the helper library's ATR record (the known names show in the ATR table's
// trace lines, tests/identification/AtrTableTest.cpp).
#include "identification/MoraAtrMask.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace ZEPH_Helper;

// Values without a name are UNKNOWN; a provider without a terminator ends at the record's end.
TEST(MoraAtrMaskText, NamesUnknownValuesAndEndsAnUnterminatedProviderAtTheRecord) {
    MoraAtrMask record;
    record.atrSource = 7;
    record.scType = 99;
    std::fill(std::begin(record.provider), std::end(record.provider), u'p');
    EXPECT_EQ(MoraAtrMaskText(record),
              u"ATR Type 'UNKNOWN' Source 'UNKNOWN' SC Type 'UNKNOWN' Provider '" +
                  std::u16string(64, u'p') + u"'");
}

}  // namespace
