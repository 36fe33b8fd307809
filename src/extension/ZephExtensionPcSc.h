// The extension object: carries each request of the host's virtual reader out on a physical
// reader through PC/SC.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "extension/PendingWaits.h"
#include "identification/CardIdentificationServices.h"
#include "pcsc/PcScApi.h"
#include "pcsc/PcScHandles.h"
#include "registry/Registry.h"
#include "platform/Sleeper.h"
#include "platform/Event.h"

struct ReaderTable;
#include "zeph/ZephExtensionAbi.h"

class CZephExtensionPcSc final : public CZephExtensionAbstract {
  public:
    // The platform's PC/SC, sleep and registry unless a test substitutes its own.
    CZephExtensionPcSc();
    CZephExtensionPcSc(PcScApi& pcsc, Sleeper& sleeper);
    CZephExtensionPcSc(PcScApi& pcsc, Sleeper& sleeper, RegistryApi& registry);

    void* ScalarDeletingDestructor(unsigned int flags) override;
    uint32_t SetProtocol(uint32_t requested, uint32_t* active) override;
    uint32_t Power(uint32_t action, uint8_t* atr, uint32_t* atrLength) override;
    uint32_t GetAttribute(uint32_t id, uint8_t* buffer, uint64_t* length) override;
    uint32_t SetAttribute(uint32_t id, const uint8_t* buffer, uint32_t length) override;
    uint32_t Transmit(const ZephSendHeader* sendHeader, const uint8_t* send, uint64_t sendLength,
                      uint8_t* receive, uint64_t* receiveLength) override;
    uint32_t IsPresent(const ZephWChar* manualReader, uint8_t* atr, uint64_t* atrLength,
                       uint32_t* protocol) override;
    uint32_t IsAbsent() override;
    uint32_t GetState(uint32_t* state, uint32_t* protocol) override;
    void Cancel() override;
    uint32_t Control(uint32_t code, const uint8_t* input, uint64_t inputLength, uint8_t* output,
                     uint64_t* outputLength) override;

  private:
    // Tests reach the private helpers and fields through this class alone.
    friend class ExtensionTestAccess;

    using AccessLock = std::unique_lock<std::recursive_mutex>;

    // Reached only through ScalarDeletingDestructor: closes the events and the lock, but neither
    // disconnects the card nor releases the context (the host ends its use with Power or Cancel).
    ~CZephExtensionPcSc();

    // Context and access gate.
    // SCARD_S_SUCCESS when the object holds a context (established now or before), otherwise the
    // result of the failed establishment.
    uint32_t Helper_SCardGetContext();
    bool Helper_SCardReleaseContext(uint32_t disposition);
    // Lets go of a context the object took away: ends its waits, disconnects the card connected
    // under it and releases it.
    void LetGoOfContext(ScardContext context, uint32_t disposition);
    // A call on the object's context failed because the PC/SC service went away (or forgot the
    // context): the context is let go, so that the next IsPresent establishes a new one.
    void RenewLostContext(const char16_t* caller, ScardContext context, uint32_t result);
    // After a failure because the service is gone: waits for the retry interval (or a Cancel) so
    // that a host calling again at once does not spin; the status to return.
    uint32_t StatusAfterServiceFailure(uint32_t result);
    bool Helper_EnterWinScardAccess(bool tryOnly, AccessLock& access);
    bool Helper_IsWinScardAccessAllowed();

    // Card connection.
    bool Helper_SCardConnect(const std::u16string& reader, bool direct);
    uint32_t ConnectExclusively(ScardContext context, const std::u16string& reader,
                                ScardHandle& card);
    uint32_t CheckExclusive(ScardContext context, const std::u16string& reader);
    bool Helper_SCardReConnect(uint32_t initialization, bool tryOnly);
    bool Helper_SCardDisConnect(uint32_t disposition);
    void ClearConnection();
    void ResetAccessCounters(const char16_t* caller);

    // Power and protocol.
    uint32_t ActiveProtocol();
    uint32_t ResetCard(uint32_t action, uint8_t* atr, uint32_t* atrLength);
    uint32_t ReadCardStatus(uint8_t* atr, uint32_t capacity, uint32_t* atrLength);
    void Helper_SwitchBootLoaderForSmartToken(const std::u16string& reader);
    void CheckSmartTokenFirmware();

    // Transmit.
    uint32_t TransmitWithRetries(const ZephSendHeader& sendHeader, const uint8_t* send,
                                 uint32_t sendLength, uint8_t* receive, uint32_t capacity,
                                 uint32_t& received);

    // Reader discovery.
    struct CardDestination {
        uint8_t* atr;
        uint64_t* atrLength;
        uint32_t* protocol;
    };
    enum class EntryOutcome { Next, NewListing, Connected };
    static constexpr uint32_t kNewListing = 0xFFFFFFFFu;
    static constexpr uint32_t kNextWait = 0xFFFFFFFEu;
    uint32_t WaitForCard(const std::u16string& manual, const CardDestination& destination);
    uint32_t ListReaders(ScardContext context, ReaderTable& table);
    uint32_t WaitOnReaders(ScardContext context, ReaderTable& table, const std::u16string& manual,
                           const CardDestination& destination);
    uint32_t CheckEntries(ReaderTable& table, const std::u16string& manual,
                          const CardDestination& destination);
    uint32_t WaitFailed(ScardContext context, uint32_t result);
    bool CancelledMeanwhile(ScardContext context);
    EntryOutcome CheckEntry(ReaderTable& table, uint32_t index, const std::u16string& manual,
                            const CardDestination& destination);
    EntryOutcome TryCard(PcScReaderState& entry, const std::u16string& reader,
                         const CardDestination& destination);
    void HandOverCard(const PcScReaderState& entry, const CardDestination& destination);
    void NotifySharingViolation();
    bool Helper_SCardLocateCardsByAtr(PcScReaderState* state);

    // Card state and removal.
    void WaitForRemoval();
    uint32_t WaitForRemovalPass(ScardContext context, PcScReaderState& state, uint32_t& validity);
    uint32_t QueryCardState(uint32_t* state, uint32_t* protocol, uint32_t& lastResult);

    // Reader attributes.
    uint32_t CopyReaderName(uint8_t* buffer, uint64_t& length);
    uint32_t ReadReaderAttribute(uint32_t id, uint8_t* buffer, uint64_t& length);

    PcScApi& m_pcsc;
    Sleeper& m_sleeper;
    const ZEPH_Helper::CardIdentificationServices m_cardIdentification;

    std::recursive_mutex m_csWinScardAccess;  // the "Sicherheitsbereich"
    Event m_hCancelEvent{Event::Mode::AutoReset};
    // Read without the lock by the operations' first checks; written under it.
    std::atomic<ScardContext> m_hContext{0};
    std::atomic<ScardHandle> m_hCard{0};
    ScardContext m_hCardContext = 0;  // the context the card was connected under
    PendingWaits m_pendingWaits;
    // How long IsPresent waits after the PC/SC service was found gone before it answers.
    uint32_t m_serviceRetryMs = 1000;
    Event m_hAllowAccessEvent{Event::Mode::ManualReset};
    uint32_t m_dwActiveProtocol = 0;
    uint32_t m_dwShareMode = 0;
    std::u16string m_strReaderName;
    uint32_t m_dwControlCount = 0;
    uint32_t m_dwTransmitCount = 0;
};
