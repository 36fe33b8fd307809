#include "TraceSettings.h"

#include <array>
#include <utility>

#include "Number.h"

namespace zeph::tracesystem {
namespace {

constexpr std::array<std::pair<std::string_view, uint32_t>, 6> kLevelNames{{
    {"exception", 1},
    {"error", 2},
    {"warning", 4},
    {"detail", 8},
    {"info", 16},
    {"all", kAllLevels},
}};

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const char lower = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        if (lower != b[i]) {
            return false;
        }
    }
    return true;
}

std::optional<uint32_t> LevelByName(std::string_view name) {
    for (const auto& [known, mask] : kLevelNames) {
        if (SameLetters(name, known)) {
            return mask;
        }
    }
    return std::nullopt;
}

// Calls `take` with each trimmed item of a comma list; stops at the first false.
template <typename Take>
bool EachItem(std::string_view list, Take take) {
    while (true) {
        const size_t comma = list.find(',');
        if (!take(Trimmed(list.substr(0, comma)))) {
            return false;
        }
        if (comma == std::string_view::npos) {
            return true;
        }
        list.remove_prefix(comma + 1);
    }
}

}  // namespace

std::optional<uint32_t> ParseLevels(std::string_view text) {
    text = Trimmed(text);
    if (const std::optional<uint64_t> number = zeph::tools::ParseNumber(text, true)) {
        return *number <= kAllLevels ? std::optional<uint32_t>(static_cast<uint32_t>(*number))
                                     : std::nullopt;
    }
    uint32_t mask = 0;
    const bool understood = EachItem(text, [&](std::string_view name) {
        const std::optional<uint32_t> level = LevelByName(name);
        mask |= level.value_or(0);
        return level.has_value();
    });
    return understood ? std::optional<uint32_t>(mask) : std::nullopt;
}

std::vector<std::string> ParseCategories(std::string_view text) {
    std::vector<std::string> categories;
    EachItem(text, [&](std::string_view name) {
        if (!name.empty()) {
            categories.emplace_back(name);
        }
        return true;
    });
    return categories;
}

}  // namespace zeph::tracesystem
