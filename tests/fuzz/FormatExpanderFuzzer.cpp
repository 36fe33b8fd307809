// libFuzzer target of the trace format expander. The input is a mode byte (bit 0: a wide
// format), the format up to a zero unit (bytes, or UTF-16LE units when wide) and then arguments,
// each a kind byte and its payload. Besides crashes, undefined behaviour and reads past a text,
// it checks that a wide expansion written for the trace system is the expanded text cut at
// 4,095 units, or empty when those units are not all ISO 8859-1.
#include <algorithm>
#include <bit>
#include <deque>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "tracing/FormatExpander.h"
#include "tracing/Latin1.h"

namespace {

namespace trace = zeph::trace;
using trace::FormatArg;

// The input from its front, zero bytes beyond its end.
struct Input {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;

    uint64_t Bits(size_t bytes) {
        uint64_t value = 0;
        for (size_t i = 0; i < bytes; ++i) {
            value |= uint64_t{pos < size ? data[pos++] : uint8_t{0}} << (8 * i);
        }
        return value;
    }
    uint8_t Byte() { return static_cast<uint8_t>(Bits(1)); }
    // Up to maxLength units (UTF-16LE units when wide), ending at a zero unit when stopAtZero.
    template <typename Char>
    std::basic_string<Char> Text(size_t maxLength, bool stopAtZero) {
        std::basic_string<Char> text;
        for (Char unit; pos < size && text.size() < maxLength; text.push_back(unit)) {
            unit = static_cast<Char>(Bits(sizeof(Char)));
            if (stopAtZero && unit == Char(0)) {
                break;
            }
        }
        return text;
    }
};

// Texts of the arguments: a text given with its length has no terminator behind it, so that a
// read past its end is caught.
template <typename Char>
FormatArg TextArg(Input& in, std::deque<std::vector<Char>>& store) {
    const bool terminated = in.Byte() % 2 == 0;
    const auto text = in.Text<Char>(in.Byte(), false);
    auto& units = store.emplace_back(text.begin(), text.end());
    if (terminated) {
        units.push_back(Char(0));
    }
    const size_t length = terminated ? FormatArg::kZeroTerminated : units.size();
    const Char* data = units.empty() ? nullptr : units.data();
    if constexpr (sizeof(Char) == 2) {
        return trace::MakeWideArg(data, length);
    } else {
        return trace::MakeNarrowArg(data, length);
    }
}

// Kinds 0 to 4: a 32-bit signed and unsigned, a 64-bit signed and unsigned number, a double;
// 5 and 6: a wide text; else a narrow one.
FormatArg NextArg(Input& in, std::deque<std::vector<char16_t>>& wide,
                  std::deque<std::vector<char>>& narrow) {
    const int kind = in.Byte() % 9;
    if (kind >= 5) {
        return kind <= 6 ? TextArg(in, wide) : TextArg(in, narrow);
    }
    const uint64_t bits = in.Bits(kind < 2 ? 4 : 8);
    const FormatArg numbers[] = {trace::MakeFormatArg(static_cast<int32_t>(bits)),
                                 trace::MakeFormatArg(static_cast<uint32_t>(bits)),
                                 trace::MakeFormatArg(static_cast<int64_t>(bits)),
                                 trace::MakeFormatArg(bits),
                                 trace::MakeFormatArg(std::bit_cast<double>(bits))};
    return numbers[kind];
}

// What the trace system receives of a wide expansion, against the expanded text itself.
void CheckTraceText(const char16_t* format, std::span<const FormatArg> args,
                    const std::u16string& expanded) {
    constexpr size_t kLimit = trace::kMaxTraceTextChars;
    std::vector<char> buffer(kLimit + 1, 'x');
    trace::Latin1Writer writer(buffer.data(), kLimit);
    Check(trace::ExpandFormat(format, args, writer));
    const size_t length = writer.Finish();
    const std::u16string_view delivered(expanded.data(), std::min(expanded.size(), kLimit));
    const bool latin1 = std::ranges::all_of(delivered, [](char16_t unit) { return unit <= 0xFF; });
    Check(length == (latin1 ? delivered.size() : 0) && buffer[length] == '\0');
    for (size_t i = 0; i < length; ++i) {
        Check(static_cast<unsigned char>(buffer[i]) == delivered[i]);
    }
}

template <typename Char>
void Expand(Input& in) {
    const std::basic_string<Char> format = in.Text<Char>(512, true);
    std::deque<std::vector<char16_t>> wide;
    std::deque<std::vector<char>> narrow;
    std::vector<FormatArg> args;
    while (in.pos < in.size && args.size() < 12) {
        args.push_back(NextArg(in, wide, narrow));
    }
    std::basic_string<Char> expanded;
    trace::StringSink<Char> sink(expanded);
    const bool expandedAll = trace::ExpandFormat(format.c_str(), args, sink);
    if constexpr (sizeof(Char) == 2) {
        if (expandedAll) {
            CheckTraceText(format.c_str(), args, expanded);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    if ((in.Byte() & 1) != 0) {
        Expand<char16_t>(in);
    } else {
        Expand<char>(in);
    }
    return 0;
}
