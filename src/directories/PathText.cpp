#include "directories/PathText.h"

#include <array>

#include "directories/ConfigDB.h"

namespace configdb {

namespace {

constexpr std::array<const char*, 6> kKnownComponents = {"K7000101", "K7000102", "K7000103",
                                                         "K7000104", "K7000105", "K7000106"};

bool IsKnownComponent(const std::string& compId) {
    for (const char* known : kKnownComponents) {
        if (compId == known) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && path.back() == kPathSeparator;
}

void AppendSeparator(std::string& path) {
    if (!path.empty() && !EndsWithSeparator(path)) {
        path += kPathSeparator;
    }
}

void AppendName(std::string& path, const std::string& name) {
    if (!EndsWithSeparator(path)) {
        path += kPathSeparator;
    }
    path += name;
}

bool IsOwnComponent(const std::string& compId) {
    return compId == kOwnComponentId;
}

std::string TalpoPath(const std::string& compId, const std::string& kind) {
    std::string name = compId;
    if (kind == "Log" && IsKnownComponent(compId)) {
        name = "Mora";
    } else if (kind == "Konfig" && IsOwnComponent(compId)) {
        name = "MoraCompact";
    }
    return std::string("Talpo") + kPathSeparator + kind + kPathSeparator + name + kPathSeparator;
}

}  // namespace configdb
