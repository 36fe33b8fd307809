#include "RealStackExtension.h"

#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"
#include "pcsc/PlatformPcSc.h"
#include "platform/TextConversion.h"

namespace realstack {

namespace {

// The largest ATR and the longest short response with its status word.
constexpr uint32_t kAtrCapacity = 36;
constexpr uint64_t kResponseCapacity = 258;

}  // namespace

RealStackExtension::RealStackExtension()
    : m_extension(new CZephExtensionPcSc(PlatformPcSc(), PlatformSleeper())) {}

RealStackExtension::~RealStackExtension() {
    ExtensionTestAccess(*m_extension).ReleaseContext(SCARD_LEAVE_CARD);
    m_extension->ScalarDeletingDestructor(1);
}

bool RealStackExtension::ConnectExclusively(const std::string& reader) {
    ExtensionTestAccess access(*m_extension);
    return access.GetContext() && access.Connect(zeph::platform::NarrowToWide(reader), false);
}

void RealStackExtension::OpenGate() {
    ExtensionTestAccess(*m_extension).OpenGate();
}

RealStackExtension::Answer RealStackExtension::Transmit(const std::vector<uint8_t>& command) {
    const ZephSendHeader header{SCARD_PROTOCOL_T1, sizeof(ZephSendHeader)};
    Answer answer;
    answer.data.resize(kResponseCapacity);
    uint64_t length = kResponseCapacity;
    answer.status =
        m_extension->Transmit(&header, command.data(), command.size(), answer.data.data(), &length);
    answer.data.resize(answer.status == ZEPH_STATUS_SUCCESS ? length : 0);
    return answer;
}

RealStackExtension::Answer RealStackExtension::Power(uint32_t action) {
    Answer answer;
    answer.data.resize(kAtrCapacity);
    uint32_t length = kAtrCapacity;
    answer.status = m_extension->Power(action, answer.data.data(), &length);
    answer.data.resize(answer.status == ZEPH_STATUS_SUCCESS && length <= kAtrCapacity ? length : 0);
    return answer;
}

bool RealStackExtension::HoldsContext() const {
    return ExtensionTestAccess(*m_extension).Context() != 0;
}

bool RealStackExtension::HoldsCard() const {
    return ExtensionTestAccess(*m_extension).Card() != 0;
}

bool RealStackExtension::SharesExclusively() const {
    return ExtensionTestAccess(*m_extension).ShareMode() == SCARD_SHARE_EXCLUSIVE;
}

bool RealStackExtension::UsesT1() const {
    return ExtensionTestAccess(*m_extension).Protocol() == SCARD_PROTOCOL_T1;
}

}  // namespace realstack
