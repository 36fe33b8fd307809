// Recognition of the maker's virtual readers by name. A name belongs to a kind when it sorts
// strictly after the kind's prefix followed by a blank and strictly before the prefix followed
// by "X", comparing UTF-16 code units in order (a shorter name sorts first on a common
// prefix): the prefix, then either a blank and at least one more character, or one character
// between blank and "X" (both excluded) and anything after it.
#pragma once

#include <string_view>

namespace ZEPH_Helper {

inline constexpr std::u16string_view kVirtualReaderPrefix = u"TALPO Virtueller SmartCard Leser";
inline constexpr std::u16string_view kVirtualReplicatorPrefix =
    u"TALPO Virtueller SmartCard Replikator";
inline constexpr std::u16string_view kVirtualMinidriverPrefix =
    u"TALPO Virtueller SmartCard Minitreiber";

// True when the name lies in the prefix's range.
bool IsReaderOfKind(std::u16string_view reader, std::u16string_view prefix);

bool VH_IsVirtualReader(std::u16string_view reader);
bool VH_IsVirtualReplicator(std::u16string_view reader);
bool VH_IsVirtualMinidriver(std::u16string_view reader);

}  // namespace ZEPH_Helper
