#include "PcscHandles.h"

#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace realstack {

PcscContext::PcscContext() {
    const LONG result = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &m_context);
    if (result != SCARD_S_SUCCESS) {
        throw std::runtime_error("SCardEstablishContext: " + DescribeResult(result));
    }
}

PcscContext::~PcscContext() {
    SCardReleaseContext(m_context);
}

std::vector<std::string> PcscContext::ListReaders() const {
    DWORD length = SCARD_AUTOALLOCATE;
    char* names = nullptr;
    std::vector<std::string> readers;
    if (SCardListReaders(m_context, nullptr, reinterpret_cast<char*>(&names), &length) !=
        SCARD_S_SUCCESS) {
        return readers;
    }
    for (const char* name = names; *name != '\0'; name += readers.back().size() + 1) {
        readers.emplace_back(name);
    }
    SCardFreeMemory(m_context, names);
    return readers;
}

SCARD_READERSTATE PcscContext::CurrentState(const std::string& reader) const {
    SCARD_READERSTATE state{};
    state.szReader = reader.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    SCardGetStatusChange(m_context, 0, &state, 1);
    return state;
}

PcscCard::PcscCard(const PcscContext& context, const std::string& reader, DWORD shareMode)
    : m_status(SCardConnect(context.Handle(), reader.c_str(), shareMode,
                            SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &m_card, &m_protocol)) {}

size_t OpenSockets() {
    size_t sockets = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code gone;  // the iterator's own descriptor is closed by now
        sockets +=
            std::filesystem::read_symlink(entry.path(), gone).string().starts_with("socket:");
    }
    return sockets;
}

std::string DescribeResult(LONG result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    return std::string(pcsc_stringify_error(result)) + " (" + code + ")";
}

}  // namespace realstack
