// GoogleTest fixture for the host's cycle on the real stack: the private pcscd with a vpcd
// reader of realstack::StackFixture, and one object of the real module, loaded through its
// export as a host loads it. The object is cancelled and destroyed through slot 0 when the test
// ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "BackgroundCall.h"
#include "StackFixture.h"
#include "zeph/ZephExtensionAbi.h"

namespace hostrealstack {

using Bytes = std::vector<uint8_t>;

struct PresentAnswer {
    uint32_t status = 0;
    Bytes atr;
    uint32_t protocol = 0;
};

struct TransmitAnswer {
    uint32_t status = 0;
    Bytes response;
};

class HostStackFixture : public realstack::StackFixture {
  protected:
    // Generous: a PC/SC wait ends within pcscd's polling interval (400 ms) of the event.
    static constexpr std::chrono::milliseconds kCallTimeout{10000};
    static constexpr std::chrono::milliseconds kWaitingTimeout{5000};

    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // An object of its own, cancelled and destroyed when it goes.
    using ObjectPtr = std::unique_ptr<CZephExtensionAbstract, void (*)(CZephExtensionAbstract*)>;

    CZephExtensionAbstract& Object() { return *m_object; }
    // A further object, as the host makes one for each of its virtual readers.
    static ObjectPtr NewObject();

    std::unique_ptr<BackgroundCall<PresentAnswer>> StartIsPresent() {
        return StartIsPresent(*m_object);
    }
    static std::unique_ptr<BackgroundCall<PresentAnswer>> StartIsPresent(
        CZephExtensionAbstract& object);
    std::unique_ptr<BackgroundCall<uint32_t>> StartIsAbsent();
    // The host's first step: IsPresent waits, then the card enters slot 0 (started with the
    // options when it is not running yet, inserted again otherwise); IsPresent's answer, or a
    // failed test and an empty answer.
    PresentAnswer ConnectCard(realstack::VirtualCardProcess*& card,
                              const realstack::VirtualCardOptions& options = {});
    TransmitAnswer Transmit(const Bytes& command, uint32_t protocol);
    // SCARD_ATTR_ZEPH_READER_ACTUAL: the bytes the module wrote, its zero included.
    TransmitAnswer ActualReader();

  private:
    CZephExtensionAbstract* m_object = nullptr;
};

}  // namespace hostrealstack
