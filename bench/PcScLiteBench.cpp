// The cost of the pcsc-lite backend on the real stack (pcscd + vpcd + virtual card, started by
// run-realstack-bench.sh): one SCardTransmit of SELECT 3F00 through the backend beside the same
// call made on pcsc-lite directly, on the same card in the same run. Goal: the backend adds less
// than 1 % to the round trip.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "DirectPcScLite.h"
#include "TestCards.h"
#include "pcsc/PcScConstants.h"
#include "pcsc/pcsclite/PcScLiteBackend.h"
#include "pcsc/pcsclite/PcScLiteLibrary.h"
#include "platform/TextConversion.h"

namespace {

using zeph::platform::pcsclite::PcScLiteBackend;
using zeph::platform::pcsclite::PcScLiteLibrary;

// How long to wait for pcscd and the card, which the script starts just before.
constexpr auto kStackDeadline = std::chrono::seconds(10);
constexpr auto kStackPoll = std::chrono::milliseconds(50);

// Both connections to the first reader that holds a card, made once for all benchmarks.
class BenchStack {
  public:
    BenchStack() : m_backend(m_library) {
        const auto deadline = std::chrono::steady_clock::now() + kStackDeadline;
        while (!(m_error = Open()).empty() && std::chrono::steady_clock::now() < deadline) {
            m_backend.ReleaseContext(m_context);
            std::this_thread::sleep_for(kStackPoll);
        }
    }
    ~BenchStack() {
        m_backend.Disconnect(m_card, SCARD_LEAVE_CARD);
        m_backend.ReleaseContext(m_context);
    }

    const std::string& Error() const { return m_error; }
    PcScLiteBackend& Backend() { return m_backend; }
    ScardHandle Card() const { return m_card; }
    DirectPcScLite& Direct() { return m_direct; }

  private:
    std::string Open();

    PcScLiteLibrary m_library;
    PcScLiteBackend m_backend;
    ScardContext m_context = 0;
    ScardHandle m_card = 0;
    DirectPcScLite m_direct;
    std::string m_error;
};

std::string BenchStack::Open() {
    if (m_backend.EstablishContext(SCARD_SCOPE_SYSTEM, &m_context) != SCARD_S_SUCCESS) {
        return "no PC/SC service: " + m_library.Status();
    }
    PcScMemory readers;
    m_backend.ListReaders(m_context, nullptr, readers);
    for (const char16_t* name = readers.Text(); name != nullptr && *name != u'\0';
         name += std::u16string(name).size() + 1) {
        uint32_t protocol = 0;
        if (m_backend.Connect(m_context, name, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, &m_card,
                              &protocol) != SCARD_S_SUCCESS) {
            continue;
        }
        std::string error;
        return m_direct.Connect(zeph::platform::WideToNarrow(name), &error) ? "" : error;
    }
    return "no reader holds a card";
}

BenchStack& Stack() {
    static BenchStack stack;
    return stack;
}

void TransmitSelect_DirectPcscLite(benchmark::State& state) {
    if (!Stack().Error().empty()) {
        state.SkipWithError(Stack().Error().c_str());
        return;
    }
    uint8_t answer[258];
    for (auto _ : state) {
        uint32_t length = sizeof(answer);
        if (Stack().Direct().Transmit(kSelectMasterFile, answer, &length) != 0) {
            state.SkipWithError("SCardTransmit failed");
            break;
        }
        benchmark::DoNotOptimize(answer);
    }
}
BENCHMARK(TransmitSelect_DirectPcscLite)->UseRealTime();

void TransmitSelect_Backend(benchmark::State& state) {
    if (!Stack().Error().empty()) {
        state.SkipWithError(Stack().Error().c_str());
        return;
    }
    const PcScIoRequest pci{SCARD_PROTOCOL_T1, sizeof(PcScIoRequest)};
    uint8_t answer[258];
    for (auto _ : state) {
        uint32_t length = sizeof(answer);
        if (Stack().Backend().Transmit(Stack().Card(), &pci, kSelectMasterFile.data(),
                                       static_cast<uint32_t>(kSelectMasterFile.size()), nullptr,
                                       answer, &length) != SCARD_S_SUCCESS) {
            state.SkipWithError("Transmit failed");
            break;
        }
        benchmark::DoNotOptimize(answer);
    }
}
BENCHMARK(TransmitSelect_Backend)->UseRealTime();

}  // namespace
