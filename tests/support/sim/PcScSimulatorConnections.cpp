// The simulator's connections: connect, reconnect, disconnect and the sharing rules they obey.
#include "PcScSimulator.h"

using sim::JournalEntry;

namespace {

// Whether the reader takes a connection in this mode beside the connections it has (but `self`,
// a handle that is reconnecting), and the protocol negotiated: T=1 when the caller offers it and
// a card is in, 0 otherwise.
uint32_t Admit(const sim::ConnectionTable& connections, const sim::SimReader& reader,
               uint32_t shareMode, uint32_t preferred, ScardHandle self, uint32_t& negotiated) {
    if (shareMode != SCARD_SHARE_DIRECT && !reader.card) {
        return SCARD_W_REMOVED_CARD;
    }
    for (const auto& [handle, other] : connections.All()) {
        if (handle != self && other.readerName == reader.name && other.Live() &&
            (sim::Alone(shareMode) || sim::Alone(other.shareMode))) {
            return SCARD_E_SHARING_VIOLATION;
        }
    }
    negotiated = reader.card ? preferred & SCARD_PROTOCOL_T1 : SCARD_PROTOCOL_UNDEFINED;
    return shareMode != SCARD_SHARE_DIRECT && negotiated == SCARD_PROTOCOL_UNDEFINED
               ? SCARD_E_PROTO_MISMATCH
               : SCARD_S_SUCCESS;
}

}  // namespace

uint32_t PcScSimulator::Connect(ScardContext context, const char16_t* reader, uint32_t shareMode,
                                uint32_t preferredProtocols, ScardHandle* card,
                                uint32_t* activeProtocol) {
    const JournalEntry entry{.call = Call::Connect, .context = context, .shareMode = shareMode};
    return Perform(entry, [&](Lock&, JournalEntry& journaled) {
        const uint32_t result =
            OpenConnection(context, reader, shareMode, preferredProtocols, *card, *activeProtocol);
        journaled.card = result == SCARD_S_SUCCESS ? *card : 0;
        return result;
    });
}

uint32_t PcScSimulator::OpenConnection(ScardContext context, std::u16string_view readerName,
                                       uint32_t shareMode, uint32_t preferred, ScardHandle& card,
                                       uint32_t& protocol) {
    if (!m_contexts.contains(context)) {
        return SCARD_E_INVALID_HANDLE;
    }
    const sim::SimReader* reader = sim::FindReader(m_readers, readerName);
    if (reader == nullptr) {
        return SCARD_E_UNKNOWN_READER;
    }
    uint32_t negotiated = 0;
    if (const uint32_t refused = Admit(m_connections, *reader, shareMode, preferred, 0, negotiated);
        refused != SCARD_S_SUCCESS) {
        return refused;
    }
    card = m_connections.Open({.context = context,
                               .readerName = reader->name,
                               .shareMode = shareMode,
                               .protocol = negotiated});
    protocol = negotiated;
    Changed();
    return SCARD_S_SUCCESS;
}

uint32_t PcScSimulator::Reconnect(ScardHandle card, uint32_t shareMode, uint32_t preferredProtocols,
                                  uint32_t initialization, uint32_t* activeProtocol) {
    const JournalEntry entry{.call = Call::Reconnect,
                             .card = card,
                             .shareMode = shareMode,
                             .disposition = initialization};
    return Perform(entry, [&](auto&&...) {
        sim::SimConnection* connection = m_connections.Find(card);
        if (connection == nullptr) {
            return SCARD_E_INVALID_HANDLE;
        }
        if (connection->warning == sim::HandleWarning::ReaderGone) {
            return SCARD_E_READER_UNAVAILABLE;
        }
        sim::SimReader& reader = *sim::FindReader(m_readers, connection->readerName);
        uint32_t negotiated = 0;
        if (const uint32_t refused =
                Admit(m_connections, reader, shareMode, preferredProtocols, card, negotiated);
            refused != SCARD_S_SUCCESS) {
            return refused;
        }
        if (initialization != SCARD_LEAVE_CARD && reader.card) {
            ResetCardIn(reader, card);
        }
        connection->shareMode = shareMode;
        connection->protocol = negotiated;
        connection->warning = sim::HandleWarning::None;
        if (activeProtocol != nullptr) {
            *activeProtocol = negotiated;
        }
        Changed();
        return SCARD_S_SUCCESS;
    });
}

uint32_t PcScSimulator::Disconnect(ScardHandle card, uint32_t disposition) {
    const JournalEntry entry{.call = Call::Disconnect, .card = card, .disposition = disposition};
    return Perform(entry, [&](auto&&...) {
        const sim::SimConnection* connection = m_connections.Find(card);
        if (connection == nullptr) {
            return SCARD_E_INVALID_HANDLE;
        }
        if (connection->Live() && disposition != SCARD_LEAVE_CARD) {
            sim::SimReader& reader = *sim::FindReader(m_readers, connection->readerName);
            if (reader.card) {
                ResetCardIn(reader, card);
            }
        }
        m_connections.Close(card);
        Changed();
        return SCARD_S_SUCCESS;
    });
}

void PcScSimulator::ResetCardIn(sim::SimReader& reader, ScardHandle except) {
    reader.card->responder.Reset();
    m_connections.Warn(reader.name, sim::HandleWarning::Reset, except);
}
