#include "crash/win32/DumpFileSecurity.h"

#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <string>

namespace ExceptionTranslator {
namespace {

// The token the new file's owner comes from: the thread's when it impersonates, else the
// process's. Null when neither can be opened.
HANDLE OpenEffectiveToken() {
    HANDLE token = nullptr;
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) ||
        OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return token;
    }
    return nullptr;
}

// A copy of the token's user or default owner identifier; empty when it cannot be read.
std::vector<BYTE> TokenIdentifier(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<BYTE> information(size);
    if (size == 0 || !GetTokenInformation(token, kind, information.data(), size, &size)) {
        return {};
    }
    const PSID identifier = kind == TokenUser
                                ? reinterpret_cast<TOKEN_USER*>(information.data())->User.Sid
                                : reinterpret_cast<TOKEN_OWNER*>(information.data())->Owner;
    if (!IsValidSid(identifier)) {
        return {};
    }
    const auto* bytes = static_cast<const BYTE*>(identifier);
    return {bytes, bytes + GetLengthSid(identifier)};
}

// "D:P" protects the list from inheritance; FA is full access, SY the local system account, BA
// the Administrators group.
std::wstring AccessListText(PSID user) {
    wchar_t* userText = nullptr;
    if (!ConvertSidToStringSidW(user, &userText)) {
        return {};
    }
    std::wstring text = L"D:P(A;;FA;;;" + std::wstring(userText) + L")(A;;FA;;;SY)(A;;FA;;;BA)";
    LocalFree(userText);
    return text;
}

}  // namespace

DumpFileSecurity::DumpFileSecurity() noexcept {
    try {
        const std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> token(OpenEffectiveToken(),
                                                                 &CloseHandle);
        if (token == nullptr) {
            return;
        }
        m_user = TokenIdentifier(token.get(), TokenUser);
        m_defaultOwner = TokenIdentifier(token.get(), TokenOwner);
        const std::wstring text = m_user.empty() ? std::wstring() : AccessListText(m_user.data());
        if (text.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                text.c_str(), SDDL_REVISION_1, &m_descriptor, nullptr)) {
            m_descriptor = nullptr;
            return;
        }
        m_attributes = {sizeof(SECURITY_ATTRIBUTES), m_descriptor, FALSE};
    } catch (...) {  // no memory: no record, so no dump
    }
}

DumpFileSecurity::~DumpFileSecurity() {
    if (m_descriptor != nullptr) {
        LocalFree(m_descriptor);
    }
}

SECURITY_ATTRIBUTES* DumpFileSecurity::Attributes() noexcept {
    return m_descriptor != nullptr ? &m_attributes : nullptr;
}

bool DumpFileSecurity::OwnsFile(HANDLE file) const {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const auto is = [owner](const std::vector<BYTE>& identifier) {
        return !identifier.empty() && EqualSid(owner, const_cast<BYTE*>(identifier.data())) != 0;
    };
    const bool owns = owner != nullptr && (is(m_user) || is(m_defaultOwner));
    LocalFree(descriptor);
    return owns;
}

// The descriptor carries the list's protection from inheritance (SE_DACL_PROTECTED), which the
// file keeps with it. (SetSecurityInfo, which takes the protection as a flag, leaves the list of
// Wine 8's files unchanged.)
bool DumpFileSecurity::ApplyTo(HANDLE file) const {
    return m_descriptor != nullptr &&
           SetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, m_descriptor) != 0;
}

}  // namespace ExceptionTranslator
