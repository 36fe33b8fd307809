// The PC/SC seam on pcsc-lite, with WinSCard's behaviour where pcsc-lite 1.9.9 differs:
// - widths (DWORD and LONG are 64-bit in pcsc-lite), UTF-8 reader names as UTF-16;
// - text "allocated by the platform" is the backend's own UTF-16 copy (PcScLiteAllocations);
// - SCardStatus reports WinSCard's state ordinal and one reader name; SCARD_PROTOCOL_RAW and
//   SCARD_E_UNSUPPORTED_FEATURE take their WinSCard values; SCARD_CTL_CODE is pcsc-lite's;
// - one context serves several threads: waits run on pcsc-lite contexts of their own, Cancel and
//   Release end them reliably (PcScLiteContext);
// - a sharing conflict is answered at once (PCSCLITE_NO_BLOCKING, see PcScLiteLibrary);
// - PnP reader count and gone readers in status changes (PcScLiteStatusChange);
// - a context that lost pcscd is invalid;
// - the calls pcsc-lite lacks: ATR location by mask, and card-type provider names from the smart
//   card database in the registry seam (SmartCardDatabase.h).
#pragma once

#include "pcsc/PcScApi.h"
#include "pcsc/pcsclite/PcScLiteAllocations.h"
#include "pcsc/pcsclite/PcScLiteHandleTable.h"
#include "pcsc/pcsclite/PcScLiteLibrary.h"

namespace zeph::platform::pcsclite {

class PcScLiteBackend final : public PcScApi {
  public:
    explicit PcScLiteBackend(const PcScLiteLibrary& library);
    // Releases the contexts still open.
    ~PcScLiteBackend() override;
    PcScLiteBackend(const PcScLiteBackend&) = delete;
    PcScLiteBackend& operator=(const PcScLiteBackend&) = delete;

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

    // How many status-change waits the context has open (0 for an unknown context): tests use it
    // to know that a wait has begun.
    size_t OpenWaits(ScardContext context) const;

  private:
    const LiteFunctions& Lite() const { return m_library.Functions(); }
    // The result of a card call, noted with the card's context.
    static uint32_t Noted(const PcScLiteCard& card, long liteResult);
    void Adopt(PcScMemory& memory, ScardContext context, const std::u16string& units);

    const PcScLiteLibrary& m_library;
    PcScLiteHandleTable m_handles;
    PcScLiteAllocations m_allocations;
};

}  // namespace zeph::platform::pcsclite
