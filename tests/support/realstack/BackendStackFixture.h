// The pcsc-lite backend in front of the real stack, for the tests of where the backend must behave
// unlike pcsc-lite itself. pcsc-lite's headers define the WinSCard names as macros; their values
// agree with the module's where the tests use them.
#pragma once

#include <chrono>
#include <vector>

#include "PcscHandles.h"
#include "RealStack.h"
#include "TestCards.h"
#include "Waits.h"
#include "pcsc/pcsclite/PcScLiteBackend.h"
#include "pcsc/pcsclite/PcScLiteLibrary.h"
#include "platform/TextConversion.h"

namespace realstack {

inline constexpr std::chrono::milliseconds kDeadline{10000};
inline constexpr uint32_t kIoDeviceError = 1117;  // Windows' ERROR_IO_DEVICE, which pcsc-lite lacks

// The real stack with the backend in front of it. The backend's library is loaded before the
// stack's first pcsc-lite call, and the stack's own PCSCLITE_NO_BLOCKING is left out: the
// backend has to turn pcsc-lite's sharing waits off by itself.
class PcScLiteBackendReal : public StackFixture {
  protected:
    PcScLiteBackendReal() : StackFixture(false) {}
    void SetUp() override {
        StackFixture::SetUp();
        ASSERT_TRUE(m_library.Loaded()) << m_library.Status();
        ASSERT_EQ(m_backend.EstablishContext(SCARD_SCOPE_SYSTEM, &m_context), 0u);
        m_readerName = zeph::platform::NarrowToWide(Stack().ReaderName());
    }
    void TearDown() override {
        m_backend.ReleaseContext(m_context);
        StackFixture::TearDown();
    }

    uint32_t Connect(uint32_t shareMode, ScardHandle* card) {
        uint32_t protocol = 0;
        return m_backend.Connect(m_context, m_readerName.c_str(), shareMode, SCARD_PROTOCOL_T1,
                                 card, &protocol);
    }
    uint32_t Transmit(ScardHandle card, const std::vector<uint8_t>& command = kSelectMasterFile) {
        const PcScIoRequest pci{SCARD_PROTOCOL_T1, sizeof(PcScIoRequest)};
        uint8_t answer[258];
        uint32_t length = sizeof(answer);
        return m_backend.Transmit(card, &pci, command.data(), static_cast<uint32_t>(command.size()),
                                  nullptr, answer, &length);
    }
    // The reader's record with its current state as the state the caller believes in.
    PcScReaderState Unchanged() {
        PcScReaderState state{};
        state.szReader = m_readerName.c_str();
        EXPECT_EQ(m_backend.GetStatusChange(m_context, 0, &state, 1), 0u);
        state.dwCurrentState = state.dwEventState;
        return state;
    }
    bool AwaitOpenWaits(size_t count) {
        return WaitUntil([&] { return m_backend.OpenWaits(m_context) == count; }, kDeadline,
                         std::chrono::microseconds(100));
    }

    zeph::platform::pcsclite::PcScLiteLibrary m_library;
    zeph::platform::pcsclite::PcScLiteBackend m_backend{m_library};
    ScardContext m_context = 0;
    std::u16string m_readerName;
};

}  // namespace realstack
