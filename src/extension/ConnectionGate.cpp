#include "extension/ConnectionGate.h"

namespace zeph::extension {

std::mutex& ConnectionGate() {
    static std::mutex gate;
    return gate;
}

}  // namespace zeph::extension
