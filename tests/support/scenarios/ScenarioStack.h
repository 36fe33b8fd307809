// A PC/SC stack that the shared scenarios run against: the module's seam, plus the means to
// change the world behind it (the card in the reader, another application holding it). The
// simulator and the real Linux stack (pcscd + vpcd + virtual card) each provide one, so the same
// scenarios measure how faithfully the simulator behaves.
#pragma once

#include "TestCards.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "pcsc/PcScApi.h"

// The ATR as the virtual card and the stack server take it: two hex digits a byte.
inline std::string HexText(const std::vector<uint8_t>& bytes) {
    std::string hex;
    for (const uint8_t byte : bytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", byte);
        hex += digits;
    }
    return hex;
}

// A stack's way to refuse a change it cannot make.
inline void Require(bool done, const std::string& what) {
    if (!done) {
        throw std::runtime_error(what);
    }
}

class ScenarioStack {
  public:
    virtual ~ScenarioStack() = default;

    virtual PcScApi& Api() = 0;
    // The one reader the scenarios use.
    virtual std::u16string ReaderName() const = 0;

    // Puts a card with this ATR into the reader and returns once PC/SC reports it present.
    virtual void InsertCard(const std::vector<uint8_t>& atr) = 0;
    // Takes the card out and returns once PC/SC reports the reader empty.
    virtual void RemoveCard() = 0;

    // Another application connects to the card exclusively / lets it go again.
    virtual void HoldCardExclusivelyElsewhere() = 0;
    virtual void ReleaseCardElsewhere() = 0;

    // The PC/SC service stops: every context and card handle from before dies for good. It
    // starts again with the reader and the card (if one was in) as they were.
    virtual void StopService() = 0;
    virtual void StartService() = 0;

    // How many status-change waits are in progress on the context (so that a scenario knows its
    // wait has begun).
    virtual size_t WaitsInProgress(ScardContext context) const = 0;

    // Why the stack's PC/SC cannot make this call at all (a platform that lacks the function);
    // empty when it can. A scenario that needs the call is skipped with the reason.
    virtual std::string Lacks(const std::string& /*call*/) const { return {}; }
};

// The stack of the program: each scenario program links one stack, whose source defines this.
std::unique_ptr<ScenarioStack> MakeScenarioStack();
