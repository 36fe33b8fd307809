// What the tests of the card identification helpers share: a trace capture, the PC/SC
// simulator for the registered providers and an in-memory registry for the smart card database.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

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

// A UTF-16 text as a trace line carries it (ISO 8859-1).
inline std::string TraceText(std::u16string_view text) {
    return Latin1(text);
}

// The exit lines of the method traces that an exception left, in order.
inline std::vector<std::string> UnwoundMethods(const CapturingTraceSystem& capture) {
    std::vector<std::string> methods;
    for (const TraceLine& line : capture.Lines()) {
        if (line.level == 1 && line.text.rfind("<--- Ende: ", 0) == 0 &&
            line.text.find("StackUnwinding") != std::string::npos) {
            const size_t begin = std::string("<--- Ende: ").size();
            methods.push_back(line.text.substr(begin, line.text.find(' ', begin) - begin));
        }
    }
    return methods;
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
