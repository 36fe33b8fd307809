// APDUs and reader control codes on a connected card, over the simulator.
#include "ExtensionHarness.h"
#include "TestCards.h"
#include "pcsc/PcScConstants.h"

using sim::Call;

namespace {

const ZephSendHeader kT1Header{SCARD_PROTOCOL_T1, 8};

struct Exchange {
    uint32_t status;
    std::vector<uint8_t> response;
};

Exchange TransmitSelect(ExtensionHarness& h, uint64_t capacity = 64) {
    std::vector<uint8_t> response(64, 0xEE);
    uint64_t length = capacity;
    const uint32_t status = h.extension->Transmit(
        &kT1Header, kSelectMasterFile.data(), kSelectMasterFile.size(), response.data(), &length);
    response.resize(std::min<uint64_t>(length, response.size()));
    return {status, response};
}

}  // namespace

TEST(Transmit, ReachesTheCardAndReturnsItsAnswer) {
    ExtensionHarness h;
    h.ConnectCard();
    const Exchange exchange = TransmitSelect(h);
    EXPECT_EQ(exchange.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(exchange.response, (std::vector<uint8_t>{0x90, 0x00}));
    EXPECT_EQ(h.access.TransmitCount(), 1u);
    EXPECT_TRUE(h.Traced(TRACE_DETAIL, "CZephExtensionPcSc::Transmit::Output <2> Bytes netto"));
}

TEST(Transmit, NullArgumentsAnswerNoMediaWithoutTouchingPcSc) {
    ExtensionHarness h;
    h.ConnectCard();
    uint8_t buffer[8];
    uint64_t length = sizeof(buffer);
    EXPECT_EQ(h.extension->Transmit(nullptr, buffer, 1, buffer, &length), ZEPH_STATUS_NO_MEDIA);
    EXPECT_EQ(h.extension->Transmit(&kT1Header, nullptr, 1, buffer, &length), ZEPH_STATUS_NO_MEDIA);
    EXPECT_EQ(h.extension->Transmit(&kT1Header, buffer, 1, nullptr, &length), ZEPH_STATUS_NO_MEDIA);
    EXPECT_EQ(h.extension->Transmit(&kT1Header, buffer, 1, buffer, nullptr), ZEPH_STATUS_NO_MEDIA);
    EXPECT_TRUE(h.simulator.Journal().empty());
}

TEST(Transmit, DeviceErrorIsRetriedAfterLongerWaitsFirst) {
    ExtensionHarness h;
    h.ConnectCard();
    h.simulator.InjectResults(Call::Transmit, {ERROR_IO_DEVICE_RESULT});
    EXPECT_EQ(TransmitSelect(h).status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(h.sleeper.Pauses(), std::vector<uint32_t>{300});
    EXPECT_EQ(h.access.TransmitCount(), 2u);

    h.simulator.InjectResults(
        Call::Transmit, {ERROR_IO_DEVICE_RESULT, ERROR_IO_DEVICE_RESULT, ERROR_IO_DEVICE_RESULT});
    EXPECT_EQ(TransmitSelect(h).status, ERROR_IO_DEVICE_RESULT);
    EXPECT_EQ(h.sleeper.Pauses(), (std::vector<uint32_t>{300, 300, 200, 100}));
    EXPECT_EQ(h.simulator.CallCount(Call::Transmit), 5u);
    EXPECT_TRUE(h.Traced(TRACE_ERROR,
                         "CZephExtensionPcSc::Transmit::Fehler <ERROR_IO_DEVICE>. "
                         "Es wird 100 msec gewartet und dann der Transmit erneut "
                         "versucht..."));
    EXPECT_TRUE(h.Traced(TRACE_ERROR,
                         "CZephExtensionPcSc::Transmit::SCardTransmit lieferte Fehler "
                         "<ERROR_IO_DEVICE>!"));
}

TEST(Transmit, RemovedCardIsNotRetried) {
    ExtensionHarness h;
    h.ConnectCard();
    h.simulator.RemoveCard(ExtensionHarness::kReader);
    EXPECT_EQ(TransmitSelect(h).status, SCARD_W_REMOVED_CARD);
    EXPECT_EQ(h.simulator.CallCount(Call::Transmit), 1u);
    EXPECT_TRUE(h.sleeper.Pauses().empty());
}

TEST(Transmit, EveryAttemptIsOfferedTheFullReceiveCapacity) {
    ExtensionHarness h;
    h.ConnectCard();
    std::vector<uint32_t> offered;
    h.pcsc.onTransmit = [&](uint32_t result, uint32_t capacity, uint32_t* length) {
        offered.push_back(capacity);
        if (offered.size() == 1) {
            *length = 1;  // a failed attempt that left a smaller count behind
            return ERROR_IO_DEVICE_RESULT;
        }
        return result;
    };
    EXPECT_EQ(TransmitSelect(h, 40).status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(offered, (std::vector<uint32_t>{40, 40}));
}

TEST(Transmit, LengthsBeyondThirtyTwoBitsNeverReachPcScTruncated) {
    ExtensionHarness h;
    h.ConnectCard();
    uint8_t buffer[64] = {};
    uint64_t length = sizeof(buffer);
    EXPECT_EQ(h.extension->Transmit(&kT1Header, kSelectMasterFile.data(), (1ull << 32) + 7, buffer,
                                    &length),
              SCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(h.simulator.CallCount(Call::Transmit), 0u);

    std::vector<uint32_t> offered;
    h.pcsc.onTransmit = [&](uint32_t result, uint32_t capacity, uint32_t*) {
        offered.push_back(capacity);
        return result;
    };
    const Exchange exchange = TransmitSelect(h, (1ull << 32) + 16);
    EXPECT_EQ(exchange.status, ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(offered, std::vector<uint32_t>{0xFFFFFFFFu});
    EXPECT_EQ(exchange.response.size(), 2u);  // the whole 64-bit count holds the received bytes
}

TEST(Control, WithoutACardIsNotSupportedAndTouchesNothing) {
    ExtensionHarness h;
    uint64_t length = 8;
    EXPECT_EQ(h.extension->Control(0x42000037, nullptr, 0, nullptr, &length),
              ZEPH_STATUS_NOT_SUPPORTED);
    EXPECT_TRUE(h.simulator.Journal().empty());
}

TEST(Control, PassesCodeAndBuffersAndReportsTheReturnedBytes) {
    ExtensionHarness h;
    std::vector<uint32_t> capacities;
    h.simulator.SetControlResponder(
        ExtensionHarness::kReader, [&](uint32_t code, std::span<const uint8_t> input) {
            return sim::ControlAnswer{
                0, {static_cast<uint8_t>(code), input.empty() ? uint8_t{0} : input[0]}};
        });
    h.ConnectCard();
    const uint8_t input[] = {0x5A};
    uint8_t output[8] = {};
    uint64_t length = sizeof(output);
    EXPECT_EQ(h.extension->Control(0x42000037, input, 1, output, &length), ZEPH_STATUS_SUCCESS);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(output[0], 0x37);
    EXPECT_EQ(output[1], 0x5A);
    EXPECT_EQ(h.simulator.Journal(Call::Control).at(0).argument, 0x42000037u);
    EXPECT_EQ(h.access.ControlCount(), 1u);
}

TEST(Control, FailureOrMissingLengthLeavesNoBytesBehind) {
    ExtensionHarness h;
    h.ConnectCard();
    h.simulator.InjectResults(Call::Control, {SCARD_E_NOT_READY});
    uint8_t output[8] = {};
    uint64_t length = sizeof(output);
    EXPECT_EQ(h.extension->Control(1, nullptr, 0, output, &length), SCARD_E_NOT_READY);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(
        h.Traced(TRACE_DETAIL,
                 "CZephExtensionPcSc::Control::Input fuer Control <0> Bytes - Outputbuffer <8> "
                 "Bytes"));

    h.traces.Clear();
    h.extension->Control(1, nullptr, 0, output, nullptr);
    EXPECT_TRUE(
        h.Traced(TRACE_DETAIL,
                 "CZephExtensionPcSc::Control::Input fuer Control <0> Bytes - Outputbuffer <-1> "
                 "Bytes"));
}

// PC/SC's count reaches the host only where it can be a count of the host's buffer: a success
// claiming more than was offered is cut to the capacity, a failure leaving a stray count reports 0.
TEST(Transmit, CountsBeyondTheCapacityNeverReachTheHost) {
    struct Case {
        uint32_t result;
        uint64_t expected;
    };
    for (const Case c : {Case{SCARD_S_SUCCESS, 16}, Case{SCARD_F_COMM_ERROR, 0}}) {
        ExtensionHarness h;
        h.ConnectCard();
        h.pcsc.onTransmit = [&](uint32_t, uint32_t, uint32_t* length) {
            *length = 0x5A5A5A5A;
            return c.result;
        };
        std::vector<uint8_t> response(16);
        uint64_t length = response.size();
        EXPECT_EQ(h.extension->Transmit(&kT1Header, kSelectMasterFile.data(),
                                        kSelectMasterFile.size(), response.data(), &length),
                  c.result);
        EXPECT_EQ(length, c.expected);
    }
}

// A null buffer with a length or capacity is refused before PC/SC is called.
TEST(Control, NullBufferWithALengthIsAnInvalidParameter) {
    ExtensionHarness h;
    h.ConnectCard();
    const uint8_t input[] = {0x01};
    uint8_t output[8] = {};
    uint64_t length = sizeof(output);
    EXPECT_EQ(h.extension->Control(1, nullptr, 3, output, &length), SCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(length, 0u);
    length = sizeof(output);
    EXPECT_EQ(h.extension->Control(1, input, 1, nullptr, &length), SCARD_E_INVALID_PARAMETER);
    EXPECT_EQ(h.simulator.CallCount(Call::Control), 0u);
    length = 0;
    h.extension->Control(1, input, 1, nullptr, &length);
    EXPECT_EQ(h.simulator.CallCount(Call::Control), 1u);  // no output space needs no buffer
}
