// The PC/SC seam: every call the module makes to the smart card subsystem, with the WinSCard
// semantics on every platform (32-bit results and flags with the WinSCard values, UTF-16 reader
// names, SCARD_READERSTATEW and SCARD_ATRMASK records). Backends: WinSCard on Windows,
// pcsc-lite on Linux, and the in-memory simulator of the tests.
#pragma once

#include <cstdint>

#include "pcsc/PcScHandles.h"
#include "pcsc/PcScMemory.h"

// SCARD_READERSTATEW: the event count lives in the high 16 bits of the states.
struct PcScReaderState {
    const char16_t* szReader;
    void* pvUserData;
    uint32_t dwCurrentState;
    uint32_t dwEventState;
    uint32_t cbAtr;
    uint8_t rgbAtr[36];
};

// SCARD_ATRMASK: a card matches when (card & mask) == (reference & mask) over cbAtr bytes.
struct PcScAtrMask {
    uint32_t cbAtr;
    uint8_t rgbAtr[36];
    uint8_t rgbMask[36];
};

// SCARD_IO_REQUEST in its Windows layout.
struct PcScIoRequest {
    uint32_t dwProtocol;
    uint32_t cbPciLength;
};

class PcScApi {
  public:
    virtual ~PcScApi() = default;

    virtual uint32_t EstablishContext(uint32_t scope, ScardContext* context) = 0;
    // Ends every wait of the context, then releases it.
    virtual uint32_t ReleaseContext(ScardContext context) = 0;
    virtual uint32_t IsValidContext(ScardContext context) = 0;
    // Ends every status-change wait the context has open.
    virtual uint32_t Cancel(ScardContext context) = 0;

    // Reader names of the groups as a multi-string allocated by the platform.
    virtual uint32_t ListReaders(ScardContext context, const char16_t* groups,
                                 PcScMemory& readers) = 0;
    virtual uint32_t GetStatusChange(ScardContext context, uint32_t timeoutMs,
                                     PcScReaderState* states, uint32_t count) = 0;

    virtual uint32_t Connect(ScardContext context, const char16_t* reader, uint32_t shareMode,
                             uint32_t preferredProtocols, ScardHandle* card,
                             uint32_t* activeProtocol) = 0;
    virtual uint32_t Reconnect(ScardHandle card, uint32_t shareMode, uint32_t preferredProtocols,
                               uint32_t initialization, uint32_t* activeProtocol) = 0;
    virtual uint32_t Disconnect(ScardHandle card, uint32_t disposition) = 0;
    // Reader name allocated by the platform; state as the ordinal SCARD_ABSENT ... SCARD_SPECIFIC;
    // ATR into the caller's buffer (in: capacity, out: length).
    virtual uint32_t Status(ScardHandle card, PcScMemory& readerName, uint32_t* state,
                            uint32_t* protocol, uint8_t* atr, uint32_t* atrLength) = 0;
    virtual uint32_t Transmit(ScardHandle card, const PcScIoRequest* sendPci, const uint8_t* send,
                              uint32_t sendLength, PcScIoRequest* receivePci, uint8_t* receive,
                              uint32_t* receiveLength) = 0;
    virtual uint32_t Control(ScardHandle card, uint32_t code, const uint8_t* input,
                             uint32_t inputLength, uint8_t* output, uint32_t outputCapacity,
                             uint32_t* returned) = 0;
    virtual uint32_t GetAttrib(ScardHandle card, uint32_t id, uint8_t* buffer,
                               uint32_t* length) = 0;
    virtual uint32_t SetAttrib(ScardHandle card, uint32_t id, const uint8_t* buffer,
                               uint32_t length) = 0;

    // Sets SCARD_STATE_ATRMATCH in the event state of each reader whose card matches a mask.
    virtual uint32_t LocateCardsByATR(ScardContext context, const PcScAtrMask* masks,
                                      uint32_t maskCount, PcScReaderState* states,
                                      uint32_t count) = 0;
    // The provider of the given kind registered for a card type, allocated by the platform.
    virtual uint32_t GetCardTypeProviderName(ScardContext context, const char16_t* cardName,
                                             uint32_t providerId, PcScMemory& provider) = 0;
    virtual uint32_t FreeMemory(ScardContext context, const void* memory) = 0;

    // The platform's control code of reader function n (SCARD_CTL_CODE).
    virtual uint32_t ControlCode(uint32_t function) const = 0;
};
