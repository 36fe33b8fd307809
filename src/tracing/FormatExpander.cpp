#include "tracing/FormatExpander.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <type_traits>

#include "platform/TextConversion.h"

namespace zeph::trace {
namespace {

constexpr size_t kMaxWidth = 100'000;
constexpr size_t kMaxFloatPrecision = 64;
constexpr size_t kDefaultFloatPrecision = 6;
constexpr size_t kNoPrecision = static_cast<size_t>(-1);

struct Specifier {
    bool zeroPad = false;
    bool longLong = false;
    size_t width = 0;
    size_t precision = kNoPrecision;
    char conversion = '\0';
};

template <typename Char>
bool IsDigit(Char c) {
    return c >= Char('0') && c <= Char('9');
}

template <typename Char>
bool ParseNumber(const Char*& p, size_t& value) {
    value = 0;
    for (; IsDigit(*p); ++p) {
        value = value * 10 + static_cast<size_t>(*p - Char('0'));
        if (value > kMaxWidth) {
            return false;
        }
    }
    return true;
}

// Parses what follows a '%' up to and including the conversion letter.
template <typename Char>
bool ParseSpecifier(const Char*& p, Specifier& specifier) {
    for (; *p == Char('0'); ++p) {
        specifier.zeroPad = true;
    }
    if (!ParseNumber(p, specifier.width)) {
        return false;
    }
    if (*p == Char('.') && !ParseNumber(++p, specifier.precision)) {
        return false;
    }
    if (p[0] == Char('l') && p[1] == Char('l')) {
        specifier.longLong = true;
        p += 2;
    }
    if (*p == Char('\0') || static_cast<unsigned>(*p) > 0x7Fu) {
        return false;
    }
    specifier.conversion = static_cast<char>(*p++);
    return true;
}

// The value a signed conversion prints, or nothing for an argument it does not take.
std::optional<int64_t> SignedValue(const FormatArg& arg, bool longLong) {
    switch (arg.kind) {
        case FormatArgKind::Int32:
            return static_cast<int64_t>(arg.bits);
        case FormatArgKind::UInt32:
            return longLong ? static_cast<int64_t>(arg.bits)
                            : static_cast<int32_t>(static_cast<uint32_t>(arg.bits));
        case FormatArgKind::Int64:
        case FormatArgKind::UInt64:
            return longLong ? std::optional<int64_t>(static_cast<int64_t>(arg.bits)) : std::nullopt;
        default:
            return std::nullopt;
    }
}

// The value an unsigned conversion prints, or nothing for an argument it does not take.
std::optional<uint64_t> UnsignedValue(const FormatArg& arg, bool longLong) {
    switch (arg.kind) {
        case FormatArgKind::Int32:
            return longLong ? arg.bits : static_cast<uint32_t>(arg.bits);
        case FormatArgKind::UInt32:
            return arg.bits;
        case FormatArgKind::Int64:
        case FormatArgKind::UInt64:
            return longLong ? std::optional<uint64_t>(arg.bits) : std::nullopt;
        default:
            return std::nullopt;
    }
}

template <typename T>
size_t BoundedLength(const T* text, size_t limit) {
    size_t length = 0;
    while (length < limit && text[length] != T('\0')) {
        ++length;
    }
    return length;
}

// The units of a text argument, or "(null)" for a null pointer.
template <typename T>
std::basic_string_view<T> TextOf(const T* text, size_t length, size_t limit) {
    static constexpr T kNull[] = {'(', 'n', 'u', 'l', 'l', ')', '\0'};
    if (text == nullptr) {
        return std::basic_string_view<T>(kNull).substr(0, limit);
    }
    if (length == FormatArg::kZeroTerminated) {
        length = BoundedLength(text, limit);
    }
    return {text, std::min(length, limit)};
}

template <typename Char>
class Expander {
  public:
    Expander(std::span<const FormatArg> args, FormatSink<Char>& sink)
        : m_args(args), m_sink(sink) {}

    bool Run(const Char* p) {
        while (*p != Char('\0')) {
            const Char* run = p;
            while (*p != Char('\0') && *p != Char('%')) {
                ++p;
            }
            if (p != run) {
                m_sink.Append({run, static_cast<size_t>(p - run)});
            }
            if (*p == Char('%') && !ExpandSpecifier(++p)) {
                return false;
            }
        }
        return true;
    }

  private:
    static constexpr bool kWide = std::is_same_v<Char, char16_t>;
    static constexpr FormatArgKind kOwnText =
        kWide ? FormatArgKind::WideText : FormatArgKind::NarrowText;
    static constexpr FormatArgKind kOtherText =
        kWide ? FormatArgKind::NarrowText : FormatArgKind::WideText;

    bool ExpandSpecifier(const Char*& p) {
        if (*p == Char('%')) {
            ++p;
            m_sink.AppendRepeated(Char('%'), 1);
            return true;
        }
        Specifier specifier;
        if (!ParseSpecifier(p, specifier) || m_next >= m_args.size()) {
            return false;
        }
        return Emit(specifier, m_args[m_next++]);
    }

    bool Emit(const Specifier& specifier, const FormatArg& arg) {
        switch (specifier.conversion) {
            case 'd':
            case 'i':
                return EmitSigned(specifier, arg);
            case 'u':
                return EmitUnsigned(specifier, arg, 10, false);
            case 'x':
                return EmitUnsigned(specifier, arg, 16, false);
            case 'X':
                return EmitUnsigned(specifier, arg, 16, true);
            case 's':
                return !specifier.longLong && EmitText(specifier, arg, kOwnText);
            case 'S':
                return !specifier.longLong && EmitText(specifier, arg, kOtherText);
            case 'c':
                return !specifier.longLong && EmitChar(specifier, arg);
            case 'f':
                return !specifier.longLong && EmitDouble(specifier, arg);
            default:
                return false;
        }
    }

    bool EmitSigned(const Specifier& specifier, const FormatArg& arg) {
        const std::optional<int64_t> value = SignedValue(arg, specifier.longLong);
        if (!value) {
            return false;
        }
        const uint64_t magnitude =
            *value < 0 ? 0 - static_cast<uint64_t>(*value) : static_cast<uint64_t>(*value);
        EmitInteger(specifier, *value < 0 ? "-" : "", magnitude, 10, false);
        return true;
    }

    bool EmitUnsigned(const Specifier& specifier, const FormatArg& arg, int base, bool upper) {
        const std::optional<uint64_t> value = UnsignedValue(arg, specifier.longLong);
        if (!value) {
            return false;
        }
        EmitInteger(specifier, "", *value, base, upper);
        return true;
    }

    void EmitInteger(const Specifier& specifier, std::string_view sign, uint64_t magnitude,
                     int base, bool upper) {
        char buffer[24];
        const char* end = std::to_chars(buffer, buffer + sizeof buffer, magnitude, base).ptr;
        if (upper) {
            std::transform(buffer, buffer + (end - buffer), buffer, [](char c) {
                return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c;
            });
        }
        std::string_view digits(buffer, static_cast<size_t>(end - buffer));
        if (specifier.precision == 0 && magnitude == 0) {
            digits = {};  // as printf: "%.0d" of zero prints no digit
        }
        const bool hasPrecision = specifier.precision != kNoPrecision;
        const size_t zeros = hasPrecision && specifier.precision > digits.size()
                                 ? specifier.precision - digits.size()
                                 : 0;
        EmitPadded(sign, zeros, digits, specifier, !hasPrecision);
    }

    bool EmitDouble(const Specifier& specifier, const FormatArg& arg) {
        const size_t precision =
            specifier.precision == kNoPrecision ? kDefaultFloatPrecision : specifier.precision;
        if (arg.kind != FormatArgKind::Double || precision > kMaxFloatPrecision) {
            return false;
        }
        char buffer[400];  // the largest double in fixed notation with 64 decimals fits
        const auto [end, error] =
            std::to_chars(buffer, buffer + sizeof buffer, arg.doubleValue, std::chars_format::fixed,
                          static_cast<int>(precision));
        if (error != std::errc{}) {
            return false;
        }
        std::string_view digits(buffer, static_cast<size_t>(end - buffer));
        const bool negative = !digits.empty() && digits.front() == '-';
        digits.remove_prefix(negative ? 1 : 0);
        EmitPadded(negative ? "-" : "", 0, digits, specifier, std::isfinite(arg.doubleValue));
        return true;
    }

    // [blanks] sign [zeros] digits, filled to the width with zeros when that is allowed.
    void EmitPadded(std::string_view sign, size_t zeros, std::string_view digits,
                    const Specifier& specifier, bool zeroFillAllowed) {
        const size_t body = sign.size() + zeros + digits.size();
        size_t fill = specifier.width > body ? specifier.width - body : 0;
        if (specifier.zeroPad && zeroFillAllowed) {
            zeros += fill;
            fill = 0;
        }
        m_sink.AppendRepeated(Char(' '), fill);
        AppendAscii(sign);
        m_sink.AppendRepeated(Char('0'), zeros);
        AppendAscii(digits);
    }

    void AppendAscii(std::string_view ascii) {
        Char chunk[64];
        while (!ascii.empty()) {
            const size_t count = std::min(ascii.size(), std::size(chunk));
            std::copy_n(ascii.begin(), count, chunk);
            m_sink.Append({chunk, count});
            ascii.remove_prefix(count);
        }
    }

    bool EmitText(const Specifier& specifier, const FormatArg& arg, FormatArgKind expected) {
        if (arg.kind != expected) {
            return false;
        }
        const size_t limit = specifier.precision;  // kNoPrecision is the largest size
        if (expected == kOwnText) {
            EmitPaddedText(specifier, TextOf(OwnText(arg), arg.length, limit));
        } else {
            const auto converted = ConvertOtherText(arg, limit);
            EmitPaddedText(specifier, std::basic_string_view<Char>(converted).substr(0, limit));
        }
        return true;
    }

    static const Char* OwnText(const FormatArg& arg) {
        if constexpr (kWide) {
            return arg.wide;
        } else {
            return arg.narrow;
        }
    }

    static std::basic_string<Char> ConvertOtherText(const FormatArg& arg, size_t limit) {
        if constexpr (kWide) {
            return platform::NarrowToWide(TextOf(arg.narrow, arg.length, limit));
        } else {
            return platform::WideToNarrow(TextOf(arg.wide, arg.length, limit));
        }
    }

    void EmitPaddedText(const Specifier& specifier, std::basic_string_view<Char> text) {
        m_sink.AppendRepeated(Char(' '),
                              specifier.width > text.size() ? specifier.width - text.size() : 0);
        m_sink.Append(text);
    }

    bool EmitChar(const Specifier& specifier, const FormatArg& arg) {
        if (arg.kind != FormatArgKind::Int32 && arg.kind != FormatArgKind::UInt32) {
            return false;
        }
        const Char unit = static_cast<Char>(arg.bits);
        EmitPaddedText(specifier, {&unit, 1});
        return true;
    }

    std::span<const FormatArg> m_args;
    FormatSink<Char>& m_sink;
    size_t m_next = 0;
};

template <typename Char>
bool Expand(const Char* format, std::span<const FormatArg> args, FormatSink<Char>& sink) {
    return format != nullptr && Expander<Char>(args, sink).Run(format);
}

}  // namespace

bool ExpandFormat(const char16_t* format, std::span<const FormatArg> args,
                  FormatSink<char16_t>& sink) {
    return Expand(format, args, sink);
}

bool ExpandFormat(const char* format, std::span<const FormatArg> args, FormatSink<char>& sink) {
    return Expand(format, args, sink);
}

}  // namespace zeph::trace
