#include "pcsc/pcsclite/PcScLiteConversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pcsc/PcScConstants.h"

namespace zeph::platform::pcsclite {
namespace {

TEST(CardStateOrdinal, TakesTheMostAdvancedStateOfTheBitField) {
    EXPECT_EQ(CardStateOrdinal(0, 0), SCARD_UNKNOWN);
    EXPECT_EQ(CardStateOrdinal(kLiteStateUnknown, 0), SCARD_UNKNOWN);
    EXPECT_EQ(CardStateOrdinal(kLiteStatePresent, 0), SCARD_PRESENT);
    EXPECT_EQ(CardStateOrdinal(kLiteStatePresent | kLiteStateSwallowed, 0), SCARD_SWALLOWED);
    EXPECT_EQ(CardStateOrdinal(kLiteStatePresent | kLiteStatePowered, 0), SCARD_POWERED);
    EXPECT_EQ(CardStateOrdinal(kLiteStatePresent | kLiteStatePowered | kLiteStateNegotiable, 0),
              SCARD_NEGOTIABLE);
    EXPECT_EQ(CardStateOrdinal(kLiteStatePresent | kLiteStatePowered | kLiteStateSpecific, 2),
              SCARD_SPECIFIC);
}

TEST(CardStateOrdinal, AbsentWinsOverStaleBits) {
    EXPECT_EQ(CardStateOrdinal(kLiteStateAbsent, 0), SCARD_ABSENT);
    EXPECT_EQ(CardStateOrdinal(kLiteStateAbsent | kLiteStatePowered, 0), SCARD_ABSENT);
}

TEST(CardStateOrdinal, NegotiableCardWithActiveProtocolIsSpecific) {
    const Dword negotiable = kLiteStatePresent | kLiteStatePowered | kLiteStateNegotiable;
    EXPECT_EQ(CardStateOrdinal(negotiable, SCARD_PROTOCOL_T1), SCARD_SPECIFIC);
    EXPECT_EQ(CardStateOrdinal(negotiable, kLiteProtocolRaw), SCARD_SPECIFIC);
    EXPECT_EQ(CardStateOrdinal(kLiteStatePresent | kLiteStatePowered, SCARD_PROTOCOL_T1),
              SCARD_POWERED);
}

TEST(ProtocolConversion, RawMovesBetweenTheTwoValuesOthersPassThrough) {
    EXPECT_EQ(ToLiteProtocols(SCARD_PROTOCOL_RAW), kLiteProtocolRaw);
    EXPECT_EQ(ToLiteProtocols(SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1), 3u);
    EXPECT_EQ(ToLiteProtocols(SCARD_PROTOCOL_T1 | SCARD_PROTOCOL_RAW), 2u | kLiteProtocolRaw);
    EXPECT_EQ(FromLiteProtocol(kLiteProtocolRaw), SCARD_PROTOCOL_RAW);
    EXPECT_EQ(FromLiteProtocol(SCARD_PROTOCOL_T1), SCARD_PROTOCOL_T1);
    EXPECT_EQ(FromLiteProtocol(0), SCARD_PROTOCOL_UNDEFINED);
}

TEST(ResultConversion, LongResultsBecome32BitCodesAndUnsupportedFeatureMoves) {
    EXPECT_EQ(ToWinResult(0), SCARD_S_SUCCESS);
    EXPECT_EQ(ToWinResult(0x8010000BL), SCARD_E_SHARING_VIOLATION);
    EXPECT_EQ(ToWinResult(0x8010001FL), SCARD_E_UNSUPPORTED_FEATURE);
    EXPECT_EQ(ToWinResult(0x80100022L), SCARD_E_UNSUPPORTED_FEATURE);
}

// Only a reader's failed I/O becomes ERROR_IO_DEVICE; a raw exchange may be short.
TEST(ResultConversion, TransmitReportsTheReadersFailedIoAsDeviceError) {
    const struct {
        uint32_t result;
        uint32_t protocol;
        Dword received;
        uint32_t expected;
    } cases[] = {
        {SCARD_E_NOT_TRANSACTED, SCARD_PROTOCOL_T1, 0, ERROR_IO_DEVICE_RESULT},
        {SCARD_S_SUCCESS, SCARD_PROTOCOL_T1, 0, ERROR_IO_DEVICE_RESULT},
        {SCARD_S_SUCCESS, SCARD_PROTOCOL_T0, 1, ERROR_IO_DEVICE_RESULT},
        {SCARD_S_SUCCESS, SCARD_PROTOCOL_T1, 2, SCARD_S_SUCCESS},
        {SCARD_S_SUCCESS, SCARD_PROTOCOL_RAW, 0, SCARD_S_SUCCESS},
        {SCARD_W_REMOVED_CARD, SCARD_PROTOCOL_T1, 0, SCARD_W_REMOVED_CARD},
        {SCARD_E_INSUFFICIENT_BUFFER, SCARD_PROTOCOL_T1, 1, SCARD_E_INSUFFICIENT_BUFFER},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToWinTransmitResult(c.result, c.protocol, c.received), c.expected)
            << std::hex << c.result << " protocol " << c.protocol << " received " << c.received;
    }
}

TEST(IoRequestConversion, CarriesTheProtocolAndEachSideItsOwnHeaderLength) {
    const LiteIoRequest lite = ToLiteIoRequest({SCARD_PROTOCOL_RAW, 8});
    EXPECT_EQ(lite.dwProtocol, kLiteProtocolRaw);
    EXPECT_EQ(lite.cbPciLength, sizeof(LiteIoRequest));
    const PcScIoRequest win = FromLiteIoRequest({SCARD_PROTOCOL_T1, sizeof(LiteIoRequest)});
    EXPECT_EQ(win.dwProtocol, SCARD_PROTOCOL_T1);
    EXPECT_EQ(win.cbPciLength, 8u);
}

TEST(MultiString, SplitsUtf8NamesAndRebuildsThemAsUtf16) {
    const char multi[] = "Reader A 00 00\0Lecteur \xC3\xA9t\xC3\xA9 00 01\0";
    const auto names = SplitMultiString(multi, sizeof(multi));
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "Reader A 00 00");
    EXPECT_EQ(names[1], "Lecteur \xC3\xA9t\xC3\xA9 00 01");

    const std::u16string wide = ToWideMultiString(names);
    const std::u16string expected =
        std::u16string(u"Reader A 00 00") + u'\0' + u"Lecteur \u00E9t\u00E9 00 01" + u'\0' + u'\0';
    EXPECT_EQ(wide, expected);
}

TEST(MultiString, StopsAtTheGivenLengthAndAtAnEmptyName) {
    const char unterminated[] = {'A', 'B'};
    const auto cut = SplitMultiString(unterminated, sizeof(unterminated));
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0], "AB");

    const char early[] = "One\0\0Ghost\0";
    EXPECT_EQ(SplitMultiString(early, sizeof(early)).size(), 1u);
    EXPECT_TRUE(SplitMultiString(nullptr, 10).empty());
}

TEST(MultiString, EmptyListIsTwoZeros) {
    EXPECT_EQ(ToWideMultiString({}), std::u16string(2, u'\0'));
}

TEST(PnPName, MatchesRegardlessOfAsciiCaseOnly) {
    EXPECT_TRUE(IsPnPNotificationName("\\\\?PnP?\\Notification"));
    EXPECT_TRUE(IsPnPNotificationName("\\\\?pnp?\\NOTIFICATION"));
    EXPECT_FALSE(IsPnPNotificationName("\\\\?PnP?\\Notification2"));
    EXPECT_FALSE(IsPnPNotificationName("\\?PnP?\\Notification"));
}

PcScAtrMask MaskOf(const std::vector<uint8_t>& atr, const std::vector<uint8_t>& mask) {
    PcScAtrMask result{};
    result.cbAtr = static_cast<uint32_t>(atr.size());
    std::memcpy(result.rgbAtr, atr.data(), atr.size());
    std::memcpy(result.rgbMask, mask.data(), mask.size());
    return result;
}

TEST(AtrMatch, ComparesOnlyTheMaskedBitsOverTheWholeLength) {
    const std::vector<uint8_t> card = {0x3B, 0x8F, 0x80, 0x01};
    EXPECT_TRUE(AtrMatches(MaskOf(card, {0xFF, 0xFF, 0xFF, 0xFF}), card.data(), 4));
    EXPECT_TRUE(
        AtrMatches(MaskOf({0x3B, 0x8F, 0x80, 0x77}, {0xFF, 0xFF, 0xFF, 0x00}), card.data(), 4));
    EXPECT_TRUE(
        AtrMatches(MaskOf({0x3B, 0x0F, 0x80, 0x01}, {0xFF, 0x0F, 0xFF, 0xFF}), card.data(), 4));
    EXPECT_FALSE(
        AtrMatches(MaskOf({0x3B, 0x8F, 0x80, 0x02}, {0xFF, 0xFF, 0xFF, 0xFF}), card.data(), 4));
    EXPECT_FALSE(
        AtrMatches(MaskOf({0x3B, 0x1F, 0x80, 0x01}, {0xFF, 0xF0, 0xFF, 0xFF}), card.data(), 4));
}

TEST(AtrMatch, AnAtrOfAnotherLengthNeverMatches) {
    const std::vector<uint8_t> card = {0x3B, 0x8F, 0x80, 0x01};
    EXPECT_FALSE(AtrMatches(MaskOf({0x3B, 0x8F, 0x80}, {0, 0, 0}), card.data(), 4));
    EXPECT_FALSE(
        AtrMatches(MaskOf({0x3B, 0x8F, 0x80, 0x01, 0x00}, {0, 0, 0, 0, 0}), card.data(), 4));
}

}  // namespace
}  // namespace zeph::platform::pcsclite
