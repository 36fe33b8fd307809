// GoogleTest fixture for the host's cycle on the real stack: the stack of StackFixture, and one
// object of the real module, loaded through its export as a host loads it. Objects are cancelled
// and destroyed through slot 0 when they go.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "BackgroundCall.h"
#include "RealStack.h"
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

class HostStackFixture : public StackFixture {
  protected:
    // Generous: a PC/SC wait ends within pcscd's polling interval (400 ms) of the event.
    static constexpr std::chrono::milliseconds kCallTimeout{10000};
    static constexpr std::chrono::milliseconds kWaitingTimeout{5000};
    static constexpr uint32_t kProtocolT1 = 2;

    using ObjectPtr = std::unique_ptr<CZephExtensionAbstract, void (*)(CZephExtensionAbstract*)>;

    explicit HostStackFixture(unsigned vpcdReaders = 1) : StackFixture(true, vpcdReaders) {}

    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    CZephExtensionAbstract& Object() { return *m_object; }
    // A further object, as the host makes one for each of its virtual readers.
    static ObjectPtr NewObject();

    std::unique_ptr<BackgroundCall<PresentAnswer>> StartIsPresent() {
        return StartIsPresent(*m_object);
    }
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
    // SCARD_ATTR_ZEPH_READER_ACTUAL: the bytes the module wrote, its zero included.
    Answer ActualReader();
    // The state GetState reports (SCARD_ABSENT 1 ... SCARD_SPECIFIC 6).
    uint32_t CardState();
    // What another application's shared connection to the card gets (SCARD_...).
    long ConnectElsewhere();
    // The card has answered everything sent so far (SELECT of the master file): later event
    // searches see only what follows.
    void SyncCardEvents(VirtualCardProcess& card);

  private:
    ObjectPtr m_object{nullptr, nullptr};
};

}  // namespace realstack
