// A PC/SC seam that forwards every call to another one, letting a test rewrite the answers of
// transmit and status-change calls (for behaviour no simulated world produces on its own, such as
// a card that is not reported exclusive after an exclusive connection). Test seams that replace
// one or two calls derive from it and forward the rest through it.
#pragma once

#include <functional>

#include "pcsc/PcScApi.h"

// The hooks a test sets; each is called only when set.
struct PcScHooks {
    // Called after each forwarded Transmit with its result, the capacity it was offered and the
    // length it returned; returns the result to report.
    std::function<uint32_t(uint32_t result, uint32_t capacityOffered, uint32_t* receiveLength)>
        onTransmit;
    // Called after each successful forwarded GetStatusChange.
    std::function<void(PcScReaderState* states, uint32_t count)> onStatusChange;
    // Called before each forwarded ListReaders.
    std::function<void()> onListReaders;
    // Called before each release; the release reaches the target only when it returns true (a
    // platform whose release neither frees the context nor ends its waits).
    std::function<bool(ScardContext context)> onReleaseContext;
    // Called before each GetStatusChange with its time-out, and after it with its result.
    std::function<void(uint32_t timeoutMs)> beforeStatusChange;
    std::function<void(uint32_t result)> afterStatusChange;
};

class InterceptingPcSc : public PcScApi, public PcScHooks {
  public:
    explicit InterceptingPcSc(PcScApi& target) : m_target(target) {}

    // Forgets every hook. A test's hooks refer to its own locals, which are gone by the time the
    // object the test drove is cancelled and destroyed.
    void DropHooks() { static_cast<PcScHooks&>(*this) = {}; }

    uint32_t EstablishContext(uint32_t scope, ScardContext* context) override {
        return m_target.EstablishContext(scope, context);
    }
    uint32_t ReleaseContext(ScardContext context) override {
        if (onReleaseContext && !onReleaseContext(context)) {
            return 0;
        }
        return m_target.ReleaseContext(context);
    }
    uint32_t IsValidContext(ScardContext context) override {
        return m_target.IsValidContext(context);
    }
    uint32_t Cancel(ScardContext context) override { return m_target.Cancel(context); }
    uint32_t ListReaders(ScardContext context, const char16_t* groups,
                         PcScMemory& readers) override {
        if (onListReaders) {
            onListReaders();
        }
        return m_target.ListReaders(context, groups, readers);
    }
    uint32_t GetStatusChange(ScardContext context, uint32_t timeoutMs, PcScReaderState* states,
                             uint32_t count) override {
        if (beforeStatusChange) {
            beforeStatusChange(timeoutMs);
        }
        const uint32_t result = m_target.GetStatusChange(context, timeoutMs, states, count);
        if (afterStatusChange) {
            afterStatusChange(result);
        }
        if (result == 0 && onStatusChange) {
            onStatusChange(states, count);
        }
        return result;
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
        const uint32_t offered = *receiveLength;
        const uint32_t result =
            m_target.Transmit(card, sendPci, send, sendLength, receivePci, receive, receiveLength);
        return onTransmit ? onTransmit(result, offered, receiveLength) : result;
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
    uint32_t GetCardTypeProviderName(ScardContext context, const char16_t* cardName,
                                     uint32_t providerId, PcScMemory& provider) override {
        return m_target.GetCardTypeProviderName(context, cardName, providerId, provider);
    }
    uint32_t FreeMemory(ScardContext context, const void* memory) override {
        return m_target.FreeMemory(context, memory);
    }
    uint32_t ControlCode(uint32_t function) const override {
        return m_target.ControlCode(function);
    }

  private:
    PcScApi& m_target;
};
