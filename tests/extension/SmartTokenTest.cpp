// The Smart Token reader's firmware check, and the reading of the firmware file.
#include "ExtensionHarness.h"
#include "extension/SmartTokenFirmware.h"
#include "pcsc/PcScConstants.h"

using sim::Call;

namespace {

const std::u16string kSmartToken = u"KOBIL Systems Smart Token 0";
const std::vector<uint8_t> kSwitchCommand = {0x80, 0xFF, 0x7F, 0x80, 0x04, 0x51, 0x3A, 0x7C, 0x29};

// A Smart Token reader without a card whose firmware file reads as `file`; records the commands.
struct SmartTokenReader {
    explicit SmartTokenReader(ExtensionHarness& h, std::vector<uint8_t> file) {
        h.simulator.AddReader(kSmartToken);
        h.simulator.SetControlResponder(
            kSmartToken, [this, file](uint32_t code, std::span<const uint8_t> input) {
                codes.push_back(code);
                commands.emplace_back(input.begin(), input.end());
                const bool read = input.size() > 1 && input[1] == 0xB0;
                return sim::ControlAnswer{0, read ? file : std::vector<uint8_t>{0x90, 0x00}};
            });
    }
    std::vector<uint32_t> codes;
    std::vector<std::vector<uint8_t>> commands;
};

}  // namespace

TEST(SmartTokenFirmware, VersionTextNeverReadsPastTheReturnedBytes) {
    using Bytes = std::vector<uint8_t>;
    EXPECT_EQ(FindFirmwareVersion(Bytes{0x01, 0x0F, 0x04, '1', '.', '2', 0x00, 'x'}), "1.2");
    EXPECT_EQ(FindFirmwareVersion(Bytes{0x0F, 0x7F, 'V', '3'}), "V3");  // length byte lies
    EXPECT_EQ(FindFirmwareVersion(Bytes{0x00, 0x0F}), "");              // tag in the last byte
    EXPECT_EQ(FindFirmwareVersion(Bytes{0x0F, 0x02}), "");
    EXPECT_EQ(FindFirmwareVersion(Bytes{0x01, 0x02}), std::nullopt);
    EXPECT_EQ(FindFirmwareVersion(Bytes{}), std::nullopt);
}

// The reader is connected directly, its firmware file selected and read; only a reader whose file
// names no version is switched out of its boot loader. The connection is left as it was.
TEST(SmartTokenCheck, ReaderWithoutFirmwareVersionIsSwitchedOutOfItsBootLoader) {
    using Bytes = std::vector<uint8_t>;
    const Bytes kSelect = {0x00, 0xA4, 0x00, 0x00, 0x02, 0x00, 0x20};
    const Bytes kRead = {0x00, 0xB0, 0x00, 0x00, 0x00};
    const std::string kSwitched = "Reset des Gerätes war erfolgreich!";
    const std::string kVersion = "gelesene Firmwareversion = <2.10>";
    const struct {
        Bytes file;
        std::vector<Bytes> commands;
        std::string traced;
    } rows[] = {
        {{0x0F, 0x05, '2', '.', '1', '0', 0x00}, {kSelect, kRead}, kVersion},
        {{0x01, 0x02, 0x03}, {kSelect, kRead, kSwitchCommand}, kSwitched},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.traced);
        ExtensionHarness h;
        SmartTokenReader reader(h, row.file);
        ASSERT_TRUE(h.access.GetContext());
        h.access.SwitchBootLoader(kSmartToken);
        EXPECT_EQ(reader.commands, row.commands);
        EXPECT_EQ(reader.codes.at(0), h.simulator.ControlCode(55));
        EXPECT_TRUE(h.Traced(TRACE_DETAIL, "Helper_SwitchBootLoaderForSmartToken", row.traced));
        EXPECT_EQ(h.simulator.Journal(Call::Connect).at(0).shareMode, SCARD_SHARE_DIRECT);
        EXPECT_EQ(h.simulator.OpenConnections(), 0u);
    }
}
