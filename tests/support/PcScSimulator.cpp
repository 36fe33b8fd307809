#include "PcScSimulator.h"

#include <algorithm>

using sim::JournalEntry;

PcScSimulator::PcScSimulator() : m_elsewhere(Establish()) {}

uint32_t PcScSimulator::EstablishContext(uint32_t /*scope*/, ScardContext* context) {
    return Perform({.call = Call::EstablishContext}, [&](Lock&, JournalEntry& entry) {
        *context = Establish();
        entry.context = *context;
        return SCARD_S_SUCCESS;
    });
}

uint32_t PcScSimulator::ReleaseContext(ScardContext context) {
    return Perform({.call = Call::ReleaseContext, .context = context}, [&](auto&&...) {
        if (context == m_elsewhere || m_contexts.erase(context) == 0) {
            return SCARD_E_INVALID_HANDLE;
        }
        m_memory.ReleaseContext(context);
        if (m_deadContexts.erase(context) == 1) {
            return SCARD_E_SERVICE_STOPPED;
        }
        m_connections.CloseContext(context);
        Changed();
        return SCARD_S_SUCCESS;
    });
}

uint32_t PcScSimulator::IsValidContext(ScardContext context) {
    return Perform({.call = Call::IsValidContext, .context = context}, [&](auto&&...) {
        return m_contexts.contains(context) ? SCARD_S_SUCCESS : SCARD_E_INVALID_HANDLE;
    });
}

uint32_t PcScSimulator::Cancel(ScardContext context) {
    return Perform({.call = Call::Cancel, .context = context}, [&](auto&&...) {
        const auto found = m_contexts.find(context);
        if (found == m_contexts.end()) {
            return SCARD_E_INVALID_HANDLE;
        }
        ++found->second;
        Changed();
        return SCARD_S_SUCCESS;
    });
}

uint32_t PcScSimulator::ListReaders(ScardContext context, const char16_t* /*groups*/,
                                    PcScMemory& readers) {
    readers.Reset();
    return Perform({.call = Call::ListReaders, .context = context}, [&](auto&&...) {
        if (context != 0 && !m_contexts.contains(context)) {
            return SCARD_E_INVALID_HANDLE;
        }
        if (m_readers.empty()) {
            return SCARD_E_NO_READERS_AVAILABLE;
        }
        std::u16string names;
        for (const sim::SimReader& reader : m_readers) {
            names += reader.name + u'\0';
        }
        Hand(readers, context, names + u'\0');
        return SCARD_S_SUCCESS;
    });
}

uint32_t PcScSimulator::GetCardTypeProviderName(ScardContext context, const char16_t* cardName,
                                                uint32_t providerId, PcScMemory& provider) {
    provider.Reset();
    return Perform({.call = Call::GetCardTypeProviderName, .context = context}, [&](auto&&...) {
        if (context != 0 && !m_contexts.contains(context)) {
            return SCARD_E_INVALID_HANDLE;
        }
        const auto found = m_providers.find({cardName, providerId});
        if (found == m_providers.end()) {
            return ERROR_FILE_NOT_FOUND_RESULT;
        }
        Hand(provider, context, found->second + u'\0');
        return SCARD_S_SUCCESS;
    });
}

uint32_t PcScSimulator::FreeMemory(ScardContext context, const void* memory) {
    return Perform({.call = Call::FreeMemory, .context = context}, [&](auto&&...) {
        return m_memory.Free(memory) ? SCARD_S_SUCCESS : SCARD_E_INVALID_PARAMETER;
    });
}

void PcScSimulator::Hand(PcScMemory& holder, ScardContext context, const std::u16string& text) {
    holder.Adopt(this, context, m_memory.Allocate(context, text),
                 static_cast<uint32_t>(text.size()));
}

void PcScSimulator::SetCardTypeProvider(const std::u16string& cardName, uint32_t providerId,
                                        const std::u16string& provider) {
    Locked([&] { m_providers[{cardName, providerId}] = provider; });
}

std::optional<uint32_t> PcScSimulator::Refusal(const JournalEntry& call) const {
    // Memory and the smart card database need no running service; a release lets the
    // application forget a context whatever became of it.
    if (call.call == Call::FreeMemory || call.call == Call::GetCardTypeProviderName ||
        call.call == Call::ReleaseContext) {
        return std::nullopt;
    }
    if (m_deadContexts.contains(call.context) || m_deadCards.contains(call.card)) {
        return SCARD_E_SERVICE_STOPPED;
    }
    if (!m_running && (call.call == Call::EstablishContext || call.context == 0) &&
        call.card == 0) {
        return SCARD_E_NO_SERVICE;
    }
    return std::nullopt;
}

void PcScSimulator::InjectResults(Call call, const std::vector<uint32_t>& results) {
    Locked([&] { m_faults[call].insert(m_faults[call].end(), results.begin(), results.end()); });
}

std::vector<JournalEntry> PcScSimulator::Journal(Call call) const {
    std::vector<JournalEntry> found = Journal();
    std::erase_if(found, [call](const JournalEntry& e) { return e.call != call; });
    return found;
}

size_t PcScSimulator::OpenConnections() const {
    return Locked([&] {
        return static_cast<size_t>(std::count_if(
            m_connections.All().begin(), m_connections.All().end(),
            [this](const auto& entry) { return entry.second.context != m_elsewhere; }));
    });
}
