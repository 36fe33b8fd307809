// What the tests of the card identification helpers share: a trace capture, the PC/SC
// simulator for the registered providers and an in-memory registry for the smart card database.
#pragma once

#include <gtest/gtest.h>

#include "CapturingTraceSystem.h"
#include "MemoryRegistry.h"
#include "PcScSimulator.h"
#include "identification/CardIdentificationServices.h"
#include "pcsc/SmartCardDatabase.h"
#include "tracing/TraceLevels.h"
#include "tracing/TraceSinks.h"

inline constexpr char16_t kKmdtCard[] = u"TALPO SmartCard";
inline constexpr char16_t kCspCard[] = u"Talpo eCard T3";

// The database key of a card type.
inline std::u16string CalaisKey(std::u16string_view cardType) {
    return std::u16string(kSmartCardDatabaseKey) + u"\\" + std::u16string(cardType);
}

class HelperTest : public ::testing::Test {
  protected:
    void TearDown() override { SetHelperLibComponent(kHelperLibDefaultTraceComponent); }

    // The messages at the level, without the entry and exit lines of method traces.
    std::vector<std::string> TextsAt(uint16_t level) const { return capture.TextsAt(level); }

    // The maker's minidriver with a key storage provider: detection gives provider 3.
    void RegisterMinidriverWithKsp() {
        pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderKsp,
                                 u"Microsoft Smart Card Key Storage Provider");
        pcsc.SetCardTypeProvider(kKmdtCard, kScardProviderCardModule,
                                 u"C:\\Windows\\System32\\TPKMDT64.DLL");
    }

    CapturingTraceSystem capture;
    PcScSimulator pcsc;
    MemoryRegistry registry;
    ZEPH_Helper::CardIdentificationServices services{pcsc, registry};
};
