// The extension object end to end on the real stack: the pcsc-lite backend, a private pcscd with
// vpcd and a virtual card. The object holds the card exclusively, as discovery leaves it, and the
// fixture's own pcsc-lite context plays the second application.
#include <memory>

#include "RealStackExtension.h"
#include "StackFixture.h"
#include "TestCards.h"
#include "zeph/ZephExtensionAbi.h"

namespace realstack {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kSelectFile2F02 = {0x00, 0xA4, 0x02, 0x0C, 0x02, 0x2F, 0x02};
const Bytes kReadBinary7 = {0x00, 0xB0, 0x00, 0x00, 0x07};
// The card's event for the master file's selection, which marks a point in its event stream.
constexpr const char* kSelectMasterFileEvent = "apdu 00A4000C023F00 9000";

class ExtensionRealStackTest : public StackFixture {
  protected:
    void SetUp() override {
        StackFixture::SetUp();
        VirtualCardOptions options;
        options.files = {"2F02=5A0A1122334455"};
        m_card = &InsertCard(options);
        m_extension = std::make_unique<RealStackExtension>();
        ASSERT_TRUE(m_extension->ConnectExclusively(ReaderName()));
        m_extension->OpenGate();  // as the host's absence check leaves it for resets
    }
    void TearDown() override {
        m_extension.reset();
        StackFixture::TearDown();
    }

    RealStackExtension& Extension() { return *m_extension; }
    VirtualCardProcess& Card() { return *m_card; }

    // The card has answered everything sent so far: later event searches see only what follows.
    void SyncCardEvents() {
        ASSERT_EQ(Extension().Transmit(kSelectMasterFile).status, ZEPH_STATUS_SUCCESS);
        ASSERT_TRUE(Card().WaitForEvent(kSelectMasterFileEvent));
    }
    // What another application gets when it asks for the card in this share mode.
    LONG ConnectElsewhere(DWORD shareMode) const {
        return PcscCard(Context(), ReaderName(), shareMode).Status();
    }

  private:
    VirtualCardProcess* m_card = nullptr;
    std::unique_ptr<RealStackExtension> m_extension;
};

TEST_F(ExtensionRealStackTest, HoldsTheCardExclusivelyWithT1) {
    EXPECT_TRUE(Extension().SharesExclusively());
    EXPECT_TRUE(Extension().UsesT1());
    EXPECT_NE(Context().CurrentState(ReaderName()).dwEventState & SCARD_STATE_EXCLUSIVE, 0u);
    EXPECT_EQ(ConnectElsewhere(SCARD_SHARE_SHARED), SCARD_E_SHARING_VIOLATION);
    EXPECT_EQ(ConnectElsewhere(SCARD_SHARE_EXCLUSIVE), SCARD_E_SHARING_VIOLATION);
}

TEST_F(ExtensionRealStackTest, TransmitCarriesCommandsToTheCardAndItsAnswersBack) {
    const RealStackExtension::Answer selected = Extension().Transmit(kSelectMasterFile);
    ASSERT_EQ(selected.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(selected.data, kStatusOk);
    ASSERT_EQ(Extension().Transmit(kSelectFile2F02).status, ZEPH_STATUS_SUCCESS);

    const RealStackExtension::Answer read = Extension().Transmit(kReadBinary7);
    ASSERT_EQ(read.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(read.data, (Bytes{0x5A, 0x0A, 0x11, 0x22, 0x33, 0x44, 0x55, 0x90, 0x00}));
    EXPECT_TRUE(Card().WaitForEvent("apdu 00B0000007 5A0A11223344559000"));
}

TEST_F(ExtensionRealStackTest, WarmResetResetsTheCardAndReturnsItsAtr) {
    SyncCardEvents();
    const RealStackExtension::Answer reset = Extension().Power(ZEPH_POWER_WARM_RESET);
    EXPECT_EQ(reset.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(reset.data, kPredefinedAtr);
    EXPECT_TRUE(Card().WaitForEvent("reset"));

    // Still the one connection, still exclusive, still serving.
    EXPECT_TRUE(Extension().SharesExclusively());
    EXPECT_EQ(ConnectElsewhere(SCARD_SHARE_SHARED), SCARD_E_SHARING_VIOLATION);
    const RealStackExtension::Answer selected = Extension().Transmit(kSelectMasterFile);
    EXPECT_EQ(selected.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(selected.data, kStatusOk);
}

TEST_F(ExtensionRealStackTest, ColdResetPowersTheCardOffAndOnAndReturnsItsAtr) {
    SyncCardEvents();
    const RealStackExtension::Answer reset = Extension().Power(ZEPH_POWER_COLD_RESET);
    EXPECT_EQ(reset.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(reset.data, kPredefinedAtr);
    // Powered off by the disconnection, on by the fresh connection, then once more by the
    // reconnection that unpowers it.
    for (int cycle = 0; cycle < 2; ++cycle) {
        EXPECT_TRUE(Card().WaitForEvent("power-off")) << "power cycle " << cycle;
        EXPECT_TRUE(Card().WaitForEvent("power-on")) << "power cycle " << cycle;
    }

    // The fresh connection is exclusive again and serves the host.
    EXPECT_TRUE(Extension().HoldsCard());
    EXPECT_TRUE(Extension().SharesExclusively());
    EXPECT_EQ(ConnectElsewhere(SCARD_SHARE_SHARED), SCARD_E_SHARING_VIOLATION);
    EXPECT_EQ(ConnectElsewhere(SCARD_SHARE_EXCLUSIVE), SCARD_E_SHARING_VIOLATION);
    ASSERT_EQ(Extension().Transmit(kSelectFile2F02).status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(Extension().Transmit(kReadBinary7).data,
              (Bytes{0x5A, 0x0A, 0x11, 0x22, 0x33, 0x44, 0x55, 0x90, 0x00}));
}

TEST_F(ExtensionRealStackTest, PowerDownReleasesTheContextAndTheCard) {
    SyncCardEvents();
    EXPECT_EQ(Extension().Power(ZEPH_POWER_DOWN).status, ZEPH_STATUS_SUCCESS);
    EXPECT_FALSE(Extension().HoldsContext());
    EXPECT_FALSE(Extension().HoldsCard());
    EXPECT_TRUE(Card().WaitForEvent("power-off"));

    const RealStackExtension::Answer after = Extension().Transmit(kSelectMasterFile);
    EXPECT_EQ(after.status, ZEPH_STATUS_NO_MEDIA);
    EXPECT_TRUE(after.data.empty());
    // The card is free for the second application now.
    EXPECT_EQ(ConnectElsewhere(SCARD_SHARE_EXCLUSIVE), SCARD_S_SUCCESS);
}

}  // namespace
}  // namespace realstack
