// libFuzzer target of the trace format expander. The input is a mode byte (bit 0: a wide
// format), the format up to a zero unit (bytes, or UTF-16LE units when wide) and then arguments,
// each a kind byte and its payload. Besides crashes, undefined behaviour and reads past a text,
// it checks that a wide expansion written for the trace system is the expanded text cut at
// 4,095 units, or empty when those units are not all ISO 8859-1.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "tracing/FormatExpander.h"
#include "tracing/Latin1.h"

namespace {

using zeph::trace::FormatArg;
using zeph::trace::FormatArgKind;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

class Input {
  public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool Done() const { return m_pos >= m_size; }
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    char16_t Unit() {
        const uint8_t low = Byte();
        return static_cast<char16_t>(low | Byte() << 8);
    }
    uint64_t Bits(int bytes) {
        uint64_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            value |= uint64_t{Byte()} << (8 * i);
        }
        return value;
    }

    template <typename Char>
    std::basic_string<Char> Text(size_t maxLength, bool stopAtZero) {
        std::basic_string<Char> text;
        while (!Done() && text.size() < maxLength) {
            const Char unit = sizeof(Char) == 2 ? Char(Unit()) : Char(Byte());
            if (stopAtZero && unit == Char(0)) {
                break;
            }
            text.push_back(unit);
        }
        return text;
    }

  private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Texts of the arguments: a text given with its length has no terminator behind it, so that a
// read past its end is caught.
struct TextStore {
    std::deque<std::vector<char16_t>> wide;
    std::deque<std::vector<char>> narrow;
};

template <typename Char>
FormatArg TextArg(Input& in, std::deque<std::vector<Char>>& store, bool terminated) {
    const auto text = in.Text<Char>(in.Byte(), false);
    auto& units = store.emplace_back(text.begin(), text.end());
    if (terminated) {
        units.push_back(Char(0));
    }
    const size_t length = terminated ? FormatArg::kZeroTerminated : units.size();
    const Char* data = units.empty() ? nullptr : units.data();
    if constexpr (sizeof(Char) == 2) {
        return zeph::trace::MakeWideArg(data, length);
    } else {
        return zeph::trace::MakeNarrowArg(data, length);
    }
}

FormatArg NextArg(Input& in, TextStore& texts) {
    FormatArg arg{};
    switch (in.Byte() % 9) {
        case 0:
            return zeph::trace::MakeFormatArg(static_cast<int32_t>(in.Bits(4)));
        case 1:
            return zeph::trace::MakeFormatArg(static_cast<uint32_t>(in.Bits(4)));
        case 2:
            return zeph::trace::MakeFormatArg(static_cast<int64_t>(in.Bits(8)));
        case 3:
            return zeph::trace::MakeFormatArg(in.Bits(8));
        case 4:
            arg.kind = FormatArgKind::Double;
            arg.bits = in.Bits(8);
            return arg;
        case 5:
        case 6:
            return TextArg(in, texts.wide, in.Byte() % 2 == 0);
        default:
            return TextArg(in, texts.narrow, in.Byte() % 2 == 0);
    }
}

// What the trace system receives of a wide expansion, against the expanded text itself.
void CheckTraceText(const char16_t* format, std::span<const FormatArg> args,
                    const std::u16string& expanded) {
    constexpr size_t kLimit = zeph::trace::kMaxTraceTextChars;
    std::vector<char> buffer(kLimit + 1, 'x');
    zeph::trace::Latin1Writer writer(buffer.data(), kLimit);
    Check(zeph::trace::ExpandFormat(format, args, writer));
    const size_t length = writer.Finish();
    const std::u16string_view delivered(expanded.data(), std::min(expanded.size(), kLimit));
    const bool latin1 =
        std::all_of(delivered.begin(), delivered.end(), [](char16_t unit) { return unit <= 0xFF; });
    Check(length == (latin1 ? delivered.size() : 0) && buffer[length] == '\0');
    for (size_t i = 0; i < length; ++i) {
        Check(static_cast<unsigned char>(buffer[i]) == delivered[i]);
    }
}

template <typename Char>
void Expand(const std::basic_string<Char>& format, std::span<const FormatArg> args) {
    std::basic_string<Char> expanded;
    zeph::trace::StringSink<Char> sink(expanded);
    if (!zeph::trace::ExpandFormat(format.c_str(), args, sink)) {
        return;
    }
    if constexpr (sizeof(Char) == 2) {
        CheckTraceText(format.c_str(), args, expanded);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kMaxFormat = 512;
    constexpr size_t kMaxArgs = 12;
    Input in(data, size);
    const bool wide = (in.Byte() & 1) != 0;
    const std::u16string wideFormat = wide ? in.Text<char16_t>(kMaxFormat, true) : u"";
    const std::string narrowFormat = wide ? "" : in.Text<char>(kMaxFormat, true);
    TextStore texts;
    std::vector<FormatArg> args;
    while (!in.Done() && args.size() < kMaxArgs) {
        args.push_back(NextArg(in, texts));
    }
    if (wide) {
        Expand(wideFormat, args);
    } else {
        Expand(narrowFormat, args);
    }
    return 0;
}
