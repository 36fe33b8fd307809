#include "crash/posix/WildcardMatch.h"

namespace ExceptionTranslator {

// Greedy with one point of return: on a mismatch the last "*" takes one character more.
bool WildcardMatch(std::u16string_view pattern, std::u16string_view name) noexcept {
    size_t p = 0;
    size_t n = 0;
    size_t star = std::u16string_view::npos;
    size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            starName = n;
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace ExceptionTranslator
