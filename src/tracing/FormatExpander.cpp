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

// h: 16-bit integer or narrow text; l: 32-bit integer (a Windows long) or wide text; w: wide
// text; ll: 64-bit integer.
enum class LengthModifier : uint8_t { None, Short, Long, Wide, LongLong };

struct Specifier {
    bool leftAlign = false;
    bool zeroPad = false;
    LengthModifier length = LengthModifier::None;
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

template <typename Char>
LengthModifier ParseLength(const Char*& p) {
    switch (*p) {
        case Char('h'):
            ++p;
            return LengthModifier::Short;
        case Char('w'):
            ++p;
            return LengthModifier::Wide;
        case Char('l'):
            ++p;
            if (*p == Char('l')) {
                ++p;
                return LengthModifier::LongLong;
            }
            return LengthModifier::Long;
        default:
            return LengthModifier::None;
    }
}

// Parses what follows a '%' up to and including the conversion letter.
template <typename Char>
bool ParseSpecifier(const Char*& p, Specifier& specifier) {
    for (;; ++p) {
        if (*p == Char('0')) {
            specifier.zeroPad = true;
        } else if (*p == Char('-')) {
            specifier.leftAlign = true;
        } else {
            break;
        }
    }
    if (!ParseNumber(p, specifier.width)) {
        return false;
    }
    if (*p == Char('.') && !ParseNumber(++p, specifier.precision)) {
        return false;
    }
    specifier.length = ParseLength(p);
    if (*p == Char('\0') || static_cast<unsigned>(*p) > 0x7Fu) {
        return false;
    }
    specifier.conversion = static_cast<char>(*p++);
    return true;
}

// The argument's bits as an integer conversion with this length modifier reads them (as
// printf reinterprets a narrower or wider argument), or nothing for an argument it does not
// take. The narrowing to 16 or 32 bits is left to the caller's signedness.
std::optional<uint64_t> IntegerBits(const FormatArg& arg, LengthModifier length) {
    const bool is64 = arg.kind == FormatArgKind::Int64 || arg.kind == FormatArgKind::UInt64;
    const bool is32 = arg.kind == FormatArgKind::Int32 || arg.kind == FormatArgKind::UInt32;
    if (length == LengthModifier::Wide || !(is32 || is64) ||
        (is64 && length != LengthModifier::LongLong)) {
        return std::nullopt;
    }
    return arg.bits;
}

// The value a signed conversion prints.
std::optional<int64_t> SignedValue(const FormatArg& arg, LengthModifier length) {
    const std::optional<uint64_t> bits = IntegerBits(arg, length);
    if (!bits || length == LengthModifier::LongLong) {
        return bits ? std::optional<int64_t>(static_cast<int64_t>(*bits)) : std::nullopt;
    }
    if (length == LengthModifier::Short) {
        return static_cast<int16_t>(static_cast<uint16_t>(*bits));
    }
    return static_cast<int32_t>(static_cast<uint32_t>(*bits));
}

// The value an unsigned conversion prints.
std::optional<uint64_t> UnsignedValue(const FormatArg& arg, LengthModifier length) {
    const std::optional<uint64_t> bits = IntegerBits(arg, length);
    if (!bits || length == LengthModifier::LongLong) {
        return bits;
    }
    if (length == LengthModifier::Short) {
        return static_cast<uint16_t>(*bits);
    }
    return static_cast<uint32_t>(*bits);
}

// The text kind that %s or %S takes: h always narrow, l and w always wide, and without a length
// modifier %s the format's own width, %S the other one.
std::optional<FormatArgKind> TextKind(LengthModifier length, FormatArgKind plain) {
    switch (length) {
        case LengthModifier::None:
            return plain;
        case LengthModifier::Short:
            return FormatArgKind::NarrowText;
        case LengthModifier::Long:
        case LengthModifier::Wide:
            return FormatArgKind::WideText;
        default:
            return std::nullopt;
    }
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The first `limit` units of a text, less a character that the limit would cut in two.
template <typename Char>
std::basic_string_view<Char> CutAtCharacter(std::basic_string_view<Char> text, size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    if constexpr (std::is_same_v<Char, char16_t>) {
        const bool splitsPair =
            limit > 0 && IsHighSurrogate(text[limit - 1]) && IsLowSurrogate(text[limit]);
        return text.substr(0, splitsPair ? limit - 1 : limit);
    } else {
        return text.substr(0, platform::NarrowPrefixLength(text, limit));
    }
}

// Units to read of a text that is cut at `limit` afterwards: one more, to see whether the cut
// falls inside a character.
size_t ReadLimit(size_t limit) {
    return limit == kNoPrecision ? limit : limit + 1;
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
        Specifier specifier;
        if (!ParseSpecifier(p, specifier)) {
            return false;
        }
        if (specifier.conversion == '%') {
            m_sink.AppendRepeated(Char('%'), 1);  // flags and width are ignored, as by swprintf
            return true;
        }
        return m_next < m_args.size() && Emit(specifier, m_args[m_next++]);
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
                return EmitText(specifier, arg, TextKind(specifier.length, kOwnText));
            case 'S':
                return EmitText(specifier, arg, TextKind(specifier.length, kOtherText));
            case 'c':
                return EmitChar(specifier, arg, TextKind(specifier.length, kOwnText));
            case 'f':
                return (specifier.length == LengthModifier::None ||
                        specifier.length == LengthModifier::Long) &&
                       EmitDouble(specifier, arg);
            default:
                return false;
        }
    }

    bool EmitSigned(const Specifier& specifier, const FormatArg& arg) {
        const std::optional<int64_t> value = SignedValue(arg, specifier.length);
        if (!value) {
            return false;
        }
        const uint64_t magnitude =
            *value < 0 ? 0 - static_cast<uint64_t>(*value) : static_cast<uint64_t>(*value);
        EmitInteger(specifier, *value < 0 ? "-" : "", magnitude, 10, false);
        return true;
    }

    bool EmitUnsigned(const Specifier& specifier, const FormatArg& arg, int base, bool upper) {
        const std::optional<uint64_t> value = UnsignedValue(arg, specifier.length);
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

    // [blanks] sign [zeros] digits [blanks], filled to the width on the left, with zeros when
    // that is allowed, or with blanks on the right when left-aligned.
    void EmitPadded(std::string_view sign, size_t zeros, std::string_view digits,
                    const Specifier& specifier, bool zeroFillAllowed) {
        const size_t body = sign.size() + zeros + digits.size();
        size_t fill = specifier.width > body ? specifier.width - body : 0;
        if (specifier.zeroPad && zeroFillAllowed && !specifier.leftAlign) {
            zeros += fill;
            fill = 0;
        }
        if (!specifier.leftAlign) {
            m_sink.AppendRepeated(Char(' '), fill);
        }
        AppendAscii(sign);
        m_sink.AppendRepeated(Char('0'), zeros);
        AppendAscii(digits);
        if (specifier.leftAlign) {
            m_sink.AppendRepeated(Char(' '), fill);
        }
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

    // The precision limits the units written, cut only between characters.
    bool EmitText(const Specifier& specifier, const FormatArg& arg,
                  std::optional<FormatArgKind> expected) {
        if (!expected || arg.kind != *expected) {
            return false;
        }
        const size_t limit = specifier.precision;  // kNoPrecision is the largest size
        if (*expected == kOwnText) {
            const auto text = TextOf(OwnText(arg), arg.length, ReadLimit(limit));
            EmitPaddedText(specifier, CutAtCharacter(text, limit));
        } else {
            const auto converted = ConvertOtherText(arg, limit);
            EmitPaddedText(specifier,
                           CutAtCharacter(std::basic_string_view<Char>(converted), limit));
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

    // Converts enough of the text for `limit` units of the result, and a little more, so that
    // a character cut by the read limit lies beyond the units kept: a converted unit takes at
    // most three narrow bytes, and a narrow byte comes from at most one wide unit.
    static std::basic_string<Char> ConvertOtherText(const FormatArg& arg, size_t limit) {
        if constexpr (kWide) {
            const size_t readLimit = limit == kNoPrecision ? limit : 3 * limit + 4;
            return platform::NarrowToWide(TextOf(arg.narrow, arg.length, readLimit));
        } else {
            return platform::WideToNarrow(TextOf(arg.wide, arg.length, ReadLimit(limit)));
        }
    }

    // Text is filled to the width with blanks, or with zeros as the Windows printf does for
    // "0", on the left; left-aligned text with blanks on the right.
    void EmitPaddedText(const Specifier& specifier, std::basic_string_view<Char> text) {
        const size_t fill = specifier.width > text.size() ? specifier.width - text.size() : 0;
        if (specifier.leftAlign) {
            m_sink.Append(text);
            m_sink.AppendRepeated(Char(' '), fill);
            return;
        }
        m_sink.AppendRepeated(Char(specifier.zeroPad ? '0' : ' '), fill);
        m_sink.Append(text);
    }

    // A 32-bit integer as one code unit of the format's width, or with h (narrow) or l and w
    // (wide) of the width named, converted when that is the other width.
    bool EmitChar(const Specifier& specifier, const FormatArg& arg,
                  std::optional<FormatArgKind> unitKind) {
        if (!unitKind || (arg.kind != FormatArgKind::Int32 && arg.kind != FormatArgKind::UInt32)) {
            return false;
        }
        if (*unitKind == kOwnText) {
            const Char unit = static_cast<Char>(arg.bits);
            EmitPaddedText(specifier, {&unit, 1});
            return true;
        }
        const char narrowUnit = static_cast<char>(arg.bits);
        const char16_t wideUnit = static_cast<char16_t>(arg.bits);
        const FormatArg unit = kWide ? MakeNarrowArg(&narrowUnit, 1) : MakeWideArg(&wideUnit, 1);
        EmitPaddedText(specifier, ConvertOtherText(unit, kNoPrecision));
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
