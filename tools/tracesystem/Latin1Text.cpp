#include "Latin1Text.h"

namespace zeph::tracesystem {

void AppendLatin1AsUtf8(std::string& out, std::string_view latin1) {
    out.reserve(out.size() + latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
}

}  // namespace zeph::tracesystem
