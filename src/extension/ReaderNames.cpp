#include "extension/ReaderNames.h"

namespace {

char16_t FoldCase(char16_t c) {
    const bool asciiUpper = c >= u'A' && c <= u'Z';
    const bool latin1Upper = c >= 0xC0 && c <= 0xDE && c != 0xD7;
    return asciiUpper || latin1Upper ? static_cast<char16_t>(c + 0x20) : c;
}

}  // namespace

bool ReaderNamesEqualIgnoringCase(std::u16string_view left, std::u16string_view right) {
    if (left.size() != right.size()) {
        return false;
    }
    for (size_t i = 0; i < left.size(); ++i) {
        if (FoldCase(left[i]) != FoldCase(right[i])) {
            return false;
        }
    }
    return true;
}
