#include "sim/SimWorld.h"

#include <algorithm>

namespace sim {

namespace {

bool Alone(uint32_t shareMode) {
    return shareMode == SCARD_SHARE_EXCLUSIVE || shareMode == SCARD_SHARE_DIRECT;
}

constexpr uint32_t kReportedBits = SCARD_STATE_UNKNOWN | SCARD_STATE_EMPTY | SCARD_STATE_PRESENT |
                                   SCARD_STATE_EXCLUSIVE | SCARD_STATE_INUSE;

uint32_t CountOf(uint32_t state) {
    return state >> 16;
}

}  // namespace

ScardHandle ConnectionTable::Open(SimConnection connection) {
    const ScardHandle handle = m_nextHandle++;
    m_connections.emplace(handle, std::move(connection));
    return handle;
}

SimConnection* ConnectionTable::Find(ScardHandle handle) {
    const auto found = m_connections.find(handle);
    return found == m_connections.end() ? nullptr : &found->second;
}

void ConnectionTable::CloseContext(ScardContext context) {
    std::erase_if(m_connections, [context](const auto& e) { return e.second.context == context; });
}

uint32_t ConnectionTable::Admit(std::u16string_view reader, uint32_t shareMode,
                                ScardHandle self) const {
    for (const auto& [handle, other] : m_connections) {
        if (handle != self && other.readerName == reader && other.Live() &&
            (Alone(shareMode) || Alone(other.shareMode))) {
            return SCARD_E_SHARING_VIOLATION;
        }
    }
    return SCARD_S_SUCCESS;
}

uint32_t ConnectionTable::SharingState(std::u16string_view reader) const {
    uint32_t state = 0;
    for (const auto& [handle, other] : m_connections) {
        if (other.readerName == reader && other.Live()) {
            state |= Alone(other.shareMode) ? SCARD_STATE_EXCLUSIVE : SCARD_STATE_INUSE;
        }
    }
    return state;
}

void ConnectionTable::Warn(std::u16string_view reader, HandleWarning warning, ScardHandle except) {
    for (auto& [handle, connection] : m_connections) {
        if (connection.readerName == reader && (warning == HandleWarning::ReaderGone ||
                                                (handle != except && connection.Live() &&
                                                 connection.shareMode != SCARD_SHARE_DIRECT))) {
            connection.warning = warning;
        }
    }
}

const char16_t* MemoryLedger::Allocate(ScardContext context, const std::u16string& text) {
    auto block = std::make_unique<char16_t[]>(text.size());
    std::copy(text.begin(), text.end(), block.get());
    const char16_t* address = block.get();
    m_blocks.emplace(address, Block{context, std::move(block)});
    return address;
}

bool MemoryLedger::Free(const void* block) {
    const bool known = m_blocks.erase(block) == 1;
    m_invalidFrees += known ? 0 : 1;
    return known;
}

void MemoryLedger::ReleaseContext(ScardContext context) {
    std::erase_if(m_blocks,
                  [context](const auto& e) { return context != 0 && e.second.context == context; });
}

void ServiceState::Stop(const std::map<ScardContext, uint64_t>& contexts,
                        ConnectionTable& connections, ScardContext survivor) {
    m_running = false;
    for (const auto& [card, connection] : connections.All()) {
        if (connection.context != survivor) {
            m_deadCards.insert(card);
        }
    }
    for (const auto& [context, cancels] : contexts) {
        if (context != survivor) {
            m_deadContexts.insert(context);
            connections.CloseContext(context);
        }
    }
}

std::optional<uint32_t> ServiceState::Refusal(Call call, ScardContext context,
                                              ScardHandle card) const {
    if (call == Call::FreeMemory || call == Call::GetCardTypeProviderName ||
        call == Call::ReleaseContext) {
        // Memory and the smart card database need no running service; a release lets the
        // application forget a context whatever became of it.
        return std::nullopt;
    }
    if (m_deadContexts.contains(context) || m_deadCards.contains(card)) {
        return SCARD_E_SERVICE_STOPPED;
    }
    if (!m_running && (call == Call::EstablishContext || context == 0) && card == 0) {
        return SCARD_E_NO_SERVICE;
    }
    return std::nullopt;
}

uint32_t ReaderState(const SimReader& reader, const ConnectionTable& connections) {
    const uint32_t bits = reader.card ? SCARD_STATE_PRESENT | connections.SharingState(reader.name)
                                      : SCARD_STATE_EMPTY;
    return static_cast<uint32_t>(reader.eventCount) << 16 | bits;
}

bool UpdateEntry(PcScReaderState& entry, const Readers& readers,
                 const ConnectionTable& connections) {
    const uint32_t current = entry.dwCurrentState;
    if ((current & SCARD_STATE_IGNORE) != 0) {
        return false;
    }
    const std::u16string_view name = entry.szReader != nullptr ? entry.szReader : u"";
    bool changed = false;
    uint32_t state = 0;
    const SimReader* reader = FindReader(readers, name);
    entry.cbAtr = 0;
    if (name == kPnPNotificationReader) {
        state = static_cast<uint32_t>(readers.size()) << 16;
        changed = CountOf(current) != CountOf(state);
    } else if (reader == nullptr) {
        state = SCARD_STATE_UNKNOWN | SCARD_STATE_IGNORE;
        changed = (current & SCARD_STATE_UNKNOWN) == 0;
    } else {
        state = ReaderState(*reader, connections);
        changed = (current & kReportedBits) != (state & kReportedBits) ||
                  (CountOf(current) != 0 && CountOf(current) != CountOf(state));
        if (reader->card) {
            const size_t length = std::min<size_t>(reader->card->atr.size(), SCARD_ATR_CAPACITY);
            std::copy_n(reader->card->atr.begin(), length, entry.rgbAtr);
            entry.cbAtr = static_cast<uint32_t>(length);
        }
    }
    entry.dwEventState = state | (changed ? SCARD_STATE_CHANGED : 0);
    return changed;
}

}  // namespace sim
