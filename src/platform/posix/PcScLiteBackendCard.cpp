// Card calls of the pcsc-lite backend: connection, status, transmit, control and attributes.
#include <algorithm>
#include <cstring>

#include "platform/PcScConstants.h"
#include "platform/TextConversion.h"
#include "platform/posix/PcScLiteBackend.h"
#include "platform/posix/PcScLiteConversion.h"

namespace zeph::platform::pcsclite {
namespace {

// pcsc-lite's longest reader name (MAX_READERNAME) with room to spare.
constexpr size_t kReaderNameCapacity = 256;

}  // namespace

uint32_t PcScLiteBackend::Noted(const PcScLiteCard& card, long liteResult) {
    const uint32_t result = ToWinResult(liteResult);
    card.context->NoteResult(result);
    return result;
}

uint32_t PcScLiteBackend::Connect(ScardContext context, const char16_t* reader, uint32_t shareMode,
                                  uint32_t preferredProtocols, ScardHandle* card,
                                  uint32_t* activeProtocol) {
    if (card == nullptr || activeProtocol == nullptr) {
        return SCARD_E_INVALID_PARAMETER;
    }
    *card = 0;
    const auto found = m_handles.FindContext(context);
    if (found == nullptr) {
        return SCARD_E_INVALID_HANDLE;
    }
    const std::string name = reader != nullptr ? WideToNarrow(reader) : std::string();
    LiteHandle lite = 0;
    Dword protocol = 0;
    const uint32_t result = ToWinResult(
        Lite().connect(found->CardContext(), reader != nullptr ? name.c_str() : nullptr, shareMode,
                       ToLiteProtocols(preferredProtocols), &lite, &protocol));
    found->NoteResult(result);
    if (result != SCARD_S_SUCCESS) {
        return result;
    }
    *card = m_handles.AddCard(lite, context);
    if (*card == 0) {
        return SCARD_E_INVALID_HANDLE;
    }
    *activeProtocol = FromLiteProtocol(protocol);
    return SCARD_S_SUCCESS;
}

uint32_t PcScLiteBackend::Reconnect(ScardHandle card, uint32_t shareMode,
                                    uint32_t preferredProtocols, uint32_t initialization,
                                    uint32_t* activeProtocol) {
    PcScLiteCard found;
    if (!m_handles.FindCard(card, &found)) {
        return SCARD_E_INVALID_HANDLE;
    }
    if (activeProtocol == nullptr) {
        return SCARD_E_INVALID_PARAMETER;
    }
    Dword protocol = 0;
    const uint32_t result =
        Noted(found, Lite().reconnect(found.lite, shareMode, ToLiteProtocols(preferredProtocols),
                                      initialization, &protocol));
    if (result == SCARD_S_SUCCESS) {
        *activeProtocol = FromLiteProtocol(protocol);
    }
    return result;
}

uint32_t PcScLiteBackend::Disconnect(ScardHandle card, uint32_t disposition) {
    PcScLiteCard found;
    if (!m_handles.FindCard(card, &found)) {
        return SCARD_E_INVALID_HANDLE;
    }
    const uint32_t result = Noted(found, Lite().disconnect(found.lite, disposition));
    if (result == SCARD_S_SUCCESS || result == SCARD_E_INVALID_HANDLE) {
        m_handles.RemoveCard(card);
    }
    return result;
}

uint32_t PcScLiteBackend::Status(ScardHandle card, PcScMemory& readerName, uint32_t* state,
                                 uint32_t* protocol, uint8_t* atr, uint32_t* atrLength) {
    readerName.Reset();
    PcScLiteCard found;
    if (!m_handles.FindCard(card, &found)) {
        return SCARD_E_INVALID_HANDLE;
    }
    char name[kReaderNameCapacity] = {};
    Dword nameLength = sizeof(name);
    Dword liteState = 0;
    Dword liteProtocol = 0;
    unsigned char liteAtr[kLiteAtrCapacity] = {};
    Dword liteAtrLength = sizeof(liteAtr);
    const uint32_t result = Noted(found, Lite().status(found.lite, name, &nameLength, &liteState,
                                                       &liteProtocol, liteAtr, &liteAtrLength));
    if (result != SCARD_S_SUCCESS) {
        return result;
    }
    if (atrLength != nullptr) {
        const bool fits = atr == nullptr || *atrLength >= liteAtrLength;
        if (fits && atr != nullptr) {
            std::memcpy(atr, liteAtr, liteAtrLength);
        }
        *atrLength = static_cast<uint32_t>(liteAtrLength);
        if (!fits) {
            return SCARD_E_INSUFFICIENT_BUFFER;
        }
    }
    if (state != nullptr) {
        *state = CardStateOrdinal(liteState, liteProtocol);
    }
    if (protocol != nullptr) {
        *protocol = FromLiteProtocol(liteProtocol);
    }
    const std::string readerText(name, strnlen(name, sizeof(name)));
    Adopt(readerName, found.owner, ToWideMultiString({readerText}));
    return SCARD_S_SUCCESS;
}

uint32_t PcScLiteBackend::Transmit(ScardHandle card, const PcScIoRequest* sendPci,
                                   const uint8_t* send, uint32_t sendLength,
                                   PcScIoRequest* receivePci, uint8_t* receive,
                                   uint32_t* receiveLength) {
    PcScLiteCard found;
    if (!m_handles.FindCard(card, &found)) {
        return SCARD_E_INVALID_HANDLE;
    }
    LiteIoRequest liteSend{};
    if (sendPci != nullptr) {
        liteSend = ToLiteIoRequest(*sendPci);
    }
    LiteIoRequest liteReceive{};
    Dword length = receiveLength != nullptr ? *receiveLength : 0;
    const uint32_t result =
        Noted(found, Lite().transmit(found.lite, sendPci != nullptr ? &liteSend : nullptr, send,
                                     sendLength, receivePci != nullptr ? &liteReceive : nullptr,
                                     receive, receiveLength != nullptr ? &length : nullptr));
    if (receiveLength != nullptr) {
        *receiveLength = static_cast<uint32_t>(length);
    }
    // Reader drivers fill in pcsc-lite's receive header as they like (vpcd says T=0 on a T=1
    // card); WinSCard reports the protocol the command went with.
    if (receivePci != nullptr && result == SCARD_S_SUCCESS) {
        *receivePci = sendPci != nullptr ? PcScIoRequest{sendPci->dwProtocol, sizeof(PcScIoRequest)}
                                         : FromLiteIoRequest(liteReceive);
    }
    return result;
}

uint32_t PcScLiteBackend::Control(ScardHandle card, uint32_t code, const uint8_t* input,
                                  uint32_t inputLength, uint8_t* output, uint32_t outputCapacity,
                                  uint32_t* returned) {
    PcScLiteCard found;
    if (!m_handles.FindCard(card, &found)) {
        return SCARD_E_INVALID_HANDLE;
    }
    Dword liteReturned = 0;
    const uint32_t result = Noted(found, Lite().control(found.lite, code, input, inputLength,
                                                        output, outputCapacity, &liteReturned));
    if (returned != nullptr) {
        *returned = static_cast<uint32_t>(liteReturned);
    }
    return result;
}

uint32_t PcScLiteBackend::GetAttrib(ScardHandle card, uint32_t id, uint8_t* buffer,
                                    uint32_t* length) {
    PcScLiteCard found;
    if (!m_handles.FindCard(card, &found)) {
        return SCARD_E_INVALID_HANDLE;
    }
    if (length == nullptr) {
        return SCARD_E_INVALID_PARAMETER;
    }
    Dword liteLength = *length;
    const uint32_t result = Noted(found, Lite().getAttrib(found.lite, id, buffer, &liteLength));
    *length = static_cast<uint32_t>(liteLength);
    return result;
}

uint32_t PcScLiteBackend::SetAttrib(ScardHandle card, uint32_t id, const uint8_t* buffer,
                                    uint32_t length) {
    PcScLiteCard found;
    if (!m_handles.FindCard(card, &found)) {
        return SCARD_E_INVALID_HANDLE;
    }
    return Noted(found, Lite().setAttrib(found.lite, id, buffer, length));
}

}  // namespace zeph::platform::pcsclite
