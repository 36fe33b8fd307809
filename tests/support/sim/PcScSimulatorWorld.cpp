// The simulator's world: readers, cards and another application's connections.
#include <utility>

#include "PcScSimulator.h"

bool PcScSimulator::AddReader(const std::u16string& name) {
    const std::lock_guard lock(m_mutex);
    if (sim::FindReader(m_readers, name) != nullptr) {
        return false;
    }
    m_readers.emplace_back().name = name;
    Changed();
    return true;
}

bool PcScSimulator::RemoveReader(const std::u16string& name) {
    const std::lock_guard lock(m_mutex);
    m_connections.Warn(name, sim::HandleWarning::ReaderGone);
    Changed();
    return std::erase_if(m_readers, [&](const auto& r) { return r.name == name; }) == 1;
}

void PcScSimulator::StopService() {
    const std::lock_guard lock(m_mutex);
    m_running = false;
    for (const auto& [card, connection] : m_connections.All()) {
        if (connection.context != m_elsewhere) {
            m_deadCards.insert(card);
        }
    }
    for (const auto& [context, cancels] : m_contexts) {
        if (context != m_elsewhere) {
            m_deadContexts.insert(context);
            m_connections.CloseContext(context);
        }
    }
    Changed();
}

template <typename Change>
bool PcScSimulator::ChangeReader(const std::u16string& name, Change&& change) {
    const std::lock_guard lock(m_mutex);
    sim::SimReader* reader = sim::FindReader(m_readers, name);
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
        m_connections.Warn(found.name, sim::HandleWarning::Removed);
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
    return OpenConnection(m_elsewhere, reader, SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1, card,
                          protocol);
}

bool PcScSimulator::ReleaseHeld(const std::u16string& reader) {
    const std::lock_guard lock(m_mutex);
    Changed();
    return m_connections.CloseContext(m_elsewhere, reader) != 0;
}
