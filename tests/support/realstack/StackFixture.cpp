#include "StackFixture.h"

#include <algorithm>
#include <iostream>

#include "ModuleLoader.h"

namespace realstack {

namespace {

constexpr size_t kAtrCapacity = 36;
constexpr size_t kCapacity = 258;  // the longest response, the reader's name
const ZephWChar kAnyReader[] = {0};
constexpr uint32_t kGuard = 16;  // bytes on either side of an ATR buffer, which stay as they are
constexpr uint8_t kGuardByte = 0xA5;

// Loaded once for the program, as a host loads it once for all its readers.
std::unique_ptr<ModuleLoader> g_module;

}  // namespace

void StackFixture::SetUp() {
    m_stack = std::make_unique<RealStack>(true, m_vpcdReaders);
    if (g_module == nullptr) {
        g_module = std::make_unique<ModuleLoader>(ZEPH_MODULE_PATH);
    }
    ASSERT_NE(g_module->Factory(), nullptr) << ZEPH_MODULE_PATH << ": " << g_module->Error();
    m_object = NewObject();
    ASSERT_NE(m_object, nullptr) << ZEPH_EXT_FACTORY_NAME << " returned no object";
}

void StackFixture::TearDown() {
    m_object.reset();  // releases the context before pcscd goes
    if (m_stack == nullptr) {
        return;
    }
    if (HasFailure()) {
        std::cout << m_stack->Logs();
    }
    EXPECT_TRUE(m_stack->StopCards()) << "a card crashed or leaked";
    m_stack.reset();
}

StackFixture::ObjectPtr StackFixture::NewObject() {
    return ObjectPtr(g_module->Factory()(), [](CZephExtensionAbstract* object) {
        if (object != nullptr) {
            object->Cancel();
            object->ScalarDeletingDestructor(1);
        }
    });
}

std::unique_ptr<BackgroundCall<PresentAnswer>> StackFixture::StartIsPresent(
    CZephExtensionAbstract& object) {
    return std::make_unique<BackgroundCall<PresentAnswer>>(
        [&object] {
            PresentAnswer answer;
            uint8_t atr[kAtrCapacity] = {};
            uint64_t atrLength = sizeof(atr);
            answer.status = object.IsPresent(kAnyReader, atr, &atrLength, &answer.protocol);
            answer.atr.assign(atr, atr + std::min<uint64_t>(atrLength, sizeof(atr)));
            return answer;
        },
        [&object] { object.Cancel(); });
}

std::unique_ptr<BackgroundCall<uint32_t>> StackFixture::StartIsAbsent() {
    return std::make_unique<BackgroundCall<uint32_t>>([this] { return m_object->IsAbsent(); },
                                                      [this] { m_object->Cancel(); });
}

PresentAnswer StackFixture::ConnectCard(VirtualCardProcess*& card,
                                        const VirtualCardOptions& options) {
    auto present = StartIsPresent(*m_object);
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

Answer StackFixture::Transmit(const Bytes& command, uint32_t protocol) {
    const ZephSendHeader header{protocol, sizeof(ZephSendHeader)};
    Answer answer{0, Bytes(kCapacity)};
    uint64_t length = kCapacity;
    answer.status =
        m_object->Transmit(&header, command.data(), command.size(), answer.data.data(), &length);
    answer.data.resize(std::min<uint64_t>(length, kCapacity));
    return answer;
}

Answer StackFixture::Power(uint32_t action, uint32_t capacity) {
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

uint32_t StackFixture::CardState() {
    uint32_t state = 0;
    uint32_t protocol = 0;
    EXPECT_EQ(m_object->GetState(&state, &protocol), ZEPH_STATUS_SUCCESS);
    return state;
}

void StackFixture::SyncCardEvents(VirtualCardProcess& card) {
    ASSERT_EQ(Transmit(kSelectMasterFile).status, ZEPH_STATUS_SUCCESS);
    ASSERT_TRUE(card.WaitForEvent("apdu 00A4000C023F00 9000"));
}

}  // namespace realstack
