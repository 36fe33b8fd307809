#include "HostStackFixture.h"

#include "ModuleLoader.h"

namespace hostrealstack {

namespace {

constexpr size_t kAtrCapacity = 36;
constexpr size_t kResponseCapacity = 258;
constexpr size_t kReaderNameCapacity = 256;
const ZephWChar kAnyReader[] = {0};

// Loaded once for the program, as a host loads it once for all its readers.
std::unique_ptr<ModuleLoader>& Module() {
    static std::unique_ptr<ModuleLoader> module;
    return module;
}

}  // namespace

void HostStackFixture::SetUpTestSuite() {
    StackFixture::SetUpTestSuite();
    Module() = std::make_unique<ModuleLoader>(ZEPH_MODULE_PATH);
}

void HostStackFixture::TearDownTestSuite() {
    Module().reset();
}

void HostStackFixture::SetUp() {
    StackFixture::SetUp();
    ASSERT_NE(Module()->Factory(), nullptr) << ZEPH_MODULE_PATH << ": " << Module()->Error();
    m_object = Module()->Factory()();
    ASSERT_NE(m_object, nullptr) << ZEPH_EXT_FACTORY_NAME << " returned no object";
}

void HostStackFixture::TearDown() {
    if (m_object != nullptr) {
        m_object->Cancel();  // releases the context before pcscd goes
        m_object->ScalarDeletingDestructor(1);
        m_object = nullptr;
    }
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
            answer.atr.assign(atr, atr + (atrLength < sizeof(atr) ? atrLength : sizeof(atr)));
            return answer;
        },
        [object] { object->Cancel(); });
}

std::unique_ptr<BackgroundCall<uint32_t>> HostStackFixture::StartIsAbsent() {
    CZephExtensionAbstract* object = m_object;
    return std::make_unique<BackgroundCall<uint32_t>>([object] { return object->IsAbsent(); },
                                                      [object] { object->Cancel(); });
}

PresentAnswer HostStackFixture::ConnectCard(realstack::VirtualCardProcess*& card,
                                            const realstack::VirtualCardOptions& options) {
    auto present = StartIsPresent();
    EXPECT_TRUE(present->WaitUntilWaiting(kWaitingTimeout)) << "IsPresent never waited";
    if (card == nullptr) {
        card = &StartCard(options);
    } else {
        EXPECT_TRUE(card->Insert()) << "the card did not connect again";
    }
    const std::optional<PresentAnswer> answer = present->Get(kCallTimeout);
    EXPECT_TRUE(answer) << "IsPresent did not return after the insertion";
    return answer.value_or(PresentAnswer{});
}

TransmitAnswer HostStackFixture::Transmit(const Bytes& command, uint32_t protocol) {
    const ZephSendHeader header{protocol, sizeof(ZephSendHeader)};
    TransmitAnswer answer;
    answer.response.resize(kResponseCapacity);
    uint64_t length = answer.response.size();
    answer.status = m_object->Transmit(&header, command.data(), command.size(),
                                       answer.response.data(), &length);
    answer.response.resize(length <= kResponseCapacity ? static_cast<size_t>(length) : 0);
    return answer;
}

TransmitAnswer HostStackFixture::ActualReader() {
    TransmitAnswer answer;
    answer.response.resize(kReaderNameCapacity);
    uint64_t length = answer.response.size();
    answer.status =
        m_object->GetAttribute(SCARD_ATTR_ZEPH_READER_ACTUAL, answer.response.data(), &length);
    answer.response.resize(length <= kReaderNameCapacity ? static_cast<size_t>(length) : 0);
    return answer;
}

}  // namespace hostrealstack
