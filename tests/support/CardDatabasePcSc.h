// A PC/SC seam that answers card-type provider queries from the smart card database in a
// registry (platform/SmartCardDatabase.h), as a PC/SC implementation without a database of its
// own does, and forwards every other call to another seam. For one thread.
#pragma once

#include <string>

#include "InterceptingPcSc.h"
#include "pcsc/SmartCardDatabase.h"
#include "registry/Registry.h"
#include "sim/SimWorld.h"

class CardDatabasePcSc final : public InterceptingPcSc {
  public:
    CardDatabasePcSc(PcScApi& target, RegistryApi& registry)
        : InterceptingPcSc(target), m_registry(registry) {}

    uint32_t GetCardTypeProviderName(ScardContext context, const char16_t* cardName,
                                     uint32_t providerId, PcScMemory& provider) override {
        provider.Reset();
        std::u16string name;
        if (const uint32_t result = LookUpCardTypeProvider(
                m_registry, cardName != nullptr ? cardName : u"", providerId, name);
            result != 0) {
            return result;
        }
        const char16_t* text = m_allocations.Allocate(context, name + u'\0');
        provider.Adopt(this, context, text, static_cast<uint32_t>(name.size() + 1));
        return 0;
    }
    uint32_t FreeMemory(ScardContext context, const void* memory) override {
        return m_allocations.Free(memory) ? 0 : InterceptingPcSc::FreeMemory(context, memory);
    }
    size_t OutstandingAllocations() const { return m_allocations.Outstanding(); }

  private:
    RegistryApi& m_registry;
    sim::MemoryLedger m_allocations;
};
