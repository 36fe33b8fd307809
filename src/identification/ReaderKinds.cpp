#include "identification/ReaderKinds.h"

#include <string>

namespace ZEPH_Helper {

bool IsReaderOfKind(std::u16string_view reader, std::u16string_view prefix) {
    const std::u16string after = std::u16string(prefix) + u' ';
    const std::u16string before = std::u16string(prefix) + u'X';
    return reader > std::u16string_view(after) && reader < std::u16string_view(before);
}

bool VH_IsVirtualReader(std::u16string_view reader) {
    return IsReaderOfKind(reader, kVirtualReaderPrefix);
}

bool VH_IsVirtualReplicator(std::u16string_view reader) {
    return IsReaderOfKind(reader, kVirtualReplicatorPrefix);
}

bool VH_IsVirtualMinidriver(std::u16string_view reader) {
    return IsReaderOfKind(reader, kVirtualMinidriverPrefix);
}

}  // namespace ZEPH_Helper
