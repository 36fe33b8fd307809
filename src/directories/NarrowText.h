// The directory library's message texts in the platform's narrow text: the source spells them in
// UTF-8; on Windows they become single bytes of the ANSI code page (the German letters of the
// texts are the same bytes in ISO 8859-1 and code page 1252), on Linux they stay UTF-8.
//
//   TracerWrite(context, true, "CDB_GetLogDir: Konnten keinen LogPfad für <%s> ermitteln!"_nt, id);
#pragma once

#include <cstddef>

namespace configdb {

template <size_t N>
struct NarrowLiteral {
    char text[N]{};

    consteval NarrowLiteral(const char (&utf8)[N]) {
#ifdef _WIN32
        size_t out = 0;
        for (size_t in = 0; in < N; ++in) {
            const auto byte = static_cast<unsigned char>(utf8[in]);
            if ((byte & 0xE0) == 0xC0 && in + 1 < N) {
                // Two-byte sequences up to U+00FF: the letters of the messages.
                const auto next = static_cast<unsigned char>(utf8[++in]);
                text[out++] = static_cast<char>(((byte & 0x1F) << 6) | (next & 0x3F));
            } else {
                text[out++] = utf8[in];
            }
        }
#else
        for (size_t i = 0; i < N; ++i) {
            text[i] = utf8[i];
        }
#endif
    }
};

template <NarrowLiteral Literal>
constexpr const char* operator""_nt() noexcept {
    return Literal.text;
}

}  // namespace configdb
