#include "directories/NamedMutex.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "directories/posix/SharedMutexBlock.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace configdb {
namespace {

constexpr size_t kMaxNameLength = 200;

class SharedMemoryMutex final : public NamedMutex {
  public:
    SharedMemoryMutex(int fd, SharedMutexBlock* block) : m_fd(fd), m_block(block) {}
    // The object stays: other processes share it by name, as a Windows named object.
    ~SharedMemoryMutex() override {
        UnmapSharedMutexBlock(m_block);
        close(m_fd);
    }
    SharedMemoryMutex(const SharedMemoryMutex&) = delete;
    SharedMemoryMutex& operator=(const SharedMemoryMutex&) = delete;

    int32_t Wait(uint32_t timeoutMs) override;
    void Release() override { pthread_mutex_unlock(&m_block->mutex); }

  private:
    int m_fd;
    SharedMutexBlock* m_block;
};

timespec DeadlineAfter(uint32_t timeoutMs) {
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += static_cast<time_t>(timeoutMs / 1000);
    deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1'000'000L;
    if (deadline.tv_nsec >= 1'000'000'000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1'000'000'000L;
    }
    return deadline;
}

// ThreadSanitizer takes a timed lock as taken only when it answers 0; the lock of a dead owner is
// ours as well, and its Release must not count as an unlock of a free mutex.
void NoteOwnerDiedLockTaken([[maybe_unused]] pthread_mutex_t* mutex) {
#if defined(__SANITIZE_THREAD__)
    __tsan_mutex_pre_lock(mutex, __tsan_mutex_try_lock);
    __tsan_mutex_post_lock(mutex, __tsan_mutex_try_lock, 0);
#endif
}

int32_t SharedMemoryMutex::Wait(uint32_t timeoutMs) {
    const timespec deadline = DeadlineAfter(timeoutMs);
    switch (pthread_mutex_timedlock(&m_block->mutex, &deadline)) {
        case 0:
            return kWaitObject0;
        case EOWNERDEAD:
            // Ours now; marked consistent so that later owners get it normally again.
            pthread_mutex_consistent(&m_block->mutex);
            NoteOwnerDiedLockTaken(&m_block->mutex);
            return kWaitAbandoned;
        case ETIMEDOUT:
            return kWaitTimeout;
        default:
            return kWaitFailed;
    }
}

bool IsValidName(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameLength) {
        return false;
    }
    for (const char c : name) {
        const bool letterOrDigit =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!letterOrDigit && c != '_') {
            return false;
        }
    }
    return true;
}

// Creates the object, or opens it when another process did; the descriptor, or -1 with `error`.
// `block` is the mapped and checked content.
int OpenOrCreate(const std::string& objectName, SharedMutexBlock*& block, uint32_t& error) {
    int fd = shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        block = InitialiseSharedMutexBlock(fd, error);
        if (block == nullptr) {
            // Created by us and unusable: gone again, so that the next process can try anew.
            shm_unlink(objectName.c_str());
        }
    } else if (errno == EEXIST) {
        fd = shm_open(objectName.c_str(), O_RDWR | O_CLOEXEC, 0);
        if (fd < 0) {
            error = static_cast<uint32_t>(errno);
            return -1;
        }
        block = AttachSharedMutexBlock(fd, error);
    } else {
        error = static_cast<uint32_t>(errno);
        return -1;
    }
    if (block == nullptr) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name, uint32_t& error) {
    error = 0;
    if (!IsValidName(name)) {
        error = EINVAL;
        return nullptr;
    }
    SharedMutexBlock* block = nullptr;
    const int fd = OpenOrCreate("/" + name, block, error);
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<SharedMemoryMutex>(fd, block);
}

}  // namespace configdb
