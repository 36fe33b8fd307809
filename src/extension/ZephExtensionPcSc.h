// The extension object: carries each request of the host's virtual reader out on a physical
// reader through PC/SC.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/PcScHandles.h"
#include "threading/Event.h"
#include "zeph/ZephExtensionAbi.h"

class CZephExtensionPcSc final : public CZephExtensionAbstract {
  public:
    CZephExtensionPcSc();

    void* ScalarDeletingDestructor(unsigned int flags) override;
    uint32_t SetProtocol(uint32_t requested, uint32_t* active) override;
    uint32_t Power(uint32_t action, uint8_t* atr, uint32_t* atrLength) override;
    uint32_t GetAttribute(uint32_t id, uint8_t* buffer, uint64_t* length) override;
    uint32_t SetAttribute(uint32_t id, const uint8_t* buffer, uint32_t length) override;
    uint32_t Transmit(const ZephSendHeader* sendHeader, const uint8_t* send, uint64_t sendLength,
                      uint8_t* receive, uint64_t* receiveLength) override;
    uint32_t IsPresent(const ZephWChar* manualReader, uint8_t* atr, uint64_t* atrLength,
                       uint32_t* protocol) override;
    uint32_t IsAbsent() override;
    uint32_t GetState(uint32_t* state, uint32_t* protocol) override;
    void Cancel() override;
    uint32_t Control(uint32_t code, const uint8_t* input, uint64_t inputLength, uint8_t* output,
                     uint64_t* outputLength) override;

  private:
    // Reached only through ScalarDeletingDestructor: closes the events and the lock, but neither
    // disconnects the card nor releases the context (the host ends its use with Power or Cancel).
    ~CZephExtensionPcSc();

    bool Helper_SCardGetContext();
    uint32_t CopyReaderName(uint8_t* buffer, uint64_t& length);

    std::recursive_mutex m_csWinScardAccess;  // the "Sicherheitsbereich"
    Event m_hCancelEvent{Event::Mode::AutoReset};
    ScardContext m_hContext = 0;
    ScardHandle m_hCard = 0;
    Event m_hAllowAccessEvent{Event::Mode::ManualReset};
    uint32_t m_dwActiveProtocol = 0;
    uint32_t m_dwShareMode = 0;
    std::u16string m_strReaderName;
    uint32_t m_dwControlCount = 0;
    uint32_t m_dwTransmitCount = 0;
};
