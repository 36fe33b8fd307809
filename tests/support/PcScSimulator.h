// An in-memory PC/SC resource manager behind the module's PC/SC seam, with WinSCard's answers:
// readers that come and go, cards (T=1, answering like the virtual card) that are inserted,
// removed and reset, contexts, share modes, status-change waits that block until something
// differs, and another application that can hold a card. Tests drive the world through the
// control methods below, make calls fail through the fault queue, and inspect the journal of
// calls, the outstanding allocations and the blocked waits.
//
// Decisions where WinSCard's documentation leaves room:
// - Connecting to an empty reader (not direct) answers SCARD_W_REMOVED_CARD, as WinSCard does.
// - A direct connection needs no card and, like an exclusive one, admits no other connection.
// - A card reset (Reconnect or Disconnect with reset, unpower or eject) makes the
//   next call on every other card handle of the reader fail once with SCARD_W_RESET_CARD. A
//   removed card makes every call on its handles fail with SCARD_W_REMOVED_CARD until they are
//   reconnected (to a card inserted since) or closed; a removed reader makes them fail with
//   SCARD_E_READER_UNAVAILABLE until closed.
// - Memory allocated under a context is freed when the context is released, as WinSCard does.
// - A status-change wait ends with SCARD_E_CANCELLED when its context is cancelled after the wait
//   started or when the context is released.
//
// Thread-safe: one lock guards everything, and waits do not hold it while they block. Control
// responders run under that lock and must not call the simulator.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <type_traits>
#include <utility>

#include "sim/SimWorld.h"

class PcScSimulator final : public PcScApi {
  public:
    using Call = sim::Call;

    PcScSimulator();

    // PcScApi.
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
    uint32_t ControlCode(uint32_t function) const override { return 0x310000 + 4 * function; }

    // The world. Each returns false when the reader is unknown or the change is impossible (a
    // second card, a card taken from an empty reader, a reader name that exists already).
    bool AddReader(const std::u16string& name);
    bool RemoveReader(const std::u16string& name);
    // The virtual card with this ATR, T=1.
    bool InsertCard(const std::u16string& reader, std::vector<uint8_t> atr);
    bool RemoveCard(const std::u16string& reader);
    // The PC/SC service stops and starts again. While it is down a new context is refused with
    // SCARD_E_NO_SERVICE; every context and card handle of the application from before the stop
    // dies: it answers SCARD_E_SERVICE_STOPPED for ever, and its waits end with that result.
    void StopService();
    void StartService() {
        Locked([&] {
            m_running = true;
            Changed();
        });
    }
    // Adds or replaces a reader attribute for GetAttrib; SetAttrib may then overwrite it.
    bool SetAttribute(const std::u16string& reader, uint32_t id, std::vector<uint8_t> value);
    bool SetControlResponder(const std::u16string& reader, sim::ControlResponder responder);
    void SetCardTypeProvider(const std::u16string& cardName, uint32_t providerId,
                             const std::u16string& provider);

    // Another application connects to the reader's card exclusively and lets it go again. The
    // hold answers what Connect would; its calls are not journaled.
    uint32_t HoldExclusively(const std::u16string& reader);
    bool ReleaseHeld(const std::u16string& reader);

    // Faults and inspection. Injected results are returned, one each, by the next calls of that
    // kind; a queued SCARD_S_SUCCESS lets its call through unchanged.
    void InjectResults(Call call, const std::vector<uint32_t>& results);
    std::vector<sim::JournalEntry> Journal() const {
        return Locked([&] { return m_journal; });
    }
    std::vector<sim::JournalEntry> Journal(Call call) const;
    size_t CallCount(Call call) const { return Journal(call).size(); }
    void ClearJournal() {
        Locked([&] { m_journal.clear(); });
    }
    size_t OutstandingAllocations() const {
        return Locked([&] { return m_memory.Outstanding(); });
    }
    // FreeMemory calls on memory that was never handed out or is freed already.
    size_t InvalidFrees() const {
        return Locked([&] { return m_memory.InvalidFrees(); });
    }
    // The other application's context is not counted.
    size_t OpenContexts() const {
        return Locked([&] { return m_contexts.size() - 1; });
    }
    // The card handles of the application under test.
    size_t OpenConnections() const;

    // Status-change waits: how many are blocked now, how many calls have blocked so far, and
    // waiting (up to a deadline that only catches hangs) until these reach a count.
    size_t WaitersBlocked() const {
        return Locked([&] { return m_waitersBlocked; });
    }
    uint64_t WaitsBlockedSoFar() const {
        return Locked([&] { return m_waitsBlockedSoFar; });
    }
    bool AwaitWaitersBlocked(size_t count) const {
        return Await([&] { return m_waitersBlocked >= count; });
    }
    bool AwaitWaitsBlockedSoFar(uint64_t total) const {
        return Await([&] { return m_waitsBlockedSoFar >= total; });
    }

  private:
    using Lock = std::unique_lock<std::mutex>;

    template <typename Read>
    std::invoke_result_t<Read&> Locked(Read&& read) const {
        const std::lock_guard lock(m_mutex);
        return read();
    }
    bool Await(const std::function<bool()>& done) const;

    // Runs one PC/SC call under the lock, journaled: the next injected failure of its kind, the
    // service's refusal or the body's result.
    template <typename Body>
    uint32_t Perform(sim::JournalEntry entry, Body&& body) {
        Lock lock(m_mutex);
        std::optional<uint32_t> failure;
        if (std::deque<uint32_t>& faults = m_faults[entry.call]; !faults.empty()) {
            failure = faults.front() != SCARD_S_SUCCESS ? std::optional(faults.front()) : failure;
            faults.pop_front();
        }
        if (!failure) {
            failure = Refusal(entry);
        }
        const uint32_t result = failure ? *failure : body(lock, entry);
        m_journal.push_back(entry);
        return result;
    }

    // Runs a call on a card handle whose connection is usable, with that connection and its
    // reader; otherwise the call answers the warning (a reset once) or error of the handle.
    template <typename Body>
    uint32_t PerformOnCard(Call call, ScardHandle card, Body&& body) {
        return Perform({.call = call, .card = card}, [&](auto&&...) {
            sim::SimConnection* connection = m_connections.Find(card);
            if (connection == nullptr) {
                return SCARD_E_INVALID_HANDLE;
            }
            const sim::HandleWarning warning =
                std::exchange(connection->warning,
                              connection->Live() ? sim::HandleWarning::None : connection->warning);
            if (warning != sim::HandleWarning::None) {
                return warning == sim::HandleWarning::Reset     ? SCARD_W_RESET_CARD
                       : warning == sim::HandleWarning::Removed ? SCARD_W_REMOVED_CARD
                                                                : SCARD_E_READER_UNAVAILABLE;
            }
            return body(*connection, *sim::FindReader(m_readers, connection->readerName));
        });
    }
    // Runs a change of the named reader under the lock; false when the reader is unknown or the
    // change refuses.
    template <typename Change>
    bool ChangeReader(const std::u16string& name, Change&& change);

    void Changed() { m_changed.notify_all(); }
    // The answer the stopped service, or a context or handle from before the stop, gives a call.
    std::optional<uint32_t> Refusal(const sim::JournalEntry& call) const;
    ScardContext Establish() {
        m_contexts.emplace(m_nextContext, 0);
        return m_nextContext++;
    }
    // Text allocated under the context into the caller's holder, which the call emptied first.
    void Hand(PcScMemory& holder, ScardContext context, const std::u16string& text);

    uint32_t OpenConnection(ScardContext context, std::u16string_view readerName,
                            uint32_t shareMode, uint32_t preferred, ScardHandle& card,
                            uint32_t& protocol);
    void ResetCardIn(sim::SimReader& reader, ScardHandle except);

    // Counts the call among the blocked waits (and sets `blocked`) once it blocks.
    uint32_t WaitForChange(Lock& lock, ScardContext context, uint32_t timeoutMs,
                           PcScReaderState* states, uint32_t count, bool& blocked);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    sim::Readers m_readers;
    // The open contexts, each with the number of cancellations it received, so that a wait can
    // tell whether a Cancel came after it started.
    std::map<ScardContext, uint64_t> m_contexts;
    ScardContext m_nextContext = 0xC0000001;
    sim::ConnectionTable m_connections;
    sim::MemoryLedger m_memory;
    std::vector<sim::JournalEntry> m_journal;
    std::map<Call, std::deque<uint32_t>> m_faults;
    bool m_running = true;
    std::set<ScardContext> m_deadContexts;
    std::set<ScardHandle> m_deadCards;
    std::map<std::pair<std::u16string, uint32_t>, std::u16string> m_providers;
    // The other application's context; its connections are the ones it holds.
    ScardContext m_elsewhere = 0;
    size_t m_waitersBlocked = 0;
    uint64_t m_waitsBlockedSoFar = 0;
};
