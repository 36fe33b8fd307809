// One argument of a printf-style trace format, captured with its kind so that the expansion can
// check every specifier against the argument it consumes.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#ifdef _WIN32
#include "platform/TextConversion.h"
#endif

namespace zeph::trace {

enum class FormatArgKind : uint8_t {
    WideText,    // UTF-16 text
    NarrowText,  // single-byte text of the platform's narrow encoding
    Int32,       // integers of at most 32 bits that promote to int (also bool, characters)
    UInt32,      // integers that promote to unsigned int
    Int64,       // 64-bit integers: only the "ll" specifiers take them
    UInt64,
    Double,
};

// A text keeps its pointer and, when known, its length (kZeroTerminated otherwise; a null
// pointer prints as "(null)"). Integers keep their 64-bit two's complement pattern, sign-extended
// for the signed kinds.
struct FormatArg {
    static constexpr size_t kZeroTerminated = static_cast<size_t>(-1);

    FormatArgKind kind = FormatArgKind::Int32;
    size_t length = 0;
    union {
        const char16_t* wide;
        const char* narrow;
        uint64_t bits;
        double doubleValue;
    };
};

// Capture functions. Only the types below are arguments; anything else (a pointer to a
// structure, a void pointer, nullptr) fails to compile. Texts are not copied: the argument
// array lives only during the call that formats it.
template <typename T>
concept WideUnit = (std::same_as<std::remove_cv_t<T>, char16_t>);

template <typename T>
concept NarrowUnit = (std::same_as<std::remove_cv_t<T>, char>);

// Integers and unscoped enumerations up to 32 bits, including bool and character values; each
// takes the kind of its promoted type, as in a variadic call.
template <typename T>
concept FormatInteger32 = (std::integral<T> ||
                           (std::is_enum_v<T> && std::is_convertible_v<T, int>)) &&
                          sizeof(T) <= sizeof(int32_t);

template <typename T>
concept FormatInteger64 = (std::integral<T> && sizeof(T) == sizeof(int64_t));

constexpr FormatArg MakeWideArg(const char16_t* text, size_t length) noexcept {
    FormatArg arg{FormatArgKind::WideText, length, {}};
    arg.wide = text;
    return arg;
}

constexpr FormatArg MakeNarrowArg(const char* text, size_t length) noexcept {
    FormatArg arg{FormatArgKind::NarrowText, length, {}};
    arg.narrow = text;
    return arg;
}

template <WideUnit T>
constexpr FormatArg MakeFormatArg(T* text) noexcept {
    return MakeWideArg(text, FormatArg::kZeroTerminated);
}

template <NarrowUnit T>
constexpr FormatArg MakeFormatArg(T* text) noexcept {
    return MakeNarrowArg(text, FormatArg::kZeroTerminated);
}

inline FormatArg MakeFormatArg(std::u16string_view text) noexcept {
    return MakeWideArg(text.data(), text.size());
}

inline FormatArg MakeFormatArg(const std::u16string& text) noexcept {
    return MakeWideArg(text.data(), text.size());
}

inline FormatArg MakeFormatArg(std::string_view text) noexcept {
    return MakeNarrowArg(text.data(), text.size());
}

inline FormatArg MakeFormatArg(const std::string& text) noexcept {
    return MakeNarrowArg(text.data(), text.size());
}

#ifdef _WIN32
template <typename T>
concept WindowsWideUnit = (std::same_as<std::remove_cv_t<T>, wchar_t>);

template <WindowsWideUnit T>
FormatArg MakeFormatArg(T* text) noexcept {
    return MakeWideArg(platform::AsChar16(text), FormatArg::kZeroTerminated);
}

inline FormatArg MakeFormatArg(std::wstring_view text) noexcept {
    return MakeWideArg(platform::AsChar16(text.data()), text.size());
}

inline FormatArg MakeFormatArg(const std::wstring& text) noexcept {
    return MakeWideArg(platform::AsChar16(text.data()), text.size());
}
#endif

template <FormatInteger32 T>
constexpr FormatArg MakeFormatArg(T value) noexcept {
    using Promoted = decltype(+value);  // int or unsigned int, as a variadic call passes it
    FormatArg arg{std::is_signed_v<Promoted> ? FormatArgKind::Int32 : FormatArgKind::UInt32, 0, {}};
    arg.bits = static_cast<uint64_t>(static_cast<int64_t>(+value));
    return arg;
}

template <FormatInteger64 T>
constexpr FormatArg MakeFormatArg(T value) noexcept {
    FormatArg arg{std::is_signed_v<T> ? FormatArgKind::Int64 : FormatArgKind::UInt64, 0, {}};
    arg.bits = static_cast<uint64_t>(value);
    return arg;
}

template <std::floating_point T>
constexpr FormatArg MakeFormatArg(T value) noexcept {
    FormatArg arg{FormatArgKind::Double, 0, {}};
    arg.doubleValue = static_cast<double>(value);
    return arg;
}

// True for the types a trace format accepts as an argument.
template <typename T>
concept FormatArgument = requires(const T& value) {
    { MakeFormatArg(value) } -> std::same_as<FormatArg>;
};

}  // namespace zeph::trace
