#include "ApduResponder.h"

#include <gtest/gtest.h>

#include <vector>

namespace vcard {
namespace {

using Bytes = std::vector<uint8_t>;

class ApduResponderTest : public ::testing::Test {
  protected:
    static ApduResponder MakeResponder() {
        CardFileSystem files;
        files.AddFile(0x2F02, {0x10, 0x11, 0x12, 0x13, 0x14});
        Bytes large(300);
        for (size_t i = 0; i < large.size(); ++i) {
            large[i] = static_cast<uint8_t>(i);
        }
        files.AddFile(0x5000, large);
        return ApduResponder(files, 0x6D00);
    }

    Bytes Send(const Bytes& command) { return m_responder.Respond(command); }

    static Bytes SelectNoData(uint16_t fileId) {
        return {0x00,
                0xA4,
                0x00,
                0x0C,
                0x02,
                static_cast<uint8_t>(fileId >> 8),
                static_cast<uint8_t>(fileId & 0xFF)};
    }

    ApduResponder m_responder = MakeResponder();
};

TEST_F(ApduResponderTest, SelectWithP2_0C_AnswersStatusOnly) {
    EXPECT_EQ(Send(SelectNoData(0x3F00)), (Bytes{0x90, 0x00}));
    EXPECT_EQ(Send(SelectNoData(0x2F02)), (Bytes{0x90, 0x00}));
}

TEST_F(ApduResponderTest, SelectWithOtherP2_ReturnsControlParameters) {
    EXPECT_EQ(Send({0x00, 0xA4, 0x00, 0x00, 0x02, 0x3F, 0x00}),
              (Bytes{0x62, 0x07, 0x82, 0x01, 0x38, 0x83, 0x02, 0x3F, 0x00, 0x90, 0x00}));
    EXPECT_EQ(Send({0x00, 0xA4, 0x02, 0x04, 0x02, 0x50, 0x00, 0x00}),
              (Bytes{0x62, 0x0B, 0x80, 0x02, 0x01, 0x2C, 0x82, 0x01, 0x01, 0x83, 0x02, 0x50, 0x00,
                     0x90, 0x00}));
}

TEST_F(ApduResponderTest, SelectUnknownFile_Answers6A82AndKeepsSelection) {
    Send(SelectNoData(0x2F02));
    EXPECT_EQ(Send(SelectNoData(0x1234)), (Bytes{0x6A, 0x82}));
    EXPECT_EQ(Send({0x00, 0xB0, 0x00, 0x00, 0x01}), (Bytes{0x10, 0x90, 0x00}));
}

TEST_F(ApduResponderTest, ReadBinary_ReturnsBytesFromOffset) {
    Send({0x00, 0xA4, 0x08, 0x0C, 0x02, 0x2F, 0x02});
    EXPECT_EQ(Send({0x00, 0xB0, 0x00, 0x01, 0x03}), (Bytes{0x11, 0x12, 0x13, 0x90, 0x00}));
    EXPECT_EQ(Send({0x00, 0xB0, 0x00, 0x04, 0x01}), (Bytes{0x14, 0x90, 0x00}));
}

TEST_F(ApduResponderTest, ReadBinaryPastTheEnd_WarnsOrFails) {
    Send(SelectNoData(0x2F02));
    EXPECT_EQ(Send({0x00, 0xB0, 0x00, 0x03, 0x05}), (Bytes{0x13, 0x14, 0x62, 0x82}));
    EXPECT_EQ(Send({0x00, 0xB0, 0x00, 0x05, 0x01}), (Bytes{0x6B, 0x00}));
    EXPECT_EQ(Send({0x00, 0xB0, 0x01, 0x00, 0x01}), (Bytes{0x6B, 0x00}));
}

TEST_F(ApduResponderTest, ReadBinaryLe00_AsksFor256Bytes) {
    Send(SelectNoData(0x5000));
    const Bytes full = Send({0x00, 0xB0, 0x00, 0x00, 0x00});
    ASSERT_EQ(full.size(), 258u);
    EXPECT_EQ(full[255], 0xFF);
    EXPECT_EQ((Bytes{full[256], full[257]}), (Bytes{0x90, 0x00}));

    const Bytes rest = Send({0x00, 0xB0, 0x01, 0x00, 0x00});
    ASSERT_EQ(rest.size(), 46u);
    EXPECT_EQ(rest[0], 0x00);  // byte 256 of the file
    EXPECT_EQ((Bytes{rest[44], rest[45]}), (Bytes{0x62, 0x82}));
}

TEST_F(ApduResponderTest, ReadBinaryWithoutCurrentFile_Answers6986) {
    EXPECT_EQ(Send({0x00, 0xB0, 0x00, 0x00, 0x01}), (Bytes{0x69, 0x86}));
    Send(SelectNoData(0x2F02));
    Send(SelectNoData(0x3F00));
    EXPECT_EQ(Send({0x00, 0xB0, 0x00, 0x00, 0x01}), (Bytes{0x69, 0x86}));
}

TEST_F(ApduResponderTest, Reset_ForgetsSelection) {
    Send(SelectNoData(0x2F02));
    m_responder.Reset();
    EXPECT_EQ(Send({0x00, 0xB0, 0x00, 0x00, 0x01}), (Bytes{0x69, 0x86}));
}

TEST_F(ApduResponderTest, OtherCommands_GetConfiguredStatus) {
    const std::vector<Bytes> others = {
        {0x00, 0xCA, 0x00, 0x00, 0x00},                    // GET DATA
        {0x80, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00},        // proprietary class
        {0x00, 0xA4, 0x04, 0x00, 0x02, 0x3F, 0x00},        // select by name
        {0x00, 0xA4, 0x00, 0x0C, 0x03, 0x3F, 0x00, 0x01},  // three-byte body
        {0x00, 0xB0, 0x81, 0x00, 0x01},                    // short file id
        {0x00, 0xB0, 0x00, 0x00},                          // no Le
        {0x00, 0xA4},                                      // truncated
    };
    for (const Bytes& command : others) {
        EXPECT_EQ(Send(command), (Bytes{0x6D, 0x00})) << ::testing::PrintToString(command);
    }
    ApduResponder permissive({}, 0x9000);
    EXPECT_EQ(permissive.Respond(Bytes{0x00, 0xCA, 0x00, 0x00, 0x00}), (Bytes{0x90, 0x00}));
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
