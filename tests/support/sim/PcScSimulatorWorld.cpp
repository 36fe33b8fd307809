// The simulator's world: readers, cards and another application's connections.
#include <utility>

#include "PcScSimulator.h"

bool PcScSimulator::AddReader(const std::u16string& name) {
    const std::lock_guard lock(m_mutex);
    if (m_readers.Add(name) == nullptr) {
        return false;
    }
    Changed();
    return true;
}

bool PcScSimulator::RemoveReader(const std::u16string& name) {
    const std::lock_guard lock(m_mutex);
    const sim::SimReader* reader = m_readers.Find(name);
    if (reader == nullptr) {
        return false;
    }
    m_connections.Warn(reader->id, sim::HandleWarning::ReaderGone);
    m_readers.Remove(name);
    Changed();
    return true;
}

template <typename Change>
bool PcScSimulator::ChangeReader(const std::u16string& name, Change&& change) {
    const std::lock_guard lock(m_mutex);
    sim::SimReader* reader = m_readers.Find(name);
    if (reader == nullptr || !change(*reader)) {
        return false;
    }
    Changed();
    return true;
}

bool PcScSimulator::InsertCard(const std::u16string& reader, std::vector<uint8_t> atr) {
    return ChangeReader(reader, [&](sim::SimReader& found) {
        if (found.card) {
            return false;
        }
        found.card = sim::SimCard{.atr = std::move(atr)};
        ++found.eventCount;
        return true;
    });
}

bool PcScSimulator::RemoveCard(const std::u16string& reader) {
    return ChangeReader(reader, [&](sim::SimReader& found) {
        if (!found.card) {
            return false;
        }
        found.card.reset();
        ++found.eventCount;
        m_connections.Warn(found.id, sim::HandleWarning::Removed);
        return true;
    });
}

bool PcScSimulator::SetAttribute(const std::u16string& reader, uint32_t id,
                                 std::vector<uint8_t> value) {
    return ChangeReader(reader, [&](sim::SimReader& found) {
        found.attributes[id] = std::move(value);
        return true;
    });
}

bool PcScSimulator::SetControlResponder(const std::u16string& reader,
                                        sim::ControlResponder responder) {
    return ChangeReader(reader, [&](sim::SimReader& found) {
        found.control = std::move(responder);
        return true;
    });
}

uint32_t PcScSimulator::HoldExclusively(const std::u16string& reader) {
    const std::lock_guard lock(m_mutex);
    ScardHandle card = 0;
    uint32_t protocol = 0;
    const uint32_t result = OpenConnection(m_elsewhere, reader, SCARD_SHARE_EXCLUSIVE,
                                           SCARD_PROTOCOL_T1, card, protocol);
    if (result == SCARD_S_SUCCESS) {
        m_held[reader].push_back(card);
    }
    return result;
}

bool PcScSimulator::ReleaseHeld(const std::u16string& reader, uint32_t disposition) {
    const std::lock_guard lock(m_mutex);
    const auto found = m_held.find(reader);
    if (found == m_held.end()) {
        return false;
    }
    for (const ScardHandle card : found->second) {
        DisconnectLocked(card, disposition);
    }
    m_held.erase(found);
    return true;
}
