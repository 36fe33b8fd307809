// One PC/SC context of the module on pcsc-lite.
//
// pcsc-lite serialises every call of one of its contexts, so a card operation would wait behind a
// status-change wait of another thread; its SCardCancel is lost when it comes before the wait
// blocks; and releasing a context waits behind that context's wait. WinSCard has none of this.
// So a context of the module stands for several pcsc-lite contexts: one for card operations and
// reader lists, and one for each status-change wait in progress (kept in a pool for the next
// wait). Every wait registers here; Cancel ends the waits that are open at that moment and
// Release ends all of them before it releases the pcsc-lite contexts.
//
// Every other call on the card context (reader lists, connecting, calls through card handles)
// is in flight here from start to end (PcScLiteCall). Release lets no new call begin and waits
// for those in flight before it releases pcsc-lite's context: pcsc-lite reuses the socket's
// descriptor for the next context, and a call still running on a released context would talk
// to the wrong socket.
//
// pcsc-lite's SCardCancel takes the client library's process-wide lock, which a card call holds
// while it waits for its (busy) context: a Cancel can be held up by card calls queued on the card
// context, never by a wait.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "pcsc/pcsclite/PcScLiteAbi.h"

namespace zeph::platform::pcsclite {

class PcScLiteContext {
  public:
    // How often Cancel repeats SCardCancel on a wait that has not returned yet: a cancel that
    // lands before pcsc-lite has started to block is lost, the next one is not.
    static constexpr std::chrono::milliseconds kCancelRepeat{5};

    PcScLiteContext(const LiteFunctions& lite, LiteContext cardContext);
    PcScLiteContext(const PcScLiteContext&) = delete;
    PcScLiteContext& operator=(const PcScLiteContext&) = delete;

    // The pcsc-lite context for card operations and reader lists.
    LiteContext CardContext() const { return m_cardContext; }

    // Called with the result of every call made for this context. After a restart of pcscd an
    // old pcsc-lite context answers SCARD_E_NO_SERVICE for ever while pcsc-lite still calls it
    // valid; from the first such answer (or a broken link to pcscd) on the context counts as
    // invalid.
    void NoteResult(uint32_t result);
    bool ServiceLost() const { return m_serviceLost.load(std::memory_order_relaxed); }

    // Ends every wait open now and returns once each of them has returned.
    void CancelWaits();
    // Ends every wait and waits for every call in flight, then releases all pcsc-lite contexts;
    // a wait or call that starts later fails at once. Returns the result of releasing the card
    // context.
    uint32_t Release();

    // How many waits are open now (for tests that must know a wait has begun).
    size_t OpenWaitCount() const;

  private:
    friend class PcScLiteWait;
    friend class PcScLiteCall;

    // For PcScLiteCall: SCARD_E_INVALID_HANDLE once Release has begun, otherwise the call counts
    // as in flight until EndCall.
    uint32_t BeginCall();
    void EndCall();
    void AwaitCallsEnded();

    struct Waiter {
        LiteContext lite = 0;
        bool cancelRequested = false;
    };

    // For PcScLiteWait: a pcsc-lite context of its own, registered under a new id.
    uint32_t Register(uint64_t* id, LiteContext* lite);
    // The wait has returned; its pcsc-lite context goes back to the pool or, when it is not fit
    // for reuse, is released.
    void Unregister(uint64_t id, LiteContext lite, bool reusable);
    bool CancelRequested(uint64_t id) const;

    bool TakeFromPool(LiteContext* lite);
    void EndWaits(std::unique_lock<std::mutex>& lock, std::vector<uint64_t> ids);
    std::vector<uint64_t> OpenWaitIds() const;

    const LiteFunctions& m_lite;
    const LiteContext m_cardContext;
    std::atomic<bool> m_serviceLost{false};

    mutable std::mutex m_mutex;
    std::condition_variable m_waiterLeft;
    std::map<uint64_t, Waiter> m_waiters;
    std::vector<LiteContext> m_pool;
    uint64_t m_nextWaiterId = 1;
    bool m_released = false;

    // Calls in flight, under a lock of their own: ending a call never waits behind a Cancel.
    std::mutex m_callMutex;
    std::condition_variable m_callEnded;
    size_t m_callsInFlight = 0;
    bool m_callsRefused = false;
};

}  // namespace zeph::platform::pcsclite
