// pcsc-lite's entry points played by plain functions, where an interleaving or a misbehaviour of
// pcsc-lite must be forced: a reader list that blocks until the test lets it return, exchanges
// that fail and leave rubbish in their length, an attribute as long as pcsc-lite allows.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "pcsc/PcScConstants.h"
#include "pcsc/pcsclite/PcScLiteBackend.h"
#include "pcsc/pcsclite/PcScLiteLibrary.h"

namespace standin {

using zeph::platform::pcsclite::Dword;

inline constexpr Dword kRubbish = 0x5A5A5A5A;
inline constexpr uint8_t kAttributeByte = 0xA5;
inline constexpr uint32_t kAtrLength = 12;

// What the stand-ins share with the test; a stand-in is a plain function, so this is global.
struct StandInState {
    std::mutex mutex;
    std::condition_variable changed;
    bool listing = false;
    bool listMayReturn = false;
    bool releasedWhileListing = false;
    bool connectBlocks = false;  // a connect blocks as a reader list does
    bool connecting = false;
};
extern StandInState g_state;

// Establish, release, a reader list that blocks until listMayReturn, a connect to a T=1 card,
// a disconnect of a card pcsc-lite has forgotten, a status with an ATR of kAtrLength bytes,
// a transmit and a control that fail with rubbish in their length, and attribute 1 of
// pcsc-lite's largest length (any other attribute fails).
zeph::platform::pcsclite::LiteFunctions StandIns();

}  // namespace standin

// A backend over the stand-ins with a context and a connected card.
class PcScLiteBackendStandIn : public ::testing::Test {
  protected:
    void SetUp() override {
        standin::g_state.listMayReturn = standin::g_state.releasedWhileListing = false;
        standin::g_state.connectBlocks = false;
        ASSERT_EQ(m_backend.EstablishContext(SCARD_SCOPE_SYSTEM, &m_context), 0u);
        uint32_t protocol = 0;
        ASSERT_EQ(m_backend.Connect(m_context, u"Stand-in Reader", SCARD_SHARE_SHARED,
                                    SCARD_PROTOCOL_T1, &m_card, &protocol),
                  0u);
    }
    void TearDown() override { LetListReturn(); }

    static void LetListReturn() {
        const std::lock_guard lock(standin::g_state.mutex);
        standin::g_state.listMayReturn = true;
        standin::g_state.changed.notify_all();
    }

    const zeph::platform::pcsclite::PcScLiteLibrary m_library{standin::StandIns()};
    zeph::platform::pcsclite::PcScLiteBackend m_backend{m_library};
    ScardContext m_context = 0;
    ScardHandle m_card = 0;
};
