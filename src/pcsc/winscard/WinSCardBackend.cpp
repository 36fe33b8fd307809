#include "pcsc/winscard/WinSCardBackend.h"

#include <windows.h>
#include <winscard.h>

#include "pcsc/PlatformPcSc.h"

static_assert(sizeof(PcScReaderState) == sizeof(SCARD_READERSTATEW));
static_assert(offsetof(PcScReaderState, rgbAtr) == offsetof(SCARD_READERSTATEW, rgbAtr));
static_assert(sizeof(PcScAtrMask) == sizeof(SCARD_ATRMASK));
static_assert(sizeof(PcScIoRequest) == sizeof(SCARD_IO_REQUEST));
static_assert(sizeof(ScardContext) == sizeof(SCARDCONTEXT));

namespace {

LPCWSTR Wide(const char16_t* text) {
    return reinterpret_cast<LPCWSTR>(text);
}

uint32_t Result(LONG result) {
    return static_cast<uint32_t>(result);
}

// Length in UTF-16 units of a multi-string, both terminating zeros included.
uint32_t MultiStringLength(const char16_t* text) {
    const char16_t* end = text;
    while (end[0] != 0 || end[1] != 0) {
        ++end;
    }
    return static_cast<uint32_t>(end - text) + 2;
}

uint32_t StringLength(const char16_t* text) {
    const char16_t* end = text;
    while (*end != 0) {
        ++end;
    }
    return static_cast<uint32_t>(end - text) + 1;
}

}  // namespace

uint32_t WinSCardBackend::EstablishContext(uint32_t scope, ScardContext* context) {
    SCARDCONTEXT handle = 0;
    const LONG result = SCardEstablishContext(scope, nullptr, nullptr, &handle);
    *context = handle;
    return Result(result);
}

uint32_t WinSCardBackend::ReleaseContext(ScardContext context) {
    return Result(SCardReleaseContext(context));
}

uint32_t WinSCardBackend::IsValidContext(ScardContext context) {
    return Result(SCardIsValidContext(context));
}

uint32_t WinSCardBackend::Cancel(ScardContext context) {
    return Result(SCardCancel(context));
}

uint32_t WinSCardBackend::ListReaders(ScardContext context, const char16_t* groups,
                                      PcScMemory& readers) {
    LPWSTR list = nullptr;
    DWORD length = SCARD_AUTOALLOCATE;
    const LONG result =
        SCardListReadersW(context, Wide(groups), reinterpret_cast<LPWSTR>(&list), &length);
    if (result == SCARD_S_SUCCESS && list != nullptr) {
        const auto* text = reinterpret_cast<const char16_t*>(list);
        readers.Adopt(this, context, text, MultiStringLength(text));
    }
    return Result(result);
}

uint32_t WinSCardBackend::GetStatusChange(ScardContext context, uint32_t timeoutMs,
                                          PcScReaderState* states, uint32_t count) {
    return Result(SCardGetStatusChangeW(context, timeoutMs,
                                        reinterpret_cast<SCARD_READERSTATEW*>(states), count));
}

uint32_t WinSCardBackend::Connect(ScardContext context, const char16_t* reader, uint32_t shareMode,
                                  uint32_t preferredProtocols, ScardHandle* card,
                                  uint32_t* activeProtocol) {
    SCARDHANDLE handle = 0;
    DWORD protocol = 0;
    const LONG result =
        SCardConnectW(context, Wide(reader), shareMode, preferredProtocols, &handle, &protocol);
    *card = handle;
    *activeProtocol = protocol;
    if (result == SCARD_S_SUCCESS) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cardContexts[handle] = context;
    }
    return Result(result);
}

uint32_t WinSCardBackend::Reconnect(ScardHandle card, uint32_t shareMode,
                                    uint32_t preferredProtocols, uint32_t initialization,
                                    uint32_t* activeProtocol) {
    DWORD protocol = 0;
    const LONG result =
        SCardReconnect(card, shareMode, preferredProtocols, initialization, &protocol);
    *activeProtocol = protocol;
    return Result(result);
}

uint32_t WinSCardBackend::Disconnect(ScardHandle card, uint32_t disposition) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cardContexts.erase(card);
    }
    return Result(SCardDisconnect(card, disposition));
}

ScardContext WinSCardBackend::ContextOf(ScardHandle card) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto entry = m_cardContexts.find(card);
    return entry != m_cardContexts.end() ? entry->second : 0;
}

uint32_t WinSCardBackend::Status(ScardHandle card, PcScMemory& readerName, uint32_t* state,
                                 uint32_t* protocol, uint8_t* atr, uint32_t* atrLength) {
    LPWSTR name = nullptr;
    DWORD nameLength = SCARD_AUTOALLOCATE;
    DWORD cardState = 0;
    DWORD cardProtocol = 0;
    DWORD length = *atrLength;
    const LONG result = SCardStatusW(card, reinterpret_cast<LPWSTR>(&name), &nameLength, &cardState,
                                     &cardProtocol, atr, &length);
    *state = cardState;
    *protocol = cardProtocol;
    *atrLength = length;
    if (result == SCARD_S_SUCCESS && name != nullptr) {
        const auto* text = reinterpret_cast<const char16_t*>(name);
        readerName.Adopt(this, ContextOf(card), text, StringLength(text));
    }
    return Result(result);
}

uint32_t WinSCardBackend::Transmit(ScardHandle card, const PcScIoRequest* sendPci,
                                   const uint8_t* send, uint32_t sendLength,
                                   PcScIoRequest* receivePci, uint8_t* receive,
                                   uint32_t* receiveLength) {
    DWORD length = *receiveLength;
    const LONG result =
        SCardTransmit(card, reinterpret_cast<const SCARD_IO_REQUEST*>(sendPci), send, sendLength,
                      reinterpret_cast<SCARD_IO_REQUEST*>(receivePci), receive, &length);
    *receiveLength = length;
    return Result(result);
}

uint32_t WinSCardBackend::Control(ScardHandle card, uint32_t code, const uint8_t* input,
                                  uint32_t inputLength, uint8_t* output, uint32_t outputCapacity,
                                  uint32_t* returned) {
    DWORD count = 0;
    const LONG result =
        SCardControl(card, code, input, inputLength, output, outputCapacity, &count);
    *returned = count;
    return Result(result);
}

uint32_t WinSCardBackend::GetAttrib(ScardHandle card, uint32_t id, uint8_t* buffer,
                                    uint32_t* length) {
    DWORD count = *length;
    const LONG result = SCardGetAttrib(card, id, buffer, &count);
    *length = count;
    return Result(result);
}

uint32_t WinSCardBackend::SetAttrib(ScardHandle card, uint32_t id, const uint8_t* buffer,
                                    uint32_t length) {
    return Result(SCardSetAttrib(card, id, buffer, length));
}

uint32_t WinSCardBackend::LocateCardsByATR(ScardContext context, const PcScAtrMask* masks,
                                           uint32_t maskCount, PcScReaderState* states,
                                           uint32_t count) {
    // The platform declares the masks as writable although it only reads them.
    auto* platformMasks = const_cast<SCARD_ATRMASK*>(reinterpret_cast<const SCARD_ATRMASK*>(masks));
    return Result(SCardLocateCardsByATRW(context, platformMasks, maskCount,
                                         reinterpret_cast<SCARD_READERSTATEW*>(states), count));
}

uint32_t WinSCardBackend::GetCardTypeProviderName(ScardContext context, const char16_t* cardName,
                                                  uint32_t providerId, PcScMemory& provider) {
    LPWSTR name = nullptr;
    DWORD length = SCARD_AUTOALLOCATE;
    const LONG result = SCardGetCardTypeProviderNameW(context, Wide(cardName), providerId,
                                                      reinterpret_cast<LPWSTR>(&name), &length);
    if (result == SCARD_S_SUCCESS && name != nullptr) {
        const auto* text = reinterpret_cast<const char16_t*>(name);
        provider.Adopt(this, context, text, StringLength(text));
    }
    return Result(result);
}

uint32_t WinSCardBackend::FreeMemory(ScardContext context, const void* memory) {
    return Result(SCardFreeMemory(context, memory));
}

uint32_t WinSCardBackend::ControlCode(uint32_t function) const {
    return static_cast<uint32_t>(SCARD_CTL_CODE(function));
}

PcScApi& PlatformPcSc() {
    static WinSCardBackend backend;
    return backend;
}
