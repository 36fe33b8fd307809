// PC/SC on Windows: the W functions of WinSCard, called directly. The seam speaks WinSCard's own
// values and records, so the backend only adapts types. Under Wine 10, whose winscard passes the
// calls to pcsc-lite, it also polls status changes (PolledStatusChange.h), answers the two calls
// Wine lacks (below), and reads the card state that SCardStatusW reports as pcsc-lite's bit
// field where it is no ordinal.
#pragma once

#include <mutex>
#include <unordered_map>

#include "pcsc/PcScApi.h"
#include "pcsc/winscard/PolledStatusChange.h"

class WinSCardBackend final : public PcScApi {
  public:
    WinSCardBackend();

    uint32_t EstablishContext(uint32_t scope, ScardContext* context) override;
    uint32_t ReleaseContext(ScardContext context) override;
    uint32_t IsValidContext(ScardContext context) override;
    uint32_t Cancel(ScardContext context) override;
    uint32_t ListReaders(ScardContext context, const char16_t* groups,
                         PcScMemory& readers) override;
    uint32_t GetStatusChange(ScardContext context, uint32_t timeoutMs, PcScReaderState* states,
                             uint32_t count) override;
    uint32_t Connect(ScardContext context, const char16_t* reader, uint32_t shareMode,
                     uint32_t preferredProtocols, ScardHandle* card,
                     uint32_t* activeProtocol) override;
    uint32_t Reconnect(ScardHandle card, uint32_t shareMode, uint32_t preferredProtocols,
                       uint32_t initialization, uint32_t* activeProtocol) override;
    uint32_t Disconnect(ScardHandle card, uint32_t disposition) override;
    uint32_t Status(ScardHandle card, PcScMemory& readerName, uint32_t* state, uint32_t* protocol,
                    uint8_t* atr, uint32_t* atrLength) override;
    uint32_t Transmit(ScardHandle card, const PcScIoRequest* sendPci, const uint8_t* send,
                      uint32_t sendLength, PcScIoRequest* receivePci, uint8_t* receive,
                      uint32_t* receiveLength) override;
    uint32_t Control(ScardHandle card, uint32_t code, const uint8_t* input, uint32_t inputLength,
                     uint8_t* output, uint32_t outputCapacity, uint32_t* returned) override;
    uint32_t GetAttrib(ScardHandle card, uint32_t id, uint8_t* buffer, uint32_t* length) override;
    uint32_t SetAttrib(ScardHandle card, uint32_t id, const uint8_t* buffer,
                       uint32_t length) override;
    uint32_t LocateCardsByATR(ScardContext context, const PcScAtrMask* masks, uint32_t maskCount,
                              PcScReaderState* states, uint32_t count) override;
    uint32_t GetCardTypeProviderName(ScardContext context, const char16_t* cardName,
                                     uint32_t providerId, PcScMemory& provider) override;
    uint32_t FreeMemory(ScardContext context, const void* memory) override;
    uint32_t ControlCode(uint32_t function) const override;

  private:
    // Text that SCardStatusW allocates belongs to the card handle's context, which the call
    // itself does not name; the backend remembers it per handle.
    ScardContext ContextOf(ScardHandle card);

    std::mutex m_mutex;
    std::unordered_map<ScardHandle, ScardContext> m_cardContexts;
    // Under Wine (10), whose winscard passes the calls to pcsc-lite: it answers every status
    // change at once, so the wait is polled here; it lacks SCardLocateCardsByATRW and
    // SCardGetCardTypeProviderNameW, whose calls end the process, so the backend answers them
    // itself: SCARD_E_UNSUPPORTED_FEATURE, and SCARD_E_UNKNOWN_CARD (Wine keeps no card database).
    const bool m_wine;
    PolledStatusChange m_polled;
};
