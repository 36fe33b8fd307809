// Recognition of the maker's virtual readers: a name lies strictly between the prefix followed
// by a blank and the prefix followed by "X", in the order of UTF-16 code units.
#include "identification/ReaderKinds.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace ZEPH_Helper;

enum Kind { None, Reader, Replicator, Minidriver };

TEST(ReaderKinds, EachKindIsTheRangeAfterItsOwnPrefix) {
    const std::u16string reader = u"TALPO Virtueller SmartCard Leser";
    const std::pair<std::u16string, Kind> cases[] = {
        {reader + u" 0", Reader},
        {reader + u"Wxyz", Reader},
        {reader, None},
        {reader + u" ", None},  // the lower bound itself
        {reader + u"X", None},  // the upper bound itself
        {reader + u"a", None},  // ordinal: lower case sorts above "X"
        {reader + u"\t1", None},
        {std::u16string(u"t").append(reader, 1).append(u" 0"), None},  // case counts
        {u"TALPO Virtueller SmartCard Replikator 0", Replicator},
        {u"TALPO Virtueller SmartCard Minitreiber 0", Minidriver},
    };
    for (const auto& [name, kind] : cases) {
        EXPECT_EQ(VH_IsVirtualReader(name), kind == Reader)
            << std::string(name.begin(), name.end());
        EXPECT_EQ(VH_IsVirtualReplicator(name), kind == Replicator);
        EXPECT_EQ(VH_IsVirtualMinidriver(name), kind == Minidriver);
    }
}

}  // namespace
