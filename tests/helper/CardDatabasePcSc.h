// A PC/SC seam that answers card-type provider queries from the smart card database in a
// registry (platform/SmartCardDatabase.h), as a PC/SC implementation without a database of its
// own does, and forwards every other call to another seam.
#pragma once

#include <algorithm>
#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "platform/PcScApi.h"
#include "platform/Registry.h"
#include "platform/SmartCardDatabase.h"

class CardDatabasePcSc final : public PcScApi {
  public:
    CardDatabasePcSc(PcScApi& target, RegistryApi& registry)
        : m_target(target), m_registry(registry) {}
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
        return m_target.FreeMemory(context, memory);
    }
    size_t OutstandingAllocations() const {
        const std::lock_guard<std::mutex> guard(m_mutex);
        return m_allocations.size();
    }

    uint32_t EstablishContext(uint32_t scope, ScardContext* context) override {
        return m_target.EstablishContext(scope, context);
    }
    uint32_t ReleaseContext(ScardContext context) override {
        return m_target.ReleaseContext(context);
    }
    uint32_t IsValidContext(ScardContext context) override {
        return m_target.IsValidContext(context);
    }
    uint32_t Cancel(ScardContext context) override { return m_target.Cancel(context); }
    uint32_t ListReaders(ScardContext context, const char16_t* groups,
                         PcScMemory& readers) override {
        return m_target.ListReaders(context, groups, readers);
    }
    uint32_t GetStatusChange(ScardContext context, uint32_t timeoutMs, PcScReaderState* states,
                             uint32_t count) override {
        return m_target.GetStatusChange(context, timeoutMs, states, count);
    }
    uint32_t Connect(ScardContext context, const char16_t* reader, uint32_t shareMode,
                     uint32_t preferred, ScardHandle* card, uint32_t* protocol) override {
        return m_target.Connect(context, reader, shareMode, preferred, card, protocol);
    }
    uint32_t Reconnect(ScardHandle card, uint32_t shareMode, uint32_t preferred,
                       uint32_t initialization, uint32_t* protocol) override {
        return m_target.Reconnect(card, shareMode, preferred, initialization, protocol);
    }
    uint32_t Disconnect(ScardHandle card, uint32_t disposition) override {
        return m_target.Disconnect(card, disposition);
    }
    uint32_t Status(ScardHandle card, PcScMemory& readerName, uint32_t* state, uint32_t* protocol,
                    uint8_t* atr, uint32_t* atrLength) override {
        return m_target.Status(card, readerName, state, protocol, atr, atrLength);
    }
    uint32_t Transmit(ScardHandle card, const PcScIoRequest* sendPci, const uint8_t* send,
                      uint32_t sendLength, PcScIoRequest* receivePci, uint8_t* receive,
                      uint32_t* receiveLength) override {
        return m_target.Transmit(card, sendPci, send, sendLength, receivePci, receive,
                                 receiveLength);
    }
    uint32_t Control(ScardHandle card, uint32_t code, const uint8_t* input, uint32_t inputLength,
                     uint8_t* output, uint32_t outputCapacity, uint32_t* returned) override {
        return m_target.Control(card, code, input, inputLength, output, outputCapacity, returned);
    }
    uint32_t GetAttrib(ScardHandle card, uint32_t id, uint8_t* buffer, uint32_t* length) override {
        return m_target.GetAttrib(card, id, buffer, length);
    }
    uint32_t SetAttrib(ScardHandle card, uint32_t id, const uint8_t* buffer,
                       uint32_t length) override {
        return m_target.SetAttrib(card, id, buffer, length);
    }
    uint32_t LocateCardsByATR(ScardContext context, const PcScAtrMask* masks, uint32_t maskCount,
                              PcScReaderState* states, uint32_t count) override {
        return m_target.LocateCardsByATR(context, masks, maskCount, states, count);
    }
    uint32_t ControlCode(uint32_t function) const override {
        return m_target.ControlCode(function);
    }

  private:
    PcScApi& m_target;
    RegistryApi& m_registry;
    mutable std::mutex m_mutex;
    std::set<const char16_t*> m_allocations;
};
