#include "platform/TextConversion.h"

#include <climits>

#include <windows.h>

namespace zeph::platform {

std::u16string NarrowToWide(std::string_view narrow) {
    if (narrow.empty() || narrow.size() > INT_MAX) {
        return {};
    }
    const int inLength = static_cast<int>(narrow.size());
    const int outLength = MultiByteToWideChar(CP_ACP, 0, narrow.data(), inLength, nullptr, 0);
    if (outLength <= 0) {
        return {};
    }
    std::u16string wide(static_cast<size_t>(outLength), u'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), inLength, AsWChar(wide.data()), outLength);
    return wide;
}

namespace {

std::string WideToCodePage(std::u16string_view wide, UINT codePage) {
    if (wide.empty() || wide.size() > INT_MAX) {
        return {};
    }
    const int inLength = static_cast<int>(wide.size());
    const wchar_t* in = AsWChar(wide.data());
    const int outLength =
        WideCharToMultiByte(codePage, 0, in, inLength, nullptr, 0, nullptr, nullptr);
    if (outLength <= 0) {
        return {};
    }
    std::string narrow(static_cast<size_t>(outLength), '\0');
    WideCharToMultiByte(codePage, 0, in, inLength, narrow.data(), outLength, nullptr, nullptr);
    return narrow;
}

}  // namespace

std::string WideToNarrow(std::u16string_view wide) {
    return WideToCodePage(wide, CP_ACP);
}

std::string WideToUtf8(std::u16string_view wide) {
    return WideToCodePage(wide, CP_UTF8);
}

// Steps through the text by characters of the ANSI code page: a lead byte of a double-byte
// character takes its trail byte along.
size_t NarrowPrefixLength(std::string_view narrow, size_t maxBytes) noexcept {
    if (maxBytes >= narrow.size()) {
        return narrow.size();
    }
    size_t pos = 0;
    while (pos < maxBytes) {
        const size_t step =
            IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(narrow[pos])) && pos + 1 < narrow.size() ? 2
                                                                                                : 1;
        if (pos + step > maxBytes) {
            break;
        }
        pos += step;
    }
    return pos;
}

}  // namespace zeph::platform
