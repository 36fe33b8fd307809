// The GoogleTest fixture of every real-stack test: a stack for each test (RealStack.h), whose
// cards must end cleanly, with pcscd's log and the cards' events shown when the test failed. A
// test of the module gets one object of the real module, loaded through its export as a host
// loads it (further objects on request; each is cancelled and destroyed through slot 0 when it
// goes). pcsc-lite's headers define the WinSCard names as macros; their values agree with the
// module's where tests use them.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "BackgroundCall.h"
#include "PcscHandles.h"
#include "RealStack.h"
#include "TestCards.h"
#include "zeph/ZephExtensionAbi.h"

namespace realstack {

using Bytes = std::vector<uint8_t>;

struct PresentAnswer {
    uint32_t status = 0;
    Bytes atr;
    uint32_t protocol = 0;
};

struct Answer {
    uint32_t status = 0;
    Bytes data;  // the response, the ATR or the attribute
};

class StackFixture : public ::testing::Test {
  protected:
    // Generous: a PC/SC wait ends within pcscd's polling interval (400 ms) of the event.
    static constexpr std::chrono::milliseconds kCallTimeout{10000};
    static constexpr std::chrono::milliseconds kWaitingTimeout{5000};
    static constexpr uint32_t kProtocolT1 = 2;

    using ObjectPtr = std::unique_ptr<CZephExtensionAbstract, void (*)(CZephExtensionAbstract*)>;

    explicit StackFixture(unsigned vpcdReaders = 1) : m_vpcdReaders(vpcdReaders) {}
    void SetUp() override;
    void TearDown() override;

    RealStack& Stack() { return *m_stack; }
    CZephExtensionAbstract& Object() { return *m_object; }
    // A further object, as the host makes one for each of its virtual readers.
    static ObjectPtr NewObject();

    static std::unique_ptr<BackgroundCall<PresentAnswer>> StartIsPresent(
        CZephExtensionAbstract& object);
    std::unique_ptr<BackgroundCall<uint32_t>> StartIsAbsent();
    // The host's first step: IsPresent waits, then the card enters (started with the options
    // when it is not running yet, inserted again otherwise); IsPresent's answer, or a failed
    // test and an empty answer.
    PresentAnswer ConnectCard(VirtualCardProcess*& card, const VirtualCardOptions& options = {});
    Answer Transmit(const Bytes& command, uint32_t protocol = kProtocolT1);
    // Power into an ATR buffer of that capacity between guard bytes, which must stay as they
    // are; the ATR written.
    Answer Power(uint32_t action, uint32_t capacity = 36);
    // The state GetState reports (SCARD_ABSENT 1 ... SCARD_SPECIFIC 6).
    uint32_t CardState();
    // The card has answered everything sent so far (SELECT of the master file): later event
    // searches see only what follows.
    void SyncCardEvents(VirtualCardProcess& card);

  private:
    const unsigned m_vpcdReaders;
    std::unique_ptr<RealStack> m_stack;
    ObjectPtr m_object{nullptr, nullptr};
};

}  // namespace realstack
