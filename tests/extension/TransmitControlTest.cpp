// APDUs and reader control codes on a connected card, over the simulator.
#include "ExtensionHarness.h"
#include "pcsc/PcScConstants.h"

using sim::Call;

// Null arguments, and a command longer than PC/SC's 32-bit count could carry, never reach PC/SC.
TEST(Transmit, NullArgumentsAndLengthsBeyond32BitsNeverReachPcSc) {
    ConnectedHarness h;
    uint8_t b[8];
    uint64_t n = sizeof(b);
    const ZephSendHeader* t1 = &ExtensionHarness::kT1Header;
    EXPECT_EQ(h.extension->Transmit(nullptr, b, 1, b, &n), ZEPH_STATUS_NO_MEDIA);
    EXPECT_EQ(h.extension->Transmit(t1, nullptr, 1, b, &n), ZEPH_STATUS_NO_MEDIA);
    EXPECT_EQ(h.extension->Transmit(t1, b, 1, nullptr, &n), ZEPH_STATUS_NO_MEDIA);
    EXPECT_EQ(h.extension->Transmit(t1, b, 1, b, nullptr), ZEPH_STATUS_NO_MEDIA);
    EXPECT_EQ(h.extension->Transmit(t1, b, 1ull << 32, b, &n), SCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(h.Steps(), "");
}

// Device errors are retried, after longer pauses first; other failures are not. Every attempt is
// offered the host's whole capacity (cut to 32 bits), and PC/SC's count reaches the host only
// where it can be a count of the host's buffer: a success claiming more than was offered is cut
// to the capacity, a failure reports its count only within the capacity, a buffer too small the
// length needed.
TEST(Transmit, RetriesDeviceErrorsOnlyAndReturnsOnlyCountsOfTheHostsBuffer) {
    const uint32_t io = ERROR_IO_DEVICE_RESULT;
    const struct {
        uint64_t capacity;
        std::vector<uint32_t> failures;  // the first attempts' results, each leaving a count of 1
        uint32_t claimed;                // the count PC/SC reports after them; 0: the card's
        uint32_t status;                 // what PC/SC returns after them; 0: the card's
        uint32_t offered;
        uint64_t length;
        std::vector<uint32_t> pauses;
    } rows[] = {
        {40, {io}, 0, 0, 40, 2, {300}},
        {16, {io, io, io}, 0, io, 16, 1, {300, 200, 100}},
        {(1ull << 32) + 16, {}, 0, 0, 0xFFFFFFFFu, 2, {}},
        {16, {}, 0x5A5A5A5A, 0, 16, 16, {}},
        {16, {}, 0x5A5A5A5A, SCARD_W_REMOVED_CARD, 16, 0, {}},
        {1, {}, 2, SCARD_E_INSUFFICIENT_BUFFER, 1, 2, {}},  // the length needed
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.capacity << " after " << row.failures.size());
        ConnectedHarness h;
        std::vector<uint32_t> offered;
        h.pcsc.onTransmit = [&](uint32_t result, uint32_t capacity, uint32_t* length) {
            offered.push_back(capacity);
            if (offered.size() <= row.failures.size()) {
                *length = 1;
                return row.failures[offered.size() - 1];
            }
            *length = row.claimed != 0 ? row.claimed : *length;
            return row.status != 0 ? row.status : result;
        };
        const auto [status, response] = h.TransmitSelect(row.capacity);
        EXPECT_EQ(status, row.status);
        EXPECT_EQ(offered,
                  std::vector<uint32_t>(std::min<size_t>(row.failures.size() + 1, 3), row.offered));
        EXPECT_EQ(response.size(), row.length);
        EXPECT_EQ(h.sleeper.Pauses(), row.pauses);
    }
}

// A null buffer with a length or a capacity is refused before PC/SC is called, and no output
// space needs no buffer. (The code and the bytes each way are SmartTokenCheck's.)
TEST(Control, NullBuffersWithALengthNeverReachPcSc) {
    ConnectedHarness h;
    const uint8_t in[] = {0x5A};
    uint8_t out[8] = {};
    uint64_t length = sizeof(out);
    EXPECT_EQ(h.extension->Control(1, nullptr, 3, out, &length), SCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(length, 0u);
    length = sizeof(out);
    EXPECT_EQ(h.extension->Control(1, in, 1, nullptr, &length), SCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(h.simulator.CallCount(Call::Control), 0u);
    length = 0;
    h.extension->Control(1, in, 1, nullptr, &length);
    EXPECT_EQ(h.simulator.CallCount(Call::Control), 1u);
}
