#include "pcsc/pcsclite/PcScLiteHandleTable.h"

#include <utility>

namespace zeph::platform::pcsclite {

ScardContext PcScLiteHandleTable::AddContext(std::shared_ptr<PcScLiteContext> context) {
    std::lock_guard lock(m_mutex);
    const ScardContext handle = m_nextContext++;
    m_contexts.emplace(handle, std::move(context));
    return handle;
}

std::shared_ptr<PcScLiteContext> PcScLiteHandleTable::FindContext(ScardContext handle) const {
    std::lock_guard lock(m_mutex);
    auto found = m_contexts.find(handle);
    return found != m_contexts.end() ? found->second : nullptr;
}

std::shared_ptr<PcScLiteContext> PcScLiteHandleTable::TakeContext(ScardContext handle) {
    std::lock_guard lock(m_mutex);
    auto found = m_contexts.find(handle);
    if (found == m_contexts.end()) {
        return nullptr;
    }
    std::shared_ptr<PcScLiteContext> context = std::move(found->second);
    m_contexts.erase(found);
    std::erase_if(m_cards, [handle](const auto& card) { return card.second.owner == handle; });
    return context;
}

std::vector<std::shared_ptr<PcScLiteContext>> PcScLiteHandleTable::TakeAllContexts() {
    std::lock_guard lock(m_mutex);
    std::vector<std::shared_ptr<PcScLiteContext>> all;
    for (auto& [handle, context] : m_contexts) {
        all.push_back(std::move(context));
    }
    m_contexts.clear();
    m_cards.clear();
    return all;
}

ScardHandle PcScLiteHandleTable::AddCard(LiteHandle lite, ScardContext owner) {
    std::lock_guard lock(m_mutex);
    auto context = m_contexts.find(owner);
    if (context == m_contexts.end()) {
        return 0;
    }
    const ScardHandle handle = m_nextCard++;
    m_cards.emplace(handle, PcScLiteCard{lite, owner, context->second});
    return handle;
}

bool PcScLiteHandleTable::FindCard(ScardHandle handle, PcScLiteCard* card) const {
    std::lock_guard lock(m_mutex);
    auto found = m_cards.find(handle);
    if (found == m_cards.end()) {
        return false;
    }
    *card = found->second;
    return true;
}

void PcScLiteHandleTable::RemoveCard(ScardHandle handle) {
    std::lock_guard lock(m_mutex);
    m_cards.erase(handle);
}

}  // namespace zeph::platform::pcsclite
