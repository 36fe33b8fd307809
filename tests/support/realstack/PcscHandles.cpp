#include "PcscHandles.h"

#include <cstdio>
#include <stdexcept>
#include <thread>

namespace realstack {

namespace {

constexpr std::chrono::milliseconds kStatePollInterval{10};
constexpr size_t kMaxResponse = 258;

}  // namespace

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

std::optional<SCARD_READERSTATE> PcscContext::WaitForState(
    const std::string& reader, DWORD wanted, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const SCARD_READERSTATE state = CurrentState(reader);
        if ((state.dwEventState & wanted) == wanted) {
            return state;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(kStatePollInterval);
    }
}

PcscCard::PcscCard(const PcscContext& context, const std::string& reader, DWORD shareMode,
                   DWORD protocols)
    : m_status(SCardConnect(context.Handle(), reader.c_str(), shareMode, protocols, &m_card,
                            &m_protocol)) {}

PcscCard::~PcscCard() {
    Disconnect();
}

LONG PcscCard::Disconnect() {
    if (m_status != SCARD_S_SUCCESS || m_card == 0) {
        return SCARD_E_INVALID_HANDLE;
    }
    const LONG result = SCardDisconnect(m_card, SCARD_LEAVE_CARD);
    m_card = 0;
    return result;
}

LONG PcscCard::Transmit(const std::vector<uint8_t>& command, std::vector<uint8_t>& response) const {
    const SCARD_IO_REQUEST* pci = m_protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
    response.resize(kMaxResponse);
    DWORD length = static_cast<DWORD>(response.size());
    const LONG result =
        SCardTransmit(m_card, pci, command.data(), static_cast<DWORD>(command.size()), nullptr,
                      response.data(), &length);
    response.resize(result == SCARD_S_SUCCESS ? length : 0);
    return result;
}

std::string DescribeResult(LONG result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    return std::string(pcsc_stringify_error(result)) + " (" + code + ")";
}

}  // namespace realstack
