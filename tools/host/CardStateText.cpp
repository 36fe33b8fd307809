#include "CardStateText.h"

namespace {

constexpr const char* kStateNames[] = {"SCARD_UNKNOWN",   "SCARD_ABSENT",  "SCARD_PRESENT",
                                       "SCARD_SWALLOWED", "SCARD_POWERED", "SCARD_NEGOTIABLE",
                                       "SCARD_SPECIFIC"};
constexpr uint32_t kProtocolT0 = 1;
constexpr uint32_t kProtocolT1 = 2;
constexpr uint32_t kProtocolRaw = 0x10000;

}  // namespace

std::string CardStateText(uint32_t state) {
    const std::string number = std::to_string(state);
    if (state < std::size(kStateNames)) {
        return number + " " + kStateNames[state];
    }
    return number + " (unknown state)";
}

std::string ProtocolText(uint32_t protocol) {
    std::string names;
    const auto add = [&](uint32_t bit, const char* name) {
        if ((protocol & bit) != 0) {
            names += names.empty() ? name : std::string("|") + name;
        }
    };
    add(kProtocolT0, "T=0");
    add(kProtocolT1, "T=1");
    add(kProtocolRaw, "raw");
    const uint32_t known = kProtocolT0 | kProtocolT1 | kProtocolRaw;
    if ((protocol & ~known) != 0) {
        names += names.empty() ? "other" : "|other";
    }
    return std::to_string(protocol) + " " + (names.empty() ? "none" : names);
}
