#include "pcsc/pcsclite/PcScLiteContext.h"
#include "pcsc/pcsclite/PcScLiteClientLock.h"

#include "pcsc/PcScConstants.h"
#include "pcsc/pcsclite/PcScLiteConversion.h"

namespace zeph::platform::pcsclite {

PcScLiteContext::PcScLiteContext(const LiteFunctions& lite, LiteContext cardContext)
    : m_lite(lite), m_cardContext(cardContext) {}

void PcScLiteContext::NoteResult(uint32_t result) {
    // A wait that is blocked when pcscd goes away ends with SCARD_F_COMM_ERROR: the link to the
    // service broke.
    if (result == SCARD_E_NO_SERVICE || result == SCARD_E_SERVICE_STOPPED ||
        result == SCARD_F_COMM_ERROR) {
        m_serviceLost.store(true, std::memory_order_relaxed);
    }
}

void PcScLiteContext::CancelWaits() {
    std::unique_lock lock(m_mutex);
    EndWaits(lock, OpenWaitIds());
}

uint32_t PcScLiteContext::Release() {
    {
        std::lock_guard calls(m_callMutex);
        m_callsRefused = true;
    }
    std::unique_lock lock(m_mutex);
    m_released = true;
    EndWaits(lock, OpenWaitIds());
    std::vector<LiteContext> pool;
    pool.swap(m_pool);
    lock.unlock();
    AwaitCallsEnded();
    for (LiteContext lite : pool) {
        ChangingHandleLists([&] { return m_lite.releaseContext(lite); });
    }
    return ToWinResult(ChangingHandleLists([&] { return m_lite.releaseContext(m_cardContext); }));
}

uint32_t PcScLiteContext::BeginCall() {
    std::lock_guard lock(m_callMutex);
    if (m_callsRefused) {
        return SCARD_E_INVALID_HANDLE;
    }
    ++m_callsInFlight;
    return SCARD_S_SUCCESS;
}

void PcScLiteContext::EndCall() {
    {
        std::lock_guard lock(m_callMutex);
        --m_callsInFlight;
    }
    m_callEnded.notify_all();
}

void PcScLiteContext::AwaitCallsEnded() {
    std::unique_lock lock(m_callMutex);
    m_callEnded.wait(lock, [this] { return m_callsInFlight == 0; });
}

size_t PcScLiteContext::OpenWaitCount() const {
    std::lock_guard lock(m_mutex);
    return m_waiters.size();
}

uint32_t PcScLiteContext::Register(uint64_t* id, LiteContext* lite) {
    std::unique_lock lock(m_mutex);
    if (m_released) {
        return SCARD_E_INVALID_HANDLE;
    }
    if (!TakeFromPool(lite)) {
        lock.unlock();
        const uint32_t result = ToWinResult(ChangingHandleLists(
            [&] { return m_lite.establishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, lite); }));
        NoteResult(result);
        if (result != SCARD_S_SUCCESS) {
            return result;
        }
        lock.lock();
        if (m_released) {
            lock.unlock();
            ChangingHandleLists([&] { return m_lite.releaseContext(*lite); });
            return SCARD_E_INVALID_HANDLE;
        }
    }
    *id = m_nextWaiterId++;
    m_waiters.emplace(*id, Waiter{*lite, false});
    return SCARD_S_SUCCESS;
}

void PcScLiteContext::Unregister(uint64_t id, LiteContext lite, bool reusable) {
    {
        std::lock_guard lock(m_mutex);
        m_waiters.erase(id);
        if (reusable) {
            m_pool.push_back(lite);
        }
    }
    m_waiterLeft.notify_all();
    if (!reusable) {
        ChangingHandleLists([&] { return m_lite.releaseContext(lite); });
    }
}

bool PcScLiteContext::CancelRequested(uint64_t id) const {
    std::lock_guard lock(m_mutex);
    auto found = m_waiters.find(id);
    return found != m_waiters.end() && found->second.cancelRequested;
}

bool PcScLiteContext::TakeFromPool(LiteContext* lite) {
    if (m_pool.empty()) {
        return false;
    }
    *lite = m_pool.back();
    m_pool.pop_back();
    return true;
}

// SCardCancel is issued with the lock held, so it reaches only a wait that is still registered:
// the pcsc-lite context cannot pass to a later wait in the meantime.
void PcScLiteContext::EndWaits(std::unique_lock<std::mutex>& lock, std::vector<uint64_t> ids) {
    for (uint64_t id : ids) {
        m_waiters.at(id).cancelRequested = true;
    }
    for (;;) {
        std::erase_if(ids, [this](uint64_t id) { return !m_waiters.contains(id); });
        if (ids.empty()) {
            return;
        }
        for (uint64_t id : ids) {
            m_lite.cancel(m_waiters.at(id).lite);
        }
        m_waiterLeft.wait_for(lock, kCancelRepeat);
    }
}

std::vector<uint64_t> PcScLiteContext::OpenWaitIds() const {
    std::vector<uint64_t> ids;
    ids.reserve(m_waiters.size());
    for (const auto& [id, waiter] : m_waiters) {
        ids.push_back(id);
    }
    return ids;
}

}  // namespace zeph::platform::pcsclite
