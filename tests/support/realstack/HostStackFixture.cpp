#include "HostStackFixture.h"

#include <algorithm>

#include "ModuleLoader.h"
#include "PcscHandles.h"
#include "TestCards.h"

namespace realstack {

namespace {

constexpr size_t kAtrCapacity = 36;
constexpr size_t kCapacity = 258;  // the longest response, the reader's name
const ZephWChar kAnyReader[] = {0};
constexpr uint32_t kGuard = 16;  // bytes on either side of an ATR buffer, which stay as they are
constexpr uint8_t kGuardByte = 0xA5;

// Loaded once for the program, as a host loads it once for all its readers.
std::unique_ptr<ModuleLoader>& Module() {
    static std::unique_ptr<ModuleLoader> module;
    return module;
}

// A call that writes up to kCapacity bytes and their count.
template <typename Call>
Answer Read(Call call) {
    Answer answer{0, Bytes(kCapacity)};
    uint64_t length = kCapacity;
    answer.status = call(answer.data.data(), &length);
    answer.data.resize(std::min<uint64_t>(length, kCapacity));
    return answer;
}

}  // namespace

void HostStackFixture::SetUpTestSuite() {
    Module() = std::make_unique<ModuleLoader>(ZEPH_MODULE_PATH);
}

void HostStackFixture::TearDownTestSuite() {
    Module().reset();
}

void HostStackFixture::SetUp() {
    StackFixture::SetUp();
    ASSERT_NE(Module()->Factory(), nullptr) << ZEPH_MODULE_PATH << ": " << Module()->Error();
    m_object = NewObject();
    ASSERT_NE(m_object, nullptr) << ZEPH_EXT_FACTORY_NAME << " returned no object";
}

void HostStackFixture::TearDown() {
    m_object.reset();  // releases the context before pcscd goes
    StackFixture::TearDown();
}

HostStackFixture::ObjectPtr HostStackFixture::NewObject() {
    return ObjectPtr(Module()->Factory()(), [](CZephExtensionAbstract* object) {
        if (object != nullptr) {
            object->Cancel();
            object->ScalarDeletingDestructor(1);
        }
    });
}

std::unique_ptr<BackgroundCall<PresentAnswer>> HostStackFixture::StartIsPresent(
    CZephExtensionAbstract& target) {
    CZephExtensionAbstract* object = &target;
    return std::make_unique<BackgroundCall<PresentAnswer>>(
        [object] {
            PresentAnswer answer;
            uint8_t atr[kAtrCapacity] = {};
            uint64_t atrLength = sizeof(atr);
            answer.status = object->IsPresent(kAnyReader, atr, &atrLength, &answer.protocol);
            answer.atr.assign(atr, atr + std::min<uint64_t>(atrLength, sizeof(atr)));
            return answer;
        },
        [object] { object->Cancel(); });
}

std::unique_ptr<BackgroundCall<uint32_t>> HostStackFixture::StartIsAbsent() {
    CZephExtensionAbstract* object = m_object.get();
    return std::make_unique<BackgroundCall<uint32_t>>([object] { return object->IsAbsent(); },
                                                      [object] { object->Cancel(); });
}

PresentAnswer HostStackFixture::ConnectCard(VirtualCardProcess*& card,
                                            const VirtualCardOptions& options) {
    auto present = StartIsPresent();
    EXPECT_TRUE(present->WaitUntilWaiting(kWaitingTimeout)) << "IsPresent never waited";
    if (card == nullptr) {
        card = &Stack().StartCard(options);
    } else {
        EXPECT_TRUE(card->Insert()) << "the card did not connect again";
    }
    const std::optional<PresentAnswer> answer = present->Get(kCallTimeout);
    EXPECT_TRUE(answer) << "IsPresent did not return after the insertion";
    return answer.value_or(PresentAnswer{});
}

Answer HostStackFixture::Transmit(const Bytes& command, uint32_t protocol) {
    const ZephSendHeader header{protocol, sizeof(ZephSendHeader)};
    return Read([&](uint8_t* data, uint64_t* length) {
        return m_object->Transmit(&header, command.data(), command.size(), data, length);
    });
}

Answer HostStackFixture::Power(uint32_t action, uint32_t capacity) {
    Bytes memory(capacity + 2 * kGuard, kGuardByte);
    uint32_t length = capacity;
    const uint32_t status = m_object->Power(action, memory.data() + kGuard, &length);
    const auto written = memory.begin() + kGuard;
    EXPECT_EQ(std::count(memory.begin(), written, kGuardByte) +
                  std::count(written + capacity, memory.end(), kGuardByte),
              2 * kGuard)
        << "Power " << action << " wrote outside the buffer";
    return Answer{status, Bytes(written, written + std::min(length, capacity))};
}

Answer HostStackFixture::ActualReader() {
    return Read([&](uint8_t* data, uint64_t* length) {
        return m_object->GetAttribute(SCARD_ATTR_ZEPH_READER_ACTUAL, data, length);
    });
}

uint32_t HostStackFixture::CardState() {
    uint32_t state = 0;
    uint32_t protocol = 0;
    EXPECT_EQ(m_object->GetState(&state, &protocol), ZEPH_STATUS_SUCCESS);
    return state;
}

long HostStackFixture::ConnectElsewhere() {
    return PcscCard(Stack().Context(), Stack().ReaderName(), SCARD_SHARE_SHARED).Status();
}

void HostStackFixture::SyncCardEvents(VirtualCardProcess& card) {
    ASSERT_EQ(Transmit(kSelectMasterFile).status, ZEPH_STATUS_SUCCESS);
    ASSERT_TRUE(card.WaitForEvent("apdu 00A4000C023F00 9000"));
}

}  // namespace realstack
