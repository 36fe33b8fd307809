// The name tables' fallbacks and the rows at their edges.
#include "pcsc/LogNames.h"

#include <gtest/gtest.h>

TEST(LogNames, FallbacksAndBoundaryRows) {
    const struct {
        std::u16string (*name)(uint32_t);
        uint32_t value;
        std::u16string text;
    } rows[] = {
        {CardStateName, 0, u"<UNKNOWN>"},
        {CardStateName, 7, u"<0x00000007>"},
        {ProtocolName, 0, u"<UNDEF>"},
        {ProtocolName, 3, u"<T0/T1>"},
        {ProtocolName, 0x10000, u"<RAW>"},
        {ProtocolName, 0x10002, u"<0x00010002>"},  // masks compare as a whole
        {PowerActionName, 0, u"<POWER DOWN>"},
        {PowerActionName, 2, u"<WARM RESET>"},
        {PowerActionName, 3, u"<0x00000003>"},
        {ErrorName, 0, u"<OK>"},
        {ErrorName, 0x8010006E, u"<CANCELLED_BY_USER>"},
        {ErrorName, 0xC0000178, u"<Code 0xc0000178>"},
        {AttributeName, 0x0007AA01, u"Aktueller Leser"},
        {AttributeName, 0x7FFF0001, u"Leser-Instanz"},
        {AttributeName, 0x00080201, u"ID <0x00080201>"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.name(row.value), row.text) << std::hex << row.value;
    }
}
