// The security attributes of the library's named mutexes: full access (GENERIC_ALL with
// STANDARD_RIGHTS_ALL) for the local system account and for the world group, so that a process of
// any user can open and wait on a mutex another process created, and handles that child processes
// inherit. One process-wide instance, built during static initialisation and only read after.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace configdb {

class CSecurityAttributes {
  public:
    // Never throws: a build that stops early leaves the record zeroed.
    CSecurityAttributes() noexcept;
    ~CSecurityAttributes();
    CSecurityAttributes(const CSecurityAttributes&) = delete;
    CSecurityAttributes& operator=(const CSecurityAttributes&) = delete;

    // The record for CreateMutexA; null when the build stopped early, so that the mutexes get the
    // default security (and handles that are not inherited).
    SECURITY_ATTRIBUTES* Attributes() noexcept;

  private:
    struct AccessEntry {
        DWORD accessMask = 0;
        std::vector<BYTE> identifier;  // an owned copy; empty when it could not be obtained
    };

    void AddAccountEntry(const wchar_t* account, DWORD accessMask);
    void AddIdentifierStringEntry(const wchar_t* identifier, DWORD accessMask);
    void Build();
    bool BuildAccessList();

    std::vector<AccessEntry> m_entries;
    void* m_descriptor = nullptr;
    ACL* m_accessList = nullptr;
    SECURITY_ATTRIBUTES m_attributes{};
};

// The process-wide instance's record (see Attributes()).
SECURITY_ATTRIBUTES* LibraryMutexSecurityAttributes() noexcept;

}  // namespace configdb
