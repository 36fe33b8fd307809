// A mutex shared by name between all processes of the machine that use the directory library.
//
// Windows: CreateMutexA with the library's security attributes (full access for SYSTEM and the
// world, inheritable handles), not owned by the creator; when creation is denied, the existing
// mutex opened for SYNCHRONIZE. Linux: a robust process-shared pthread mutex in a POSIX
// shared-memory object of mode 0666 (whatever the umask); a process that dies holding it leaves it
// abandoned (EOWNERDEAD) for the next one. An object of that name whose content is not such a
// mutex (checked by a header: magic, version, size) is never locked: creation fails.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace configdb {

// Results of a wait, as WaitForSingleObject answers them.
inline constexpr int32_t kWaitObject0 = 0;
inline constexpr int32_t kWaitAbandoned = 0x80;
inline constexpr int32_t kWaitTimeout = 258;
inline constexpr int32_t kWaitFailed = -1;

class NamedMutex {
  public:
    virtual ~NamedMutex() = default;
    // Waits at most `timeoutMs` for ownership: kWaitObject0, kWaitAbandoned (owned now, the last
    // owner died holding it), kWaitTimeout or kWaitFailed.
    virtual int32_t Wait(uint32_t timeoutMs) = 0;
    virtual void Release() = 0;
};

// Creates or opens the mutex of that name (at most 200 characters of letters, digits and '_').
// Null on failure, with `error` the system's error code of the failed step (0 when it gave none).
std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name, uint32_t& error);

}  // namespace configdb
