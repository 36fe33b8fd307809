#include "pcsc/winscard/WinSCardBackend.h"

#include <windows.h>
#include <winscard.h>

#include <algorithm>
#include <vector>

#include "pcsc/CardStateBits.h"
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

// Wine's ntdll exports wine_get_version.
bool RunningOnWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

WinSCardBackend::WinSCardBackend() : m_wine(RunningOnWine()) {}

uint32_t WinSCardBackend::EstablishContext(uint32_t scope, ScardContext* context) {
    SCARDCONTEXT handle = 0;
    const LONG result = SCardEstablishContext(scope, nullptr, nullptr, &handle);
    *context = handle;
    return Result(result);
}

uint32_t WinSCardBackend::ReleaseContext(ScardContext context) {
    m_polled.Forget(context);
    return Result(SCardReleaseContext(context));
}

uint32_t WinSCardBackend::IsValidContext(ScardContext context) {
    return Result(SCardIsValidContext(context));
}

uint32_t WinSCardBackend::Cancel(ScardContext context) {
    m_polled.Cancel(context);
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
    const auto query = [context](uint32_t timeout, PcScReaderState* entries, uint32_t n) {
        return Result(SCardGetStatusChangeW(context, timeout,
                                            reinterpret_cast<SCARD_READERSTATEW*>(entries), n));
    };
    if (!m_wine) {
        return query(timeoutMs, states, count);
    }
    return m_polled.Run(context, timeoutMs, states, count,
                        [&](PcScReaderState* entries, uint32_t n) { return query(0, entries, n); });
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

// A handle the backend does not know (disconnected already, or never connected) is refused
// without asking the platform, with WinSCard's answer: Wine 10's winscard frees its handle at the
// first disconnect, reads it again at the second and answers ERROR_INVALID_HANDLE.
uint32_t WinSCardBackend::Disconnect(ScardHandle card, uint32_t disposition) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_cardContexts.erase(card) == 0) {
            return Result(SCARD_E_INVALID_HANDLE);
        }
    }
    return Result(SCardDisconnect(card, disposition));
}

ScardContext WinSCardBackend::ContextOf(ScardHandle card) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto entry = m_cardContexts.find(card);
    return entry != m_cardContexts.end() ? entry->second : 0;
}

// State and protocol are optional, as on the other backends. The ATR is read into a buffer of the
// largest size an ATR can have and copied to the caller's when it fits, so that the platform is
// never handed a buffer too small. WinSCard reports the state as an ordinal up to SCARD_SPECIFIC;
// Wine's winscard passes pcsc-lite's bit field through instead. A value above SCARD_SPECIFIC is
// no ordinal, so it is that field. (A lone bit 0x1, 0x2 or 0x4 reads as an ordinal; pcsc-lite
// reports none of them for a card that a handle can use: a removed card fails the call.)
uint32_t WinSCardBackend::Status(ScardHandle card, PcScMemory& readerName, uint32_t* state,
                                 uint32_t* protocol, uint8_t* atr, uint32_t* atrLength) {
    LPWSTR name = nullptr;
    DWORD nameLength = SCARD_AUTOALLOCATE;
    DWORD cardState = 0;
    DWORD cardProtocol = 0;
    BYTE fullAtr[sizeof(PcScReaderState::rgbAtr)] = {};
    DWORD length = sizeof(fullAtr);
    LONG result = SCardStatusW(card, reinterpret_cast<LPWSTR>(&name), &nameLength, &cardState,
                               &cardProtocol, fullAtr, &length);
    const bool atrWanted = atr != nullptr && atrLength != nullptr;
    if (result == SCARD_S_SUCCESS && atrWanted && length > *atrLength) {
        result = SCARD_E_INSUFFICIENT_BUFFER;
    }
    if (result == SCARD_S_SUCCESS && atrWanted) {
        std::copy(fullAtr, fullAtr + length, atr);
    }
    if (atrLength != nullptr &&
        (result == SCARD_S_SUCCESS || result == SCARD_E_INSUFFICIENT_BUFFER)) {
        *atrLength = length;
    }
    if (result != SCARD_S_SUCCESS && name != nullptr) {
        SCardFreeMemory(ContextOf(card), name);
        name = nullptr;
    }
    if (state != nullptr) {
        *state =
            cardState <= SCARD_SPECIFIC ? cardState : OrdinalOfStateBits(cardState, cardProtocol);
    }
    if (protocol != nullptr) {
        *protocol = cardProtocol;
    }
    if (result == SCARD_S_SUCCESS && name != nullptr) {
        const auto* text = reinterpret_cast<const char16_t*>(name);
        readerName.Adopt(this, ContextOf(card), text, StringLength(text));
    }
    return Result(result);
}

// Wine's winscard hands the length back only on success: after SCARD_E_INSUFFICIENT_BUFFER the
// caller's length is left as it was, and a caller growing its buffer from it would ask again for
// ever. So under Wine a buffer smaller than the largest answer a card can give is not handed over:
// the answer is received into one of that size (pcsc-lite's limit for extended APDUs) and copied
// when it fits; when it does not, the length needed is reported, as WinSCard and pcsc-lite do.
// Either way the card has answered, as it has when pcsc-lite finds the caller's buffer too small.
uint32_t WinSCardBackend::Transmit(ScardHandle card, const PcScIoRequest* sendPci,
                                   const uint8_t* send, uint32_t sendLength,
                                   PcScIoRequest* receivePci, uint8_t* receive,
                                   uint32_t* receiveLength) {
    constexpr DWORD kLargestAnswer = 4 + 3 + 65536 + 3 + 2;
    const bool throughFullBuffer = m_wine && receive != nullptr && *receiveLength < kLargestAnswer;
    std::vector<uint8_t> full(throughFullBuffer ? kLargestAnswer : 0);
    DWORD length = throughFullBuffer ? kLargestAnswer : *receiveLength;
    LONG result = SCardTransmit(card, reinterpret_cast<const SCARD_IO_REQUEST*>(sendPci), send,
                                sendLength, reinterpret_cast<SCARD_IO_REQUEST*>(receivePci),
                                throughFullBuffer ? full.data() : receive, &length);
    if (throughFullBuffer && result == SCARD_S_SUCCESS) {
        if (length > *receiveLength) {
            result = SCARD_E_INSUFFICIENT_BUFFER;
        } else {
            std::copy(full.begin(), full.begin() + length, receive);
        }
    }
    if (!throughFullBuffer || result == SCARD_S_SUCCESS || result == SCARD_E_INSUFFICIENT_BUFFER) {
        *receiveLength = length;
    }
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
    if (m_wine) {
        return Result(SCARD_E_UNSUPPORTED_FEATURE);
    }
    // The platform declares the masks as writable although it only reads them.
    auto* platformMasks = const_cast<SCARD_ATRMASK*>(reinterpret_cast<const SCARD_ATRMASK*>(masks));
    return Result(SCardLocateCardsByATRW(context, platformMasks, maskCount,
                                         reinterpret_cast<SCARD_READERSTATEW*>(states), count));
}

uint32_t WinSCardBackend::GetCardTypeProviderName(ScardContext context, const char16_t* cardName,
                                                  uint32_t providerId, PcScMemory& provider) {
    if (m_wine) {
        return Result(SCARD_E_UNKNOWN_CARD);
    }
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
