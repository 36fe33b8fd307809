// The content of the shared-memory object behind a named mutex on Linux: a header that says what
// the object is, followed by the robust process-shared mutex itself. A process that opens an
// existing object locks its mutex only when the header matches, so that an unrelated object of
// the same name is never taken for a mutex.
#pragma once

#include <pthread.h>

#include <cstdint>

namespace configdb {

struct SharedMutexBlock {
    uint32_t magic;
    uint32_t version;
    uint32_t size;  // of the whole block
    // 0 while the creator sets the block up; written last (release), read with acquire.
    uint32_t ready;
    pthread_mutex_t mutex;
};

inline constexpr uint32_t kSharedMutexMagic = 0x5845544D;  // "MTEX" in memory order
inline constexpr uint32_t kSharedMutexVersion = 1;

// Sets up the object `fd` that this process has just created: world read and write access,
// the block's size, the mutex, the header. Null with `error` set when a step fails.
SharedMutexBlock* InitialiseSharedMutexBlock(int fd, uint32_t& error);

// Maps the existing object `fd` once its creator has finished it (waiting about a second at
// most). Null with `error` set when it cannot be mapped, or EPROTO when it is not such a block.
SharedMutexBlock* AttachSharedMutexBlock(int fd, uint32_t& error);

void UnmapSharedMutexBlock(SharedMutexBlock* block) noexcept;

}  // namespace configdb
