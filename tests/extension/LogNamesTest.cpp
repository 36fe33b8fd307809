#include "pcsc/LogNames.h"

#include <gtest/gtest.h>

TEST(LogNames, CardStatesAndTheirHexFallback) {
    EXPECT_EQ(CardStateName(0), u"<UNKNOWN>");
    EXPECT_EQ(CardStateName(1), u"<ABSENT>");
    EXPECT_EQ(CardStateName(6), u"<SPECIFIC>");
    EXPECT_EQ(CardStateName(7), u"<0x00000007>");
    EXPECT_EQ(CardStateName(0xFFFFFFFFu), u"<0xffffffff>");
}

TEST(LogNames, ProtocolMasksCompareAsAWhole) {
    EXPECT_EQ(ProtocolName(0), u"<UNDEF>");
    EXPECT_EQ(ProtocolName(2), u"<T1>");
    EXPECT_EQ(ProtocolName(3), u"<T0/T1>");
    EXPECT_EQ(ProtocolName(0x10000), u"<RAW>");
    EXPECT_EQ(ProtocolName(0x10002), u"<0x00010002>");
}

TEST(LogNames, PowerActions) {
    EXPECT_EQ(PowerActionName(0), u"<POWER DOWN>");
    EXPECT_EQ(PowerActionName(1), u"<COLD RESET>");
    EXPECT_EQ(PowerActionName(2), u"<WARM RESET>");
    EXPECT_EQ(PowerActionName(3), u"<0x00000003>");
}

TEST(LogNames, ErrorsBySign) {
    EXPECT_EQ(ErrorName(0), u"<OK>");
    EXPECT_EQ(ErrorName(0x45D), u"<ERROR_IO_DEVICE>");
    EXPECT_EQ(ErrorName(5), u"<Code 0x00000005>");
    EXPECT_EQ(ErrorName(0x8010000B), u"<SHARING_VIOLATION>");
    EXPECT_EQ(ErrorName(0x8010002F), u"<COM_DATA_LOST>");
    EXPECT_EQ(ErrorName(0x8010006E), u"<CANCELLED_BY_USER>");
    EXPECT_EQ(ErrorName(0x80100003), u"<Code 0x80100003>");
    EXPECT_EQ(ErrorName(0xC0000178), u"<Code 0xc0000178>");
}

TEST(LogNames, AttributesIncludingTheModulesOwn) {
    EXPECT_EQ(AttributeName(0x00010100), u"Leser-Hersteller");
    EXPECT_EQ(AttributeName(0x0007AA01), u"Aktueller Leser");
    EXPECT_EQ(AttributeName(0x0007AA02), u"Manuelle Lesereinstellung");
    EXPECT_EQ(AttributeName(0x7FFF0001), u"Leser-Instanz");
    EXPECT_EQ(AttributeName(0x00080201), u"ID <0x00080201>");
}
