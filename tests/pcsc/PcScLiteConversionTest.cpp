// Conversions between pcsc-lite's binary interface and the module's (Windows') PC/SC values. The
// masked ATR match is pinned on the real stack by tests/scenarios/ReaderScenarios.cpp.
#include "pcsc/pcsclite/PcScLiteConversion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pcsc/PcScConstants.h"

namespace zeph::platform::pcsclite {
namespace {

TEST(CardStateOrdinal, TakesTheMostAdvancedStateAbsentWinsAndAProtocolMakesItSpecific) {
    constexpr Dword kPowered = kLiteStatePresent | kLiteStatePowered;
    const struct {
        Dword state;
        Dword protocol;
        uint32_t ordinal;
    } cases[] = {
        {0, 0, SCARD_UNKNOWN},
        {kLiteStatePresent, 0, SCARD_PRESENT},
        {kLiteStatePresent | kLiteStateSwallowed, 0, SCARD_SWALLOWED},
        {kPowered, 0, SCARD_POWERED},
        {kPowered | kLiteStateNegotiable, 0, SCARD_NEGOTIABLE},
        {kLiteStateAbsent | kLiteStatePowered, 0, SCARD_ABSENT},
        {kPowered | kLiteStateNegotiable, SCARD_PROTOCOL_T1, SCARD_SPECIFIC},
        {kPowered, SCARD_PROTOCOL_T1, SCARD_POWERED},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CardStateOrdinal(c.state, c.protocol), c.ordinal)
            << std::hex << c.state << " protocol " << c.protocol;
    }
}

// Long results become 32-bit codes; pcsc-lite's "unsupported feature" moves to Windows' value;
// only a reader's failed I/O becomes ERROR_IO_DEVICE (the failed exchanges of a real reader are
// in PcScLiteBackendRealTest), and a raw exchange may be short.
TEST(ResultConversion, ResultsAndTransmitResults) {
    EXPECT_EQ(ToWinResult(0x8010000BL), SCARD_E_SHARING_VIOLATION);
    EXPECT_EQ(ToWinResult(0x8010001FL), SCARD_E_UNSUPPORTED_FEATURE);  // pcsc-lite's own code
    EXPECT_EQ(ToWinResult(0x80100022L), SCARD_E_UNSUPPORTED_FEATURE);
    const struct {
        uint32_t result;
        uint32_t protocol;
        Dword received;
        uint32_t expected;
    } cases[] = {
        {SCARD_S_SUCCESS, SCARD_PROTOCOL_T0, 1, ERROR_IO_DEVICE_RESULT},
        {SCARD_S_SUCCESS, SCARD_PROTOCOL_T1, 2, SCARD_S_SUCCESS},
        {SCARD_S_SUCCESS, SCARD_PROTOCOL_RAW, 0, SCARD_S_SUCCESS},
        {SCARD_E_INSUFFICIENT_BUFFER, SCARD_PROTOCOL_T1, 1, SCARD_E_INSUFFICIENT_BUFFER},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToWinTransmitResult(c.result, c.protocol, c.received), c.expected)
            << std::hex << c.result << " protocol " << c.protocol << " received " << c.received;
    }
}

TEST(MultiString, SplitsUtf8NamesUpToTheLengthOrAnEmptyNameAndRebuildsThemAsUtf16) {
    const char multi[] = "Reader A 00 00\0Lecteur \xC3\xA9t\xC3\xA9 00 01\0";
    const auto names = SplitMultiString(multi, sizeof(multi));
    EXPECT_EQ(names,
              (std::vector<std::string>{"Reader A 00 00", "Lecteur \xC3\xA9t\xC3\xA9 00 01"}));
    EXPECT_EQ(ToWideMultiString(names), std::u16string(u"Reader A 00 00") + u'\0' +
                                            u"Lecteur \u00E9t\u00E9 00 01" + u'\0' + u'\0');
    EXPECT_EQ(ToWideMultiString({}), std::u16string(2, u'\0'));
    const char unterminated[] = {'A', 'B'};
    EXPECT_EQ(SplitMultiString(unterminated, 2), std::vector<std::string>{"AB"});
    const char early[] = "One\0\0Ghost\0";
    EXPECT_EQ(SplitMultiString(early, sizeof(early)), std::vector<std::string>{"One"});
    EXPECT_TRUE(SplitMultiString(nullptr, 10).empty());
}

}  // namespace
}  // namespace zeph::platform::pcsclite
