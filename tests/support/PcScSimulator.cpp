#include "PcScSimulator.h"

#include <algorithm>

using sim::JournalEntry;

PcScSimulator::PcScSimulator() : m_elsewhere(m_contexts.Establish()) {}

uint32_t PcScSimulator::EstablishContext(uint32_t /*scope*/, ScardContext* context) {
    return Perform(JournalEntry{.call = Call::EstablishContext}, [&](Lock&, JournalEntry& entry) {
        *context = m_contexts.Establish();
        entry.context = *context;
        return SCARD_S_SUCCESS;
    });
}

uint32_t PcScSimulator::ReleaseContext(ScardContext context) {
    const JournalEntry entry{.call = Call::ReleaseContext, .context = context};
    return Perform(entry, [&](Lock&, JournalEntry&) {
        if (context == m_elsewhere || !m_contexts.Release(context)) {
            return SCARD_E_INVALID_HANDLE;
        }
        m_memory.ReleaseContext(context);
        if (m_service.Dead(context)) {
            m_service.Forget(context);
            return SCARD_E_SERVICE_STOPPED;
        }
        m_connections.CloseContext(context);
        Changed();
        return SCARD_S_SUCCESS;
    });
}

uint32_t PcScSimulator::IsValidContext(ScardContext context) {
    const JournalEntry entry{.call = Call::IsValidContext, .context = context};
    return Perform(entry, [&](Lock&, JournalEntry&) {
        return m_contexts.Valid(context) ? SCARD_S_SUCCESS : SCARD_E_INVALID_HANDLE;
    });
}

uint32_t PcScSimulator::Cancel(ScardContext context) {
    return Perform(JournalEntry{.call = Call::Cancel, .context = context},
                   [&](Lock&, JournalEntry&) {
                       if (!m_contexts.Cancel(context)) {
                           return SCARD_E_INVALID_HANDLE;
                       }
                       Changed();
                       return SCARD_S_SUCCESS;
                   });
}

uint32_t PcScSimulator::ListReaders(ScardContext context, const char16_t* /*groups*/,
                                    PcScMemory& readers) {
    readers.Reset();
    PendingText pending;
    const JournalEntry entry{.call = Call::ListReaders, .context = context};
    const uint32_t result = Perform(entry, [&](Lock&, JournalEntry&) {
        if (context != 0 && !m_contexts.Valid(context)) {
            return SCARD_E_INVALID_HANDLE;
        }
        const std::u16string names = m_readers.MultiString();
        if (names.empty()) {
            return SCARD_E_NO_READERS_AVAILABLE;
        }
        pending = Allocate(context, names);
        return SCARD_S_SUCCESS;
    });
    Hand(pending, readers);
    return result;
}

uint32_t PcScSimulator::GetCardTypeProviderName(ScardContext context, const char16_t* cardName,
                                                uint32_t providerId, PcScMemory& provider) {
    provider.Reset();
    PendingText pending;
    const JournalEntry entry{.call = Call::GetCardTypeProviderName, .context = context};
    const uint32_t result = Perform(entry, [&](Lock&, JournalEntry&) {
        if (context != 0 && !m_contexts.Valid(context)) {
            return SCARD_E_INVALID_HANDLE;
        }
        const auto found = m_providers.find({cardName, providerId});
        if (found == m_providers.end()) {
            return ERROR_FILE_NOT_FOUND_RESULT;
        }
        pending = Allocate(context, found->second + u'\0');
        return SCARD_S_SUCCESS;
    });
    Hand(pending, provider);
    return result;
}

uint32_t PcScSimulator::FreeMemory(ScardContext context, const void* memory) {
    const JournalEntry entry{.call = Call::FreeMemory, .context = context};
    return Perform(entry, [&](Lock&, JournalEntry&) {
        return m_memory.Free(memory) ? SCARD_S_SUCCESS : SCARD_E_INVALID_PARAMETER;
    });
}

PcScSimulator::PendingText PcScSimulator::Allocate(ScardContext context,
                                                   const std::u16string& text) {
    return {context, m_memory.Allocate(context, text), static_cast<uint32_t>(text.size())};
}

void PcScSimulator::Hand(const PendingText& pending, PcScMemory& holder) {
    if (pending.text != nullptr) {
        holder.Adopt(this, pending.context, pending.text, pending.length);
    }
}

void PcScSimulator::SetCardTypeProvider(const std::u16string& cardName, uint32_t providerId,
                                        const std::u16string& provider) {
    Locked([&] { m_providers[{cardName, providerId}] = provider; });
}

void PcScSimulator::InjectResults(Call call, const std::vector<uint32_t>& results) {
    Locked([&] { m_faults[call].insert(m_faults[call].end(), results.begin(), results.end()); });
}

std::optional<uint32_t> PcScSimulator::TakeFault(Call call) {
    std::deque<uint32_t>& queue = m_faults[call];
    if (queue.empty()) {
        return std::nullopt;
    }
    const uint32_t result = queue.front();
    queue.pop_front();
    return result == SCARD_S_SUCCESS ? std::nullopt : std::optional(result);
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
