#include "pcsc/pcsclite/PcScLiteStatusChange.h"

#include <algorithm>
#include <cstring>

#include "pcsc/PcScConstants.h"
#include "platform/TextConversion.h"
#include "pcsc/pcsclite/PcScLiteConversion.h"
#include "pcsc/pcsclite/PcScLiteReaderList.h"

namespace zeph::platform::pcsclite {
namespace {

// Readers may vanish again between the list and the next attempt; this many attempts are made.
constexpr int kUnknownReaderAttempts = 3;
constexpr uint32_t kUnknownReaderEvent =
    SCARD_STATE_UNKNOWN | SCARD_STATE_CHANGED | SCARD_STATE_IGNORE;

uint32_t ReaderCountOf(uint32_t state) {
    return state >> 16;
}

}  // namespace

PcScLiteStatusChange::PcScLiteStatusChange(const LiteFunctions& lite, PcScLiteWait& wait)
    : m_lite(lite), m_wait(wait) {}

uint32_t PcScLiteStatusChange::Run(uint32_t timeoutMs, PcScReaderState* states, uint32_t count) {
    if (count > 0 && states == nullptr) {
        return SCARD_E_INVALID_PARAMETER;
    }
    bool immediate = false;
    uint32_t result = Prepare(states, count);
    if (result == SCARD_S_SUCCESS) {
        result = ComparePnPCount(states, &immediate);
    }
    if (result == SCARD_S_SUCCESS) {
        result = WaitForChange(timeoutMs, states, &immediate);
    }
    if (result != SCARD_S_SUCCESS && result != SCARD_E_TIMEOUT) {
        return result;
    }
    CopyResults(states);
    return m_pnpIndex < 0 ? result : ReportPnP(states[m_pnpIndex], result);
}

uint32_t PcScLiteStatusChange::ComparePnPCount(const PcScReaderState* states, bool* immediate) {
    if (m_pnpIndex < 0) {
        return SCARD_S_SUCCESS;
    }
    m_callerCount = ReaderCountOf(states[m_pnpIndex].dwCurrentState);
    std::vector<std::string> names;
    const uint32_t result = ListReaderNames(&names);
    *immediate = names.size() != m_callerCount;
    return result;
}

uint32_t PcScLiteStatusChange::Prepare(const PcScReaderState* states, uint32_t count) {
    m_entries.assign(count, Entry{});
    for (uint32_t i = 0; i < count; ++i) {
        if (states[i].szReader == nullptr) {
            return SCARD_E_INVALID_VALUE;
        }
        Entry& entry = m_entries[i];
        entry.name = WideToNarrow(states[i].szReader);
        entry.pnp = m_pnpIndex < 0 && IsPnPNotificationName(entry.name);
        entry.ignored = !entry.pnp && (states[i].dwCurrentState & SCARD_STATE_IGNORE) != 0;
        if (entry.pnp) {
            m_pnpIndex = static_cast<int>(i);
        }
    }
    return SCARD_S_SUCCESS;
}

uint32_t PcScLiteStatusChange::WaitForChange(uint32_t timeoutMs, PcScReaderState* states,
                                             bool* immediate) {
    for (int attempt = 0;; ++attempt) {
        if (m_wait.CancelRequested()) {
            return SCARD_E_CANCELLED;
        }
        uint32_t result = CallLite(*immediate ? 0 : timeoutMs, states);
        if (result == SCARD_E_UNKNOWN_READER && attempt < kUnknownReaderAttempts) {
            bool marked = false;
            result = MarkUnknownReaders(&marked);
            if (result != SCARD_S_SUCCESS) {
                return result;
            }
            *immediate = *immediate || marked;
            continue;
        }
        if (*immediate && result == SCARD_E_TIMEOUT) {
            result = SCARD_S_SUCCESS;
        }
        return result;
    }
}

uint32_t PcScLiteStatusChange::CallLite(uint32_t timeoutMs, const PcScReaderState* states) {
    m_liteStates.clear();
    m_liteEntry.clear();
    const bool readersFillTheCall = ReadersToWaitOn() >= kLiteMaxReaders;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& entry = m_entries[i];
        if (entry.ignored || entry.unknown || (entry.pnp && readersFillTheCall)) {
            continue;
        }
        LiteReaderState lite{};
        lite.szReader = entry.name.c_str();
        lite.pvUserData = states[i].pvUserData;
        // pcsc-lite must not read the reader count of the PnP entry as its own event counter.
        lite.dwCurrentState = entry.pnp ? SCARD_STATE_UNAWARE : states[i].dwCurrentState;
        m_liteStates.push_back(lite);
        m_liteEntry.push_back(i);
    }
    if (m_liteStates.empty()) {
        return SCARD_S_SUCCESS;
    }
    const uint32_t result = ToWinResult(m_lite.getStatusChange(
        m_wait.Lite(), timeoutMs, m_liteStates.data(), static_cast<Dword>(m_liteStates.size())));
    m_wait.NoteResult(result);
    return result;
}

// pcsc-lite takes at most as many entries as it knows readers. When the real readers fill that,
// the PnP entry stays out of the call: no further reader can arrive then, and a reader that goes
// changes its own entry.
size_t PcScLiteStatusChange::ReadersToWaitOn() const {
    size_t readers = 0;
    for (const Entry& entry : m_entries) {
        readers += (entry.pnp || entry.ignored || entry.unknown) ? 0 : 1;
    }
    return readers;
}

uint32_t PcScLiteStatusChange::MarkUnknownReaders(bool* marked) {
    std::vector<std::string> names;
    const uint32_t result = ListReaderNames(&names);
    if (result != SCARD_S_SUCCESS) {
        return result;
    }
    for (Entry& entry : m_entries) {
        if (entry.pnp || entry.ignored || entry.unknown) {
            continue;
        }
        if (std::find(names.begin(), names.end(), entry.name) == names.end()) {
            entry.unknown = true;
            *marked = true;
        }
    }
    return SCARD_S_SUCCESS;
}

uint32_t PcScLiteStatusChange::ListReaderNames(std::vector<std::string>* names) {
    const uint32_t result = ListLiteReaders(m_lite, m_wait.Lite(), names);
    m_wait.NoteResult(result);
    return result == SCARD_E_NO_READERS_AVAILABLE ? SCARD_S_SUCCESS : result;
}

void PcScLiteStatusChange::CopyResults(PcScReaderState* states) const {
    for (size_t k = 0; k < m_liteStates.size(); ++k) {
        const size_t i = m_liteEntry[k];
        if (m_entries[i].pnp) {
            continue;
        }
        const LiteReaderState& lite = m_liteStates[k];
        PcScReaderState& out = states[i];
        out.dwEventState = static_cast<uint32_t>(lite.dwEventState);
        if ((out.dwEventState & SCARD_STATE_UNKNOWN) != 0) {
            out.dwEventState = kUnknownReaderEvent;
        }
        out.cbAtr = static_cast<uint32_t>(std::min<Dword>(lite.cbAtr, kLiteAtrCapacity));
        std::memcpy(out.rgbAtr, lite.rgbAtr, out.cbAtr);
    }
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].unknown) {
            states[i].dwEventState = kUnknownReaderEvent;
            states[i].cbAtr = 0;
        }
    }
}

// The real reader count in bits 16 and up, SCARD_STATE_CHANGED when it differs from the caller's
// or pcsc-lite saw readers come or go; such a change makes the call a success.
uint32_t PcScLiteStatusChange::ReportPnP(PcScReaderState& pnp, uint32_t result) {
    std::vector<std::string> names;
    const uint32_t listed = ListReaderNames(&names);
    if (listed != SCARD_S_SUCCESS) {
        return listed;
    }
    bool liteChanged = false;
    for (size_t k = 0; k < m_liteStates.size(); ++k) {
        if (m_liteEntry[k] == static_cast<size_t>(m_pnpIndex)) {
            liteChanged = (m_liteStates[k].dwEventState & SCARD_STATE_CHANGED) != 0;
        }
    }
    const auto readerCount = static_cast<uint32_t>(names.size());
    const bool changed = liteChanged || readerCount != m_callerCount;
    pnp.dwEventState = (readerCount << 16) | (changed ? SCARD_STATE_CHANGED : 0);
    pnp.cbAtr = 0;
    return changed ? SCARD_S_SUCCESS : result;
}

}  // namespace zeph::platform::pcsclite
