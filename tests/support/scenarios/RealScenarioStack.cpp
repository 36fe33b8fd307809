// The shared scenarios' stack over the real Linux PC/SC stack (RealStack.h): the pcsc-lite
// backend as the module's seam, and the stack's own pcsc-lite context as the other application.
// Runs only inside run-in-namespace.sh. pcsc-lite's headers define the WinSCard names as macros,
// so this file uses them and not the module's PcScConstants.h.
#include <memory>
#include <optional>
#include <utility>

#include "PcscHandles.h"
#include "RealStack.h"
#include "ScenarioStack.h"
#include "pcsc/pcsclite/PcScLiteBackend.h"
#include "pcsc/pcsclite/PcScLiteLibrary.h"
#include "platform/TextConversion.h"

namespace {

class RealScenarioStack final : public ScenarioStack {
  public:
    RealScenarioStack() {
        Require(m_library.Loaded(), m_library.Status());
        m_stack = std::make_unique<realstack::RealStack>(false);
    }

    PcScApi& Api() override { return m_backend; }
    std::u16string ReaderName() const override {
        return zeph::platform::NarrowToWide(m_stack->ReaderName());
    }
    void InsertCard(const std::vector<uint8_t>& atr) override {
        Require(!m_cardAtr, "InsertCard: the reader holds a card already");
        realstack::VirtualCardOptions options;
        options.atr = HexText(atr);
        m_stack->InsertCard(options);
        m_cardAtr = atr;
    }
    void RemoveCard() override {
        Require(m_cardAtr.has_value(), "RemoveCard: the reader is empty");
        m_held.reset();
        m_stack->StopCards();
        m_cardAtr.reset();
        Require(m_stack->WaitForState(SCARD_STATE_EMPTY), "RemoveCard: the reader did not empty");
    }
    void HoldCardExclusivelyElsewhere() override {
        Require(m_held == nullptr, "HoldCardExclusivelyElsewhere: held already");
        m_held = std::make_unique<realstack::PcscCard>(m_stack->Context(), m_stack->ReaderName(),
                                                       SCARD_SHARE_EXCLUSIVE);
        Require(m_held->Status() == SCARD_S_SUCCESS,
                "HoldCardExclusivelyElsewhere: " + realstack::DescribeResult(m_held->Status()));
        Require(m_stack->WaitForState(SCARD_STATE_EXCLUSIVE), "the card was not held exclusively");
    }
    void ReleaseCardElsewhere() override {
        Require(m_held != nullptr, "ReleaseCardElsewhere: nothing is held");
        m_held.reset();
    }
    // pcscd ends, and with it every context and card connection; the card's process goes with
    // its reader and comes back with it.
    void StopService() override {
        m_held.reset();
        m_stack->StopCards();
        m_stack->StopPcscd();
    }
    void StartService() override {
        m_stack->StartPcscd();
        if (const std::optional<std::vector<uint8_t>> atr =
                std::exchange(m_cardAtr, std::nullopt)) {
            InsertCard(*atr);
        }
    }
    size_t WaitsInProgress(ScardContext context) const override {
        return m_backend.OpenWaits(context);
    }
    realstack::RealStack& Real() { return *m_stack; }

  private:
    // First, so that pcsc-lite is loaded by the backend (which turns off its sharing waits)
    // before the stack's own pcsc-lite calls; last to go. The backend goes first.
    zeph::platform::pcsclite::PcScLiteLibrary m_library;
    std::unique_ptr<realstack::RealStack> m_stack;
    std::optional<std::vector<uint8_t>> m_cardAtr;  // the card in the reader
    std::unique_ptr<realstack::PcscCard> m_held;    // the other application's connection
    zeph::platform::pcsclite::PcScLiteBackend m_backend{m_library};
};

}  // namespace

realstack::RealStack& RealStackOf(ScenarioStack& stack) {
    return static_cast<RealScenarioStack&>(stack).Real();
}

std::unique_ptr<ScenarioStack> MakeScenarioStack() {
    return std::make_unique<RealScenarioStack>();
}
