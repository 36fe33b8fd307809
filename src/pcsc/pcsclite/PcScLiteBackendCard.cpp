// Card calls of the pcsc-lite backend: connection, status, transmit, control and attributes.
#include <algorithm>
#include <cstring>

#include "pcsc/PcScConstants.h"
#include "pcsc/pcsclite/PcScLiteBackend.h"
#include "pcsc/pcsclite/PcScLiteCall.h"
#include "pcsc/pcsclite/PcScLiteClientLock.h"
#include "pcsc/pcsclite/PcScLiteConversion.h"
#include "platform/HostMemory.h"
#include "platform/TextConversion.h"

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
    PcScLiteCall call(*found);
    if (call.BeginResult() != SCARD_S_SUCCESS) {
        return call.BeginResult();
    }
    const std::string name = reader != nullptr ? WideToNarrow(reader) : std::string();
    LiteHandle lite = 0;
    Dword protocol = 0;
    const uint32_t result = ToWinResult(ChangingHandleLists([&] {
        return Lite().connect(found->CardContext(), reader != nullptr ? name.c_str() : nullptr,
                              shareMode, ToLiteProtocols(preferredProtocols), &lite, &protocol);
    }));
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
    PcScLiteCall call(*found.context);
    if (call.BeginResult() != SCARD_S_SUCCESS) {
        return call.BeginResult();
    }
    if (activeProtocol == nullptr) {
        return SCARD_E_INVALID_PARAMETER;
    }
    Dword protocol = 0;
    const uint32_t result = Noted(found, LookingUpHandle([&] {
                                      return Lite().reconnect(found.lite, shareMode,
                                                              ToLiteProtocols(preferredProtocols),
                                                              initialization, &protocol);
                                  }));
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
    PcScLiteCall call(*found.context);
    if (call.BeginResult() != SCARD_S_SUCCESS) {
        return call.BeginResult();
    }
    const uint32_t result = Noted(
        found, ChangingHandleLists([&] { return Lite().disconnect(found.lite, disposition); }));
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
    PcScLiteCall call(*found.context);
    if (call.BeginResult() != SCARD_S_SUCCESS) {
        return call.BeginResult();
    }
    char name[kReaderNameCapacity] = {};
    Dword nameLength = sizeof(name);
    Dword liteState = 0;
    Dword liteProtocol = 0;
    unsigned char liteAtr[kLiteAtrCapacity] = {};
    Dword liteAtrLength = sizeof(liteAtr);
    const uint32_t result =
        Noted(found, LookingUpHandle([&] {
                  return Lite().status(found.lite, name, &nameLength, &liteState, &liteProtocol,
                                       liteAtr, &liteAtrLength);
              }));
    if (result != SCARD_S_SUCCESS) {
        return result;
    }
    if (atrLength != nullptr) {
        const bool fits = atr == nullptr || *atrLength >= liteAtrLength;
        if (fits && atr != nullptr) {
            zeph::platform::CopyToHostMemory(atr, liteAtr, liteAtrLength);
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
    PcScLiteCall call(*found.context);
    if (call.BeginResult() != SCARD_S_SUCCESS) {
        return call.BeginResult();
    }
    LiteIoRequest liteSend{};
    if (sendPci != nullptr) {
        liteSend = ToLiteIoRequest(*sendPci);
    }
    LiteIoRequest liteReceive{};
    const Dword capacity = receiveLength != nullptr ? *receiveLength : 0;
    Dword length = capacity;
    const uint32_t liteResult =
        Noted(found, LookingUpHandle([&] {
                  return Lite().transmit(found.lite, sendPci != nullptr ? &liteSend : nullptr, send,
                                         sendLength, receivePci != nullptr ? &liteReceive : nullptr,
                                         receive, receiveLength != nullptr ? &length : nullptr);
              }));
    const uint32_t result =
        ToWinTransmitResult(liteResult, sendPci != nullptr ? sendPci->dwProtocol : 0, length);
    // A buffer too small for the answer: the length needed, a count the caller grows its buffer
    // to (nothing was written). Otherwise never more than the caller offered.
    if (receiveLength != nullptr) {
        const bool tooSmall = result == SCARD_E_INSUFFICIENT_BUFFER;
        *receiveLength = BoundedLength(length, tooSmall ? Dword{UINT32_MAX} : capacity);
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
    PcScLiteCall call(*found.context);
    if (call.BeginResult() != SCARD_S_SUCCESS) {
        return call.BeginResult();
    }
    Dword liteReturned = 0;
    const uint32_t result = Noted(found, LookingUpHandle([&] {
                                      return Lite().control(found.lite, code, input, inputLength,
                                                            output, outputCapacity, &liteReturned);
                                  }));
    if (returned != nullptr) {
        *returned = BoundedLength(liteReturned, outputCapacity);
    }
    return result;
}

// pcsc-lite refuses a buffer larger than kLiteMaxBuffer, so a larger one is offered as that.
uint32_t PcScLiteBackend::GetAttrib(ScardHandle card, uint32_t id, uint8_t* buffer,
                                    uint32_t* length) {
    PcScLiteCard found;
    if (!m_handles.FindCard(card, &found)) {
        return SCARD_E_INVALID_HANDLE;
    }
    PcScLiteCall call(*found.context);
    if (call.BeginResult() != SCARD_S_SUCCESS) {
        return call.BeginResult();
    }
    if (length == nullptr) {
        return SCARD_E_INVALID_PARAMETER;
    }
    const Dword offered = std::min<Dword>(*length, kLiteMaxBuffer);
    Dword liteLength = offered;
    const uint32_t result = Noted(found, LookingUpHandle([&] {
                                      return Lite().getAttrib(found.lite, id, buffer, &liteLength);
                                  }));
    // A length query (no buffer) and a buffer too small are told the attribute's length, as
    // WinSCard does; pcsc-lite never has more than kLiteMaxBuffer bytes of one.
    const bool lengthOnly = buffer == nullptr || result == SCARD_E_INSUFFICIENT_BUFFER;
    *length = BoundedLength(liteLength, lengthOnly ? kLiteMaxBuffer : offered);
    return result;
}

uint32_t PcScLiteBackend::SetAttrib(ScardHandle card, uint32_t id, const uint8_t* buffer,
                                    uint32_t length) {
    PcScLiteCard found;
    if (!m_handles.FindCard(card, &found)) {
        return SCARD_E_INVALID_HANDLE;
    }
    PcScLiteCall call(*found.context);
    if (call.BeginResult() != SCARD_S_SUCCESS) {
        return call.BeginResult();
    }
    return Noted(found,
                 LookingUpHandle([&] { return Lite().setAttrib(found.lite, id, buffer, length); }));
}

}  // namespace zeph::platform::pcsclite
