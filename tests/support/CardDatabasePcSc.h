// A PC/SC seam that answers card-type provider queries from the smart card database in a
// registry (platform/SmartCardDatabase.h), as a PC/SC implementation without a database of its
// own does, and forwards every other call to another seam.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "InterceptingPcSc.h"
#include "pcsc/PcScApi.h"
#include "pcsc/SmartCardDatabase.h"
#include "registry/Registry.h"
#include "sim/SimWorld.h"

class CardDatabasePcSc final : public InterceptingPcSc {
  public:
    CardDatabasePcSc(PcScApi& target, RegistryApi& registry)
        : InterceptingPcSc(target), m_registry(registry) {}
    // Called before each card-type provider query; a test may throw from it.
    std::function<void(std::u16string_view cardName, uint32_t providerId)> beforeLookUp;

    uint32_t GetCardTypeProviderName(ScardContext context, const char16_t* cardName,
                                     uint32_t providerId, PcScMemory& provider) override {
        provider.Reset();
        const std::u16string_view card = cardName != nullptr ? cardName : u"";
        if (beforeLookUp) {
            beforeLookUp(card, providerId);
        }
        std::u16string name;
        if (const uint32_t result = LookUpCardTypeProvider(m_registry, card, providerId, name);
            result != 0) {
            return result;
        }
        const std::lock_guard<std::mutex> guard(m_mutex);
        const char16_t* text = m_allocations.Allocate(context, name + u'\0');
        provider.Adopt(this, context, text, static_cast<uint32_t>(name.size() + 1));
        return 0;
    }
    uint32_t FreeMemory(ScardContext context, const void* memory) override {
        {
            const std::lock_guard<std::mutex> guard(m_mutex);
            if (m_allocations.Free(memory)) {
                return 0;
            }
        }
        return InterceptingPcSc::FreeMemory(context, memory);
    }
    size_t OutstandingAllocations() const {
        const std::lock_guard<std::mutex> guard(m_mutex);
        return m_allocations.Outstanding();
    }

  private:
    RegistryApi& m_registry;
    mutable std::mutex m_mutex;
    sim::MemoryLedger m_allocations;
};
