#include "directories/win32/SecurityAttributes.h"

#include <sddl.h>

namespace configdb {
namespace {

constexpr DWORD kFullAccess = GENERIC_ALL | STANDARD_RIGHTS_ALL;  // 0x101F0000
constexpr DWORD kDomainCapacity = 256;
// An access-allowed entry without its identifier, whose first DWORD the identifier overlays.
constexpr DWORD kEntryWithoutIdentifier = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD);

}  // namespace

CSecurityAttributes::CSecurityAttributes() noexcept {
    try {
        AddAccountEntry(L"SYSTEM", kFullAccess);
        AddIdentifierStringEntry(L"S-1-1-0", kFullAccess);  // the world group
        Build();
    } catch (...) {
        // Ends the build with what has been built; the record stays zeroed unless it was filled.
    }
}

CSecurityAttributes::~CSecurityAttributes() {
    // A mutex created after this (from another static object's destructor) gets default security
    // instead of a freed descriptor.
    m_attributes = SECURITY_ATTRIBUTES{};
    if (m_descriptor != nullptr) {
        HeapFree(GetProcessHeap(), 0, m_descriptor);
    }
    if (m_accessList != nullptr) {
        HeapFree(GetProcessHeap(), 0, m_accessList);
    }
    m_entries.clear();
}

SECURITY_ATTRIBUTES* CSecurityAttributes::Attributes() noexcept {
    return m_attributes.nLength != 0 ? &m_attributes : nullptr;
}

// The first call learns the identifier's size, the second fills it.
void CSecurityAttributes::AddAccountEntry(const wchar_t* account, DWORD accessMask) {
    AccessEntry& entry = m_entries.emplace_back(AccessEntry{accessMask, {}});
    DWORD size = 0;
    wchar_t domain[kDomainCapacity];
    DWORD domainLength = kDomainCapacity;
    SID_NAME_USE use{};
    LookupAccountNameW(nullptr, account, nullptr, &size, domain, &domainLength, &use);
    if (size == 0) {
        return;
    }
    entry.identifier.resize(size);
    domainLength = kDomainCapacity;
    if (!LookupAccountNameW(nullptr, account, entry.identifier.data(), &size, domain, &domainLength,
                            &use)) {
        entry.identifier.clear();
    }
}

void CSecurityAttributes::AddIdentifierStringEntry(const wchar_t* identifier, DWORD accessMask) {
    AccessEntry& entry = m_entries.emplace_back(AccessEntry{accessMask, {}});
    PSID converted = nullptr;
    if (!ConvertStringSidToSidW(identifier, &converted)) {
        return;
    }
    const DWORD length = IsValidSid(converted) ? GetLengthSid(converted) : 0;
    if (length > 0) {
        const auto* bytes = static_cast<const BYTE*>(converted);
        entry.identifier.assign(bytes, bytes + length);
    }
    LocalFree(converted);
}

void CSecurityAttributes::Build() {
    m_descriptor = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, SECURITY_DESCRIPTOR_MIN_LENGTH);
    if (m_descriptor == nullptr ||
        !InitializeSecurityDescriptor(m_descriptor, SECURITY_DESCRIPTOR_REVISION)) {
        return;
    }
    if (!BuildAccessList() || !SetSecurityDescriptorDacl(m_descriptor, TRUE, m_accessList, FALSE)) {
        return;
    }
    m_attributes.nLength = sizeof(SECURITY_ATTRIBUTES);
    m_attributes.lpSecurityDescriptor = m_descriptor;
    m_attributes.bInheritHandle = TRUE;
}

// An entry without an identifier is left out: AddAccessAllowedAce would refuse it and fail the
// whole build, and the other account would lose its access with it.
bool CSecurityAttributes::BuildAccessList() {
    DWORD size = sizeof(ACL);
    for (AccessEntry& entry : m_entries) {
        if (!entry.identifier.empty()) {
            size += kEntryWithoutIdentifier + GetLengthSid(entry.identifier.data());
        }
    }
    m_accessList = static_cast<ACL*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
    if (m_accessList == nullptr || !InitializeAcl(m_accessList, size, ACL_REVISION)) {
        return false;
    }
    for (AccessEntry& entry : m_entries) {
        if (!entry.identifier.empty() &&
            !AddAccessAllowedAce(m_accessList, ACL_REVISION, entry.accessMask,
                                 entry.identifier.data())) {
            return false;
        }
    }
    return true;
}

namespace {

// Built while the module loads, before any library call can run.
CSecurityAttributes g_securityAttributes;

}  // namespace

SECURITY_ATTRIBUTES* LibraryMutexSecurityAttributes() noexcept {
    return g_securityAttributes.Attributes();
}

}  // namespace configdb
