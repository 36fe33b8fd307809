#include "ApduResponder.h"

#include <gtest/gtest.h>

#include <vector>

#include "Hex.h"

namespace vcard {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Hex(const char* text) {
    return zeph::tools::ParseHex(text, zeph::tools::HexSeparators::AnyBetweenPairs).value();
}

// File 2F02 holds 10..14, file 5000 the 300 bytes 00, 01, ... (modulo 256).
ApduResponder MakeResponder() {
    CardFileSystem files;
    files.AddFile(0x2F02, {0x10, 0x11, 0x12, 0x13, 0x14});
    Bytes large(300);
    for (size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<uint8_t>(i);
    }
    files.AddFile(0x5000, large);
    return ApduResponder(files, 0x6D00);
}

// The card's answer to the last command, after the earlier ones of the row.
TEST(ApduResponderTest, AnswersEachCommandAfterTheOnesBefore) {
    const char* const select2F02 = "00A4000C02 2F02";
    const char* const read1 = "00B0000001";
    const struct {
        const char* name;
        std::vector<const char*> commands;
        const char* answer;
    } rows[] = {
        {"select without answer", {"00A4000C02 3F00"}, "9000"},
        {"select of a file", {select2F02}, "9000"},
        {"select with control parameters", {"00A4000002 3F00"}, "6207 820138 83023F00 9000"},
        {"select of a file with control parameters",
         {"00A4020402 5000 00"},
         "620B 8002012C 820101 83025000 9000"},
        {"unknown file", {"00A4000C02 1234"}, "6A82"},
        {"unknown file keeps the selection", {select2F02, "00A4000C02 1234", read1}, "10 9000"},
        {"read from an offset", {"00A4080C02 2F02", "00B0000103"}, "111213 9000"},
        {"read of the last byte", {select2F02, "00B0000401"}, "14 9000"},
        {"read past the end", {select2F02, "00B0000305"}, "1314 6282"},
        {"read at the end", {select2F02, "00B0000501"}, "6B00"},
        {"read beyond the end", {select2F02, "00B0010001"}, "6B00"},
        {"read without a file", {read1}, "6986"},
        {"read of the master file", {select2F02, "00A4000C02 3F00", read1}, "6986"},
        {"GET DATA", {"00CA000000"}, "6D00"},
        {"proprietary class", {"80A4000C02 3F00"}, "6D00"},
        {"select by name", {"00A4040002 3F00"}, "6D00"},
        {"three-byte body", {"00A4000C03 3F0001"}, "6D00"},
        {"short file id", {"00B0810001"}, "6D00"},
        {"read without Le", {select2F02, "00B00000"}, "6D00"},
        {"truncated", {"00A4"}, "6D00"},
    };
    for (const auto& row : rows) {
        ApduResponder card = MakeResponder();
        Bytes answer;
        for (const char* command : row.commands) {
            answer = card.Respond(Hex(command));
        }
        EXPECT_EQ(answer, Hex(row.answer)) << row.name;
    }
    EXPECT_EQ(ApduResponder({}, 0x9000).Respond(Hex("00CA000000")), Hex("9000"));
}

TEST(ApduResponderTest, LeOf00AsksFor256BytesAndResetForgetsTheFile) {
    ApduResponder card = MakeResponder();
    card.Respond(Hex("00A4000C02 5000"));
    const Bytes full = card.Respond(Hex("00B0000000"));
    ASSERT_EQ(full.size(), 258u);
    EXPECT_EQ(full[255], 0xFF);
    EXPECT_EQ((Bytes{full[256], full[257]}), Hex("9000"));
    const Bytes rest = card.Respond(Hex("00B0010000"));
    ASSERT_EQ(rest.size(), 46u);
    EXPECT_EQ(rest[0], 0x00);  // byte 256 of the file
    EXPECT_EQ((Bytes{rest[44], rest[45]}), Hex("6282"));

    card.Reset();
    EXPECT_EQ(card.Respond(Hex("00B0000001")), Hex("6986"));
}

}  // namespace
}  // namespace vcard
