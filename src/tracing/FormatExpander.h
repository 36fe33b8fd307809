// Type-checked expansion of printf-style formats over captured arguments.
//
// The convention is the Windows wide printf on every platform: in a wide (char16_t) format
// "%s" takes a wide text and "%S" a narrow text; in a narrow (char) format "%s" takes a narrow
// text and "%S" a wide text. Text of the other width is converted with NarrowToWide or
// WideToNarrow. A null text pointer prints as "(null)".
//
// Specifiers: %[flags][width][.precision][length]conversion with the conversions
//   d i      signed decimal       u         unsigned decimal      x X   hexadecimal
//   s S      text (see above)     c         one character unit    f     fixed-point double
//   %%       a percent sign (flags and width are ignored, as swprintf ignores them)
// Flags: "-" aligns left and fills with blanks on the right; "0" pads numbers with zeros after
// the sign and text and characters with zeros on the left, as the Windows printf does;
// otherwise the width pads with blanks on the left.
// Length modifiers, as in the Windows printf: "h" reads an integer as 16 bits and makes %s, %S
// and %c narrow; "l" reads an integer as 32 bits (a Windows long) and makes %s, %S and %c wide;
// "w" makes %s, %S and %c wide; "ll" reads 64-bit integers. %f takes "l" too.
// The precision is the minimum number of digits of an integer, the decimals of %f (default 6,
// at most 64) and the maximum length of a text in units of the format, cut only between
// characters. Widths and precisions above 100,000 are rejected. 32-bit arguments (Int32,
// UInt32) fit every integer conversion and are reinterpreted as printf would (%d of 0xFFFFFFFFu
// prints -1); 64-bit arguments fit only the "ll" forms, which also take 32-bit arguments
// widened. %c takes a 32-bit integer as a code unit of the format's width.
//
// The format is invalid, and the expansion returns false, when a specifier is unknown, its
// argument has another kind, or the arguments run out. Arguments left over at the end are
// ignored, as printf ignores them. The sink may have received part of the text before an
// invalid specifier; callers discard it.
#pragma once

#include <array>
#include <span>
#include <string>

#include "tracing/FormatArg.h"
#include "tracing/FormatSink.h"

namespace zeph::trace {

bool ExpandFormat(const char16_t* format, std::span<const FormatArg> args,
                  FormatSink<char16_t>& sink);
bool ExpandFormat(const char* format, std::span<const FormatArg> args, FormatSink<char>& sink);

template <typename... Args>
constexpr std::array<FormatArg, sizeof...(Args)> PackFormatArgs(const Args&... args) {
    static_assert((FormatArgument<Args> && ...), "unsupported type of a format argument");
    return {MakeFormatArg(args)...};
}

// The expanded text, or an empty text when the format is invalid.
template <typename Char, typename... Args>
std::basic_string<Char> FormatText(const Char* format, const Args&... args) {
    const auto packed = PackFormatArgs(args...);
    std::basic_string<Char> text;
    StringSink<Char> sink(text);
    if (!ExpandFormat(format, packed, sink)) {
        text.clear();
    }
    return text;
}

}  // namespace zeph::trace
