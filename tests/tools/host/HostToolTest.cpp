// The host tool's parts that need no module: the command APDUs it takes from its command line,
// and the diagnosis's judgement of each reader on the simulator (the maker's virtual readers and
// the vendor token's reader, which no real-stack reader can be named). Loading the module and
// stopping a run (the last cycle, a time limit) are what the real-stack host tests see of the tool.
#include <gtest/gtest.h>

#include "ApduHex.h"
#include "PcScSimulator.h"
#include "ReaderFindings.h"
#include "TestCards.h"
#include "identification/AtrTable.h"

namespace {

// Every shape of a command APDU, short and extended, is sent; one whose lengths do not match
// is refused before it reaches the card.
TEST(ApduHexTest, AcceptsEachShapeOfACommandAndRefusesMismatchedLengths) {
    const char* const valid[] = {
        "00A4000C",         "00A4000C00",     "00A4000C01",         "00A4000C023F00",
        "00A4000C023F0000", "00A4000C000100", "00A4000C0000023F00", "00A4000C0000023F000000"};
    const char* const invalid[] = {
        "00A400",           "00A4000C023F",     "00A4000C023F000000",   "00A4000C0001",
        "00A4000C0000003F", "00A4000C0000023F", "00A4000C0000023F0000", "00  A4000C"};
    for (const bool accepted : {true, false}) {
        for (const char* text : accepted ? std::span(valid) : std::span(invalid)) {
            std::string error;
            EXPECT_EQ(ParseApdu(text, error).has_value(), accepted) << text;
            EXPECT_EQ(error.empty(), accepted) << text << ": " << error;
        }
    }
    std::string error;
    EXPECT_EQ(ParseApdu("00 a4 00 0c-02:3f 00", error),
              (std::vector<uint8_t>{0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00}));
}

// What no reader of the real stack can be: one of the maker's virtual readers with a card in it
// (ignored) and the vendor token's reader (marked), beside a card that is taken; judged where the
// platform cannot locate cards by ATR, so the tool compares. Nothing is left open.
TEST(ReaderFindingsTest, IgnoresTheMakersReadersMarksTheTokenAndLeavesNothingOpen) {
    PcScAtrMask mask{24, {}, {}};
    std::ranges::copy(ZEPH_Helper::kPredefinedAtr, mask.rgbAtr);
    std::ranges::copy(ZEPH_Helper::kPredefinedAtrMask, mask.rgbMask);
    PcScSimulator simulator;
    for (const char16_t* reader :
         {u"TALPO Virtueller SmartCard Leser 0", u"KOBIL Systems Smart Token 1", u"Reader C"}) {
        simulator.AddReader(reader);
    }
    simulator.InsertCard(u"TALPO Virtueller SmartCard Leser 0", kPredefinedAtr);
    simulator.InsertCard(u"Reader C", kPredefinedAtr);
    simulator.InjectResults(sim::Call::LocateCardsByATR, {SCARD_E_UNSUPPORTED_FEATURE});
    const PcScFindings findings = ExamineReaders(simulator, {mask}, u"");
    EXPECT_TRUE(findings.masksComparedInTool);
    std::vector<std::string> verdicts;
    for (const ReaderFinding& reader : findings.readers) {
        verdicts.push_back(reader.name + ": " + ReaderVerdictText(reader.verdict) + " " +
                           reader.virtualKind + (reader.smartToken ? "token" : ""));
    }
    EXPECT_EQ(verdicts, (std::vector<std::string>{
                            "TALPO Virtueller SmartCard Leser 0: ignored virtual reader reader",
                            "KOBIL Systems Smart Token 1: empty token", "Reader C: accepted "}));
    EXPECT_EQ(simulator.OpenContexts(), 0u);
    EXPECT_EQ(simulator.OutstandingAllocations(), 0u);
}

}  // namespace
