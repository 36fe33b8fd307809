// The Windows named mutex behind CreateNamedMutex: a mutex handle, closed with the object.
#pragma once

#include <windows.h>

#include "directories/NamedMutex.h"

namespace configdb {

class Win32NamedMutex final : public NamedMutex {
  public:
    explicit Win32NamedMutex(HANDLE handle) noexcept : m_handle(handle) {}
    ~Win32NamedMutex() override;
    Win32NamedMutex(const Win32NamedMutex&) = delete;
    Win32NamedMutex& operator=(const Win32NamedMutex&) = delete;

    // WaitForSingleObject's own answers, WAIT_FAILED as -1.
    int32_t Wait(uint32_t timeoutMs) override;
    void Release() override;

    HANDLE Handle() const noexcept { return m_handle; }

  private:
    HANDLE m_handle;
};

}  // namespace configdb
