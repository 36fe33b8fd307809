// Recognition of the maker's virtual readers: a name lies strictly between the prefix followed
// by a blank and the prefix followed by "X", in the order of UTF-16 code units.
#include "identification/ReaderKinds.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace ZEPH_Helper;

const std::u16string kPrefix = u"TALPO Virtueller SmartCard Leser";

TEST(ReaderKindRange, NamesBetweenTheBoundsBelongToTheKind) {
    EXPECT_TRUE(VH_IsVirtualReader(kPrefix + u" 0"));
    EXPECT_TRUE(VH_IsVirtualReader(kPrefix + u"  "));
    EXPECT_TRUE(VH_IsVirtualReader(kPrefix + u"!"));
    EXPECT_TRUE(VH_IsVirtualReader(kPrefix + u"W"));
    EXPECT_TRUE(VH_IsVirtualReader(kPrefix + u"Wxyz"));
    EXPECT_TRUE(VH_IsVirtualReader(kPrefix + u"1 extra"));
}

TEST(ReaderKindRange, BoundsAndNamesOutsideThemDoNot) {
    EXPECT_FALSE(VH_IsVirtualReader(kPrefix));
    EXPECT_FALSE(VH_IsVirtualReader(kPrefix + u" "));
    EXPECT_FALSE(VH_IsVirtualReader(kPrefix + u"X"));
    EXPECT_FALSE(VH_IsVirtualReader(kPrefix + u"X1"));
    EXPECT_FALSE(VH_IsVirtualReader(kPrefix + u"a"));
    EXPECT_FALSE(VH_IsVirtualReader(kPrefix + u"\t1"));
    EXPECT_FALSE(VH_IsVirtualReader(kPrefix.substr(0, kPrefix.size() - 1)));
    EXPECT_FALSE(VH_IsVirtualReader(u""));
}

TEST(ReaderKindRange, ComparisonIsOrdinalAndCaseSensitive) {
    std::u16string upper = kPrefix + u" 0";
    upper[0] = u't';
    EXPECT_FALSE(VH_IsVirtualReader(upper));
    EXPECT_FALSE(VH_IsVirtualReader(kPrefix + u"\u00e9"));
    EXPECT_TRUE(VH_IsVirtualReader(kPrefix + u" \u00e9"));
}

TEST(ReaderKinds, EachKindHasItsOwnPrefix) {
    const std::u16string reader = kPrefix + u" 0";
    const std::u16string replicator = u"TALPO Virtueller SmartCard Replikator 0";
    const std::u16string minidriver = u"TALPO Virtueller SmartCard Minitreiber 0";
    EXPECT_TRUE(VH_IsVirtualReader(reader));
    EXPECT_FALSE(VH_IsVirtualReplicator(reader));
    EXPECT_FALSE(VH_IsVirtualMinidriver(reader));
    EXPECT_TRUE(VH_IsVirtualReplicator(replicator));
    EXPECT_FALSE(VH_IsVirtualReader(replicator));
    EXPECT_TRUE(VH_IsVirtualMinidriver(minidriver));
    EXPECT_FALSE(VH_IsVirtualReplicator(minidriver));
    EXPECT_FALSE(VH_IsVirtualMinidriver(u"TALPO Virtueller SmartCard Minitreiber"));
    EXPECT_FALSE(VH_IsVirtualReader(u"KOBIL Systems Smart Token 0"));
}

}  // namespace
