// The Smart Token reader's firmware check, and the reading of the firmware file.
#include "ExtensionHarness.h"
#include "extension/SmartTokenFirmware.h"
#include "pcsc/PcScConstants.h"

using sim::Call;

using Bytes = std::vector<uint8_t>;

TEST(SmartTokenFirmware, VersionTextNeverReadsPastTheReturnedBytes) {
    EXPECT_EQ(FindFirmwareVersion(Bytes{0x01, 0x0F, 0x04, '1', '.', '2', 0x00, 'x'}), "1.2");
    EXPECT_EQ(FindFirmwareVersion(Bytes{0x0F, 0x7F, 'V', '3'}), "V3");  // length byte lies
    EXPECT_EQ(FindFirmwareVersion(Bytes{0x00, 0x0F}), "");              // tag in the last byte
    EXPECT_EQ(FindFirmwareVersion(Bytes{0x01, 0x02}), std::nullopt);
}

// The reader is connected directly, its firmware file selected and read; only a reader whose file
// names no version is switched out of its boot loader. The connection is left as it was.
TEST(SmartTokenCheck, ReaderWithoutFirmwareVersionIsSwitchedOutOfItsBootLoader) {
    const std::u16string kSmartToken = u"KOBIL Systems Smart Token 0";
    const Bytes kSelect = {0x00, 0xA4, 0x00, 0x00, 0x02, 0x00, 0x20};
    const Bytes kRead = {0x00, 0xB0, 0x00, 0x00, 0x00};
    const Bytes kSwitch = {0x80, 0xFF, 0x7F, 0x80, 0x04, 0x51, 0x3A, 0x7C, 0x29};
    const std::string kSwitched = "Reset des Gerätes war erfolgreich!";
    const std::string kVersion = "gelesene Firmwareversion = <2.10>";
    const struct {
        Bytes file;
        std::vector<Bytes> commands;
        std::string traced;
    } rows[] = {
        {{0x0F, 0x05, '2', '.', '1', '0', 0x00}, {kSelect, kRead}, kVersion},
        {{0x01, 0x02, 0x03}, {kSelect, kRead, kSwitch}, kSwitched},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.traced);
        std::vector<uint32_t> codes;
        std::vector<Bytes> commands;
        ExtensionHarness h;
        h.simulator.AddReader(kSmartToken);
        h.simulator.SetControlResponder(
            kSmartToken, [&](uint32_t code, std::span<const uint8_t> in) {
                codes.push_back(code);
                commands.emplace_back(in.begin(), in.end());
                const bool read = in.size() > 1 && in[1] == 0xB0;
                return sim::ControlAnswer{0, read ? row.file : Bytes{0x90, 0x00}};
            });
        ASSERT_TRUE(h.access.GetContext());
        h.access.SwitchBootLoader(kSmartToken);
        EXPECT_EQ(commands, row.commands);
        EXPECT_EQ(codes.at(0), h.simulator.ControlCode(55));
        EXPECT_TRUE(h.Traced(TRACE_DETAIL, "Helper_SwitchBootLoaderForSmartToken", row.traced));
        EXPECT_EQ(h.simulator.Journal(Call::Connect).at(0).shareMode, SCARD_SHARE_DIRECT);
        EXPECT_EQ(h.simulator.OpenConnections(), 0u);
    }
}
