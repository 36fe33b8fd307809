// A PC/SC seam that answers card-type provider queries from the smart card database in a
// registry (platform/SmartCardDatabase.h), as a PC/SC implementation without a database of its
// own does, and forwards every other call to another seam.
#pragma once

#include <algorithm>
#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "InterceptingPcSc.h"
#include "pcsc/PcScApi.h"
#include "pcsc/SmartCardDatabase.h"
#include "registry/Registry.h"

class CardDatabasePcSc final : public InterceptingPcSc {
  public:
    CardDatabasePcSc(PcScApi& target, RegistryApi& registry)
        : InterceptingPcSc(target), m_registry(registry) {}
    // Called before each card-type provider query; a test may throw from it.
    std::function<void(std::u16string_view cardName, uint32_t providerId)> beforeLookUp;

    ~CardDatabasePcSc() override {
        for (const char16_t* text : m_allocations) {
            delete[] text;
        }
    }
    CardDatabasePcSc(const CardDatabasePcSc&) = delete;
    CardDatabasePcSc& operator=(const CardDatabasePcSc&) = delete;

    uint32_t GetCardTypeProviderName(ScardContext context, const char16_t* cardName,
                                     uint32_t providerId, PcScMemory& provider) override {
        provider.Reset();
        if (beforeLookUp) {
            beforeLookUp(cardName != nullptr ? cardName : u"", providerId);
        }
        std::u16string name;
        const uint32_t result = LookUpCardTypeProvider(
            m_registry, cardName != nullptr ? cardName : u"", providerId, name);
        if (result != 0) {
            return result;
        }
        auto* text = new char16_t[name.size() + 1];
        std::copy(name.begin(), name.end(), text);
        text[name.size()] = u'\0';
        {
            const std::lock_guard<std::mutex> guard(m_mutex);
            m_allocations.insert(text);
        }
        provider.Adopt(this, context, text, static_cast<uint32_t>(name.size() + 1));
        return 0;
    }
    uint32_t FreeMemory(ScardContext context, const void* memory) override {
        {
            const std::lock_guard<std::mutex> guard(m_mutex);
            const auto found = m_allocations.find(static_cast<const char16_t*>(memory));
            if (found != m_allocations.end()) {
                delete[] * found;
                m_allocations.erase(found);
                return 0;
            }
        }
        return InterceptingPcSc::FreeMemory(context, memory);
    }
    size_t OutstandingAllocations() const {
        const std::lock_guard<std::mutex> guard(m_mutex);
        return m_allocations.size();
    }

  private:
    RegistryApi& m_registry;
    mutable std::mutex m_mutex;
    std::set<const char16_t*> m_allocations;
};
