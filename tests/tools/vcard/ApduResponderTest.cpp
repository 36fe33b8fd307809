#include "ApduResponder.h"

#include <gtest/gtest.h>

#include <vector>

namespace vcard {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Select(uint16_t fileId) {
    return {0x00,
            0xA4,
            0x00,
            0x0C,
            0x02,
            static_cast<uint8_t>(fileId >> 8),
            static_cast<uint8_t>(fileId & 0xFF)};
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
    struct Row {
        const char* name;
        std::vector<Bytes> commands;
        Bytes answer;
    };
    const Bytes read1{0x00, 0xB0, 0x00, 0x00, 0x01};
    const Row rows[] = {
        {"select without answer", {Select(0x3F00)}, {0x90, 0x00}},
        {"select of a file", {Select(0x2F02)}, {0x90, 0x00}},
        {"select with control parameters",
         {{0x00, 0xA4, 0x00, 0x00, 0x02, 0x3F, 0x00}},
         {0x62, 0x07, 0x82, 0x01, 0x38, 0x83, 0x02, 0x3F, 0x00, 0x90, 0x00}},
        {"select of a file with control parameters",
         {{0x00, 0xA4, 0x02, 0x04, 0x02, 0x50, 0x00, 0x00}},
         {0x62, 0x0B, 0x80, 0x02, 0x01, 0x2C, 0x82, 0x01, 0x01, 0x83, 0x02, 0x50, 0x00, 0x90,
          0x00}},
        {"unknown file", {Select(0x1234)}, {0x6A, 0x82}},
        {"unknown file keeps the selection",
         {Select(0x2F02), Select(0x1234), read1},
         {0x10, 0x90, 0x00}},
        {"read from an offset",
         {{0x00, 0xA4, 0x08, 0x0C, 0x02, 0x2F, 0x02}, {0x00, 0xB0, 0x00, 0x01, 0x03}},
         {0x11, 0x12, 0x13, 0x90, 0x00}},
        {"read of the last byte",
         {Select(0x2F02), {0x00, 0xB0, 0x00, 0x04, 0x01}},
         {0x14, 0x90, 0x00}},
        {"read past the end",
         {Select(0x2F02), {0x00, 0xB0, 0x00, 0x03, 0x05}},
         {0x13, 0x14, 0x62, 0x82}},
        {"read at the end", {Select(0x2F02), {0x00, 0xB0, 0x00, 0x05, 0x01}}, {0x6B, 0x00}},
        {"read beyond the end", {Select(0x2F02), {0x00, 0xB0, 0x01, 0x00, 0x01}}, {0x6B, 0x00}},
        {"read without a file", {read1}, {0x69, 0x86}},
        {"read of the master file", {Select(0x2F02), Select(0x3F00), read1}, {0x69, 0x86}},
        {"GET DATA", {{0x00, 0xCA, 0x00, 0x00, 0x00}}, {0x6D, 0x00}},
        {"proprietary class", {{0x80, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00}}, {0x6D, 0x00}},
        {"select by name", {{0x00, 0xA4, 0x04, 0x00, 0x02, 0x3F, 0x00}}, {0x6D, 0x00}},
        {"three-byte body", {{0x00, 0xA4, 0x00, 0x0C, 0x03, 0x3F, 0x00, 0x01}}, {0x6D, 0x00}},
        {"short file id", {{0x00, 0xB0, 0x81, 0x00, 0x01}}, {0x6D, 0x00}},
        {"read without Le", {Select(0x2F02), {0x00, 0xB0, 0x00, 0x00}}, {0x6D, 0x00}},
        {"truncated", {{0x00, 0xA4}}, {0x6D, 0x00}},
    };
    for (const Row& row : rows) {
        ApduResponder card = MakeResponder();
        Bytes answer;
        for (const Bytes& command : row.commands) {
            answer = card.Respond(command);
        }
        EXPECT_EQ(answer, row.answer) << row.name;
    }
    EXPECT_EQ(ApduResponder({}, 0x9000).Respond(Bytes{0x00, 0xCA, 0x00, 0x00, 0x00}),
              (Bytes{0x90, 0x00}));
}

TEST(ApduResponderTest, LeOf00AsksFor256BytesAndResetForgetsTheFile) {
    ApduResponder card = MakeResponder();
    card.Respond(Select(0x5000));
    const Bytes full = card.Respond(Bytes{0x00, 0xB0, 0x00, 0x00, 0x00});
    ASSERT_EQ(full.size(), 258u);
    EXPECT_EQ(full[255], 0xFF);
    EXPECT_EQ((Bytes{full[256], full[257]}), (Bytes{0x90, 0x00}));
    const Bytes rest = card.Respond(Bytes{0x00, 0xB0, 0x01, 0x00, 0x00});
    ASSERT_EQ(rest.size(), 46u);
    EXPECT_EQ(rest[0], 0x00);  // byte 256 of the file
    EXPECT_EQ((Bytes{rest[44], rest[45]}), (Bytes{0x62, 0x82}));

    card.Reset();
    EXPECT_EQ(card.Respond(Bytes{0x00, 0xB0, 0x00, 0x00, 0x01}), (Bytes{0x69, 0x86}));
}

TEST(CardFileSystemTest, MasterFileAlwaysExistsAndHoldsNoData) {
    CardFileSystem files;
    EXPECT_TRUE(files.Exists(CardFileSystem::kMasterFile));
    EXPECT_EQ(files.Contents(CardFileSystem::kMasterFile), nullptr);
    EXPECT_FALSE(files.AddFile(CardFileSystem::kMasterFile, {0x01}));
    EXPECT_FALSE(files.Exists(0x2F02));
    EXPECT_TRUE(files.AddFile(0x2F02, {0x01}));
    ASSERT_NE(files.Contents(0x2F02), nullptr);
    EXPECT_EQ(*files.Contents(0x2F02), (Bytes{0x01}));
}

}  // namespace
}  // namespace vcard
