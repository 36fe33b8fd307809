#include "directories/posix/SharedMutexBlock.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

namespace configdb {
namespace {

using Clock = std::chrono::steady_clock;

// How long an opener waits for the creator of the object to finish it.
constexpr auto kCreatorGrace = std::chrono::milliseconds(1000);
constexpr auto kPollStep = std::chrono::milliseconds(1);

SharedMutexBlock* MapBlock(int fd, uint32_t& error) {
    void* address =
        mmap(nullptr, sizeof(SharedMutexBlock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED) {
        error = static_cast<uint32_t>(errno);
        return nullptr;
    }
    return static_cast<SharedMutexBlock*>(address);
}

// Robust: a process that dies holding it leaves it to the next waiter (EOWNERDEAD). Recursive:
// like a Windows mutex, the owning thread may wait on it again.
int InitialiseMutex(pthread_mutex_t& mutex) {
    pthread_mutexattr_t attributes;
    int result = pthread_mutexattr_init(&attributes);
    if (result != 0) {
        return result;
    }
    result = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    if (result == 0) {
        result = pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    }
    if (result == 0) {
        result = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    }
    if (result == 0) {
        result = pthread_mutex_init(&mutex, &attributes);
    }
    pthread_mutexattr_destroy(&attributes);
    return result;
}

// The creator sizes the object right after creating it; a size of 0 means it has not done so
// yet, any other size that the object is something else.
bool WaitForBlockSize(int fd, Clock::time_point deadline, uint32_t& error) {
    for (;;) {
        struct stat status {};
        if (fstat(fd, &status) != 0) {
            error = static_cast<uint32_t>(errno);
            return false;
        }
        if (status.st_size == static_cast<off_t>(sizeof(SharedMutexBlock))) {
            return true;
        }
        if (status.st_size != 0 || Clock::now() >= deadline) {
            error = EPROTO;
            return false;
        }
        std::this_thread::sleep_for(kPollStep);
    }
}

bool WaitUntilReady(SharedMutexBlock& block, Clock::time_point deadline) {
    const std::atomic_ref<uint32_t> ready(block.ready);
    while (ready.load(std::memory_order_acquire) == 0) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollStep);
    }
    return true;
}

bool HeaderMatches(const SharedMutexBlock& block) {
    return block.magic == kSharedMutexMagic && block.version == kSharedMutexVersion &&
           block.size == sizeof(SharedMutexBlock);
}

}  // namespace

SharedMutexBlock* InitialiseSharedMutexBlock(int fd, uint32_t& error) {
    // The umask narrows the mode shm_open was given; processes of other users must open it too.
    if (fchmod(fd, 0666) != 0 || ftruncate(fd, sizeof(SharedMutexBlock)) != 0) {
        error = static_cast<uint32_t>(errno);
        return nullptr;
    }
    SharedMutexBlock* block = MapBlock(fd, error);
    if (block == nullptr) {
        return nullptr;
    }
    if (const int result = InitialiseMutex(block->mutex); result != 0) {
        error = static_cast<uint32_t>(result);
        UnmapSharedMutexBlock(block);
        return nullptr;
    }
    block->magic = kSharedMutexMagic;
    block->version = kSharedMutexVersion;
    block->size = sizeof(SharedMutexBlock);
    std::atomic_ref<uint32_t>(block->ready).store(1, std::memory_order_release);
    return block;
}

SharedMutexBlock* AttachSharedMutexBlock(int fd, uint32_t& error) {
    const Clock::time_point deadline = Clock::now() + kCreatorGrace;
    if (!WaitForBlockSize(fd, deadline, error)) {
        return nullptr;
    }
    SharedMutexBlock* block = MapBlock(fd, error);
    if (block == nullptr) {
        return nullptr;
    }
    if (!WaitUntilReady(*block, deadline) || !HeaderMatches(*block)) {
        error = EPROTO;
        UnmapSharedMutexBlock(block);
        return nullptr;
    }
    return block;
}

void UnmapSharedMutexBlock(SharedMutexBlock* block) noexcept {
    munmap(block, sizeof(SharedMutexBlock));
}

}  // namespace configdb
