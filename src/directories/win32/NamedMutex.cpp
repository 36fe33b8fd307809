#include "directories/NamedMutex.h"

#include "directories/win32/SecurityAttributes.h"
#include "directories/win32/Win32NamedMutex.h"

namespace configdb {

Win32NamedMutex::~Win32NamedMutex() {
    CloseHandle(m_handle);
}

int32_t Win32NamedMutex::Wait(uint32_t timeoutMs) {
    return static_cast<int32_t>(WaitForSingleObject(m_handle, timeoutMs));
}

// A mutex opened for SYNCHRONIZE only cannot be released (ERROR_ACCESS_DENIED): its owner keeps
// it until the owning thread ends, and the next waiter takes it as abandoned.
void Win32NamedMutex::Release() {
    ReleaseMutex(m_handle);
}

// Not owned by the creator. When creation is denied (the mutex exists and this process may not
// ask for full access to it), the existing one is opened for waiting only.
std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name, uint32_t& error) {
    error = 0;
    HANDLE handle = CreateMutexA(LibraryMutexSecurityAttributes(), FALSE, name.c_str());
    if (handle == nullptr) {
        error = GetLastError();
        if (error == ERROR_ACCESS_DENIED) {
            handle = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
            error = handle != nullptr ? 0 : GetLastError();
        }
    }
    if (handle == nullptr) {
        return nullptr;
    }
    return std::make_unique<Win32NamedMutex>(handle);
}

}  // namespace configdb
