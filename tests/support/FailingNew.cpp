#include "FailingNew.h"

#include <cstdlib>
#include <limits>
#include <new>

namespace {

thread_local size_t t_failFrom = std::numeric_limits<size_t>::max();

// Out of line, so that the compiler does not pair the replacement's free with a new it sees.
[[gnu::noinline]] void Release(void* memory) noexcept {
    std::free(memory);
}

}  // namespace

AllocationLimit::AllocationLimit(size_t failFrom) noexcept {
    t_failFrom = failFrom;
}

AllocationLimit::~AllocationLimit() {
    t_failFrom = std::numeric_limits<size_t>::max();
}

void* operator new(size_t size) {
    void* memory = size < t_failFrom ? std::malloc(size == 0 ? 1 : size) : nullptr;
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void operator delete(void* memory) noexcept {
    Release(memory);
}

void operator delete(void* memory, size_t) noexcept {
    Release(memory);
}
