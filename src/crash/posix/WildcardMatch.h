// The file-name patterns of the dump search on Linux, where the system has no matching search.
#pragma once

#include <string_view>

namespace ExceptionTranslator {

// True when the pattern matches the whole name: "*" stands for any run of characters (also
// none), every other character for itself.
bool WildcardMatch(std::u16string_view pattern, std::u16string_view name) noexcept;

}  // namespace ExceptionTranslator
