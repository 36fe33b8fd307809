// pcsc-lite's headers define the WinSCard names as macros, so this file uses them and not the
// module's PcScConstants.h.
#include "RealScenarioStack.h"

#include <utility>

#include "PcscHandles.h"
#include "RealStack.h"
#include "platform/TextConversion.h"

RealScenarioStack::RealScenarioStack() {
    Require(m_library.Loaded(), m_library.Status());
    m_stack = std::make_unique<realstack::RealStack>(false);
}

RealScenarioStack::~RealScenarioStack() = default;

std::u16string RealScenarioStack::ReaderName() const {
    return zeph::platform::NarrowToWide(m_stack->ReaderName());
}

void RealScenarioStack::InsertCard(const std::vector<uint8_t>& atr) {
    Require(!m_cardAtr, "InsertCard: the reader holds a card already");
    realstack::VirtualCardOptions options;
    options.atr = HexText(atr);
    m_stack->InsertCard(options);
    m_cardAtr = atr;
}

void RealScenarioStack::RemoveCard() {
    Require(m_cardAtr.has_value(), "RemoveCard: the reader is empty");
    m_held.reset();
    m_stack->StopCards();
    m_cardAtr.reset();
    Require(m_stack->WaitForState(SCARD_STATE_EMPTY), "RemoveCard: the reader did not empty");
}

// pcscd ends, and with it every context and card connection; the card's process goes with its
// reader and comes back with it.
void RealScenarioStack::StopService() {
    m_held.reset();
    m_stack->StopCards();
    m_stack->StopPcscd();
}

void RealScenarioStack::StartService() {
    m_stack->StartPcscd();
    if (const std::optional<std::vector<uint8_t>> atr = std::exchange(m_cardAtr, std::nullopt)) {
        InsertCard(*atr);
    }
}

void RealScenarioStack::HoldCardExclusivelyElsewhere() {
    Require(m_held == nullptr, "HoldCardExclusivelyElsewhere: held already");
    m_held = std::make_unique<realstack::PcscCard>(m_stack->Context(), m_stack->ReaderName(),
                                                   SCARD_SHARE_EXCLUSIVE);
    Require(m_held->Status() == SCARD_S_SUCCESS,
            "HoldCardExclusivelyElsewhere: " + realstack::DescribeResult(m_held->Status()));
    Require(m_stack->WaitForState(SCARD_STATE_EXCLUSIVE), "the card was not held exclusively");
}

void RealScenarioStack::ReleaseCardElsewhere() {
    Require(m_held != nullptr, "ReleaseCardElsewhere: nothing is held");
    m_held.reset();
}
