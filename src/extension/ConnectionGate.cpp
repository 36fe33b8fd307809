#include "extension/ConnectionGate.h"

#include <map>

namespace zeph::extension {

std::mutex& ConnectionGate(const std::u16string& reader) {
    static std::mutex guard;
    static std::map<std::u16string, std::mutex> gates;  // a node never moves
    const std::lock_guard lock(guard);
    return gates[reader];
}

}  // namespace zeph::extension
