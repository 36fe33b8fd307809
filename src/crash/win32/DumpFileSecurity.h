// Who may use a dump file on Windows: the process's user, SYSTEM and Administrators, full access
// each, in an access list that is protected from inheritance, so that a dump in a shared folder
// (the program-data folder) is not readable by every user as the folder's own list would make it.
// Built from the thread's token (the process's when the thread impersonates no one) at the crash.
#pragma once

#include <windows.h>

#include <vector>

namespace ExceptionTranslator {

class DumpFileSecurity {
  public:
    DumpFileSecurity() noexcept;
    ~DumpFileSecurity();
    DumpFileSecurity(const DumpFileSecurity&) = delete;
    DumpFileSecurity& operator=(const DumpFileSecurity&) = delete;

    // The record for creating a new dump; null when the access list could not be built.
    SECURITY_ATTRIBUTES* Attributes() noexcept;

    // Whether the file's owner is the user, or the token's default owner of new objects (the
    // Administrators group for an elevated administrator).
    bool OwnsFile(HANDLE file) const;

    // Puts the access list on an existing file (opened with WRITE_DAC), replacing what it
    // inherited.
    bool ApplyTo(HANDLE file) const;

  private:
    std::vector<BYTE> m_user;
    std::vector<BYTE> m_defaultOwner;
    PSECURITY_DESCRIPTOR m_descriptor = nullptr;
    SECURITY_ATTRIBUTES m_attributes{};
};

}  // namespace ExceptionTranslator
