#include "sim/ConnectionTable.h"

#include <iterator>

#include "pcsc/PcScConstants.h"

namespace sim {

namespace {

bool Alone(uint32_t shareMode) {
    return shareMode == SCARD_SHARE_EXCLUSIVE || shareMode == SCARD_SHARE_DIRECT;
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

void ConnectionTable::Close(ScardHandle handle) {
    m_connections.erase(handle);
}

void ConnectionTable::CloseContext(ScardContext context) {
    std::erase_if(m_connections,
                  [context](const auto& entry) { return entry.second.context == context; });
}

uint32_t ConnectionTable::Admit(uint64_t readerId, uint32_t shareMode, ScardHandle self) const {
    for (const auto& [handle, other] : m_connections) {
        if (handle == self || other.readerId != readerId || !other.Live()) {
            continue;
        }
        if (Alone(shareMode) || Alone(other.shareMode)) {
            return SCARD_E_SHARING_VIOLATION;
        }
    }
    return SCARD_S_SUCCESS;
}

uint32_t ConnectionTable::SharingState(uint64_t readerId) const {
    uint32_t state = 0;
    for (const auto& [handle, other] : m_connections) {
        if (other.readerId != readerId || !other.Live()) {
            continue;
        }
        state |= Alone(other.shareMode) ? SCARD_STATE_EXCLUSIVE : SCARD_STATE_INUSE;
    }
    return state;
}

void ConnectionTable::WarnCardRemoved(uint64_t readerId) {
    for (auto& [handle, connection] : m_connections) {
        if (connection.readerId == readerId && connection.Live() &&
            connection.shareMode != SCARD_SHARE_DIRECT) {
            connection.warning = HandleWarning::Removed;
        }
    }
}

void ConnectionTable::WarnReaderGone(uint64_t readerId) {
    for (auto& [handle, connection] : m_connections) {
        if (connection.readerId == readerId) {
            connection.warning = HandleWarning::ReaderGone;
        }
    }
}

void ConnectionTable::WarnCardReset(uint64_t readerId, ScardHandle except) {
    for (auto& [handle, connection] : m_connections) {
        if (handle != except && connection.readerId == readerId && connection.Live() &&
            connection.shareMode != SCARD_SHARE_DIRECT) {
            connection.warning = HandleWarning::Reset;
        }
    }
}

}  // namespace sim
