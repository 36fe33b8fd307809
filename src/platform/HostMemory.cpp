#include "platform/HostMemory.h"

#include <cstring>

namespace zeph::platform {

void CopyToHostMemory(void* destination, const void* source, size_t bytes) {
    std::memcpy(destination, source, bytes);
}

}  // namespace zeph::platform
