// The cost the extension object adds to an APDU exchange on the real stack: Transmit of SELECT
// 3F00 through the object beside the same exchange made straight on the pcsc-lite backend, on the
// object's own exclusive connection, in the same run: as separate benchmarks (compare them with
// random interleaving and repetitions), and pair by pair (TransmitSelectPairs_*, whose ratio
// counter holds up on a machine whose load drifts). The program starts its own pcscd (one vpcd
// reader) and virtual card, so it runs only inside the real-stack harness's private namespaces:
// bench/run-extension-realstack-bench.sh. Goals for the object/backend ratio of the round trip:
// at most 1.01 with tracing off, at most 1.05 with every level traced into a trace system that
// drops the lines.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ExtensionHarness.h"
#include "NullTraceSystem.h"
#include "RealStack.h"
#include "TestCards.h"
#include "extension/ZephExtensionPcSc.h"
#include "pcsc/PcScConstants.h"
#include "pcsc/PlatformPcSc.h"
#include "platform/TextConversion.h"

namespace {

const ZephSendHeader kT1Header{SCARD_PROTOCOL_T1, sizeof(ZephSendHeader)};
constexpr uint32_t kAnswerCapacity = 258;

// The real stack with the card in the reader, and the object connected exclusively to the card
// through the platform's backend, as discovery leaves it.
class BenchStack {
  public:
    BenchStack() {
        try {
            m_stack = std::make_unique<realstack::RealStack>();
            m_stack->InsertCard();
            m_extension = new CZephExtensionPcSc(PlatformPcSc(), PlatformSleeper());
            ExtensionTestAccess access(*m_extension);
            if (!access.GetContext() ||
                !access.Connect(zeph::platform::NarrowToWide(m_stack->ReaderName()), false)) {
                throw std::runtime_error("the object did not connect to the card");
            }
            m_cardHandle = access.Card();
        } catch (const std::exception& error) {
            m_error = error.what();
        }
    }
    ~BenchStack() {
        if (m_extension != nullptr) {
            ExtensionTestAccess(*m_extension).ReleaseContext(SCARD_LEAVE_CARD);
            m_extension->ScalarDeletingDestructor(1);
        }
    }
    BenchStack(const BenchStack&) = delete;
    BenchStack& operator=(const BenchStack&) = delete;

    const std::string& Error() const { return m_error; }
    CZephExtensionPcSc& Extension() { return *m_extension; }
    ScardHandle Card() const { return m_cardHandle; }

  private:
    std::unique_ptr<realstack::RealStack> m_stack;
    CZephExtensionPcSc* m_extension = nullptr;
    ScardHandle m_cardHandle = 0;
    std::string m_error;
};

BenchStack& Stack() {
    static BenchStack stack;
    return stack;
}

template <typename Exchange>
void RunExchanges(benchmark::State& state, Exchange exchange) {
    if (!Stack().Error().empty()) {
        state.SkipWithError(Stack().Error().c_str());
        return;
    }
    uint8_t answer[kAnswerCapacity];
    for (auto _ : state) {
        if (exchange(answer) != SCARD_S_SUCCESS) {
            state.SkipWithError("the exchange failed");
            break;
        }
        benchmark::DoNotOptimize(answer);
    }
}

uint32_t ExchangeThroughObject(uint8_t* answer) {
    uint64_t length = kAnswerCapacity;
    return Stack().Extension().Transmit(&kT1Header, kSelectMasterFile.data(),
                                        kSelectMasterFile.size(), answer, &length);
}

uint32_t ExchangeOnBackend(uint8_t* answer) {
    const PcScIoRequest sendPci{SCARD_PROTOCOL_T1, sizeof(PcScIoRequest)};
    PcScIoRequest receivePci = sendPci;
    uint32_t length = kAnswerCapacity;
    return PlatformPcSc().Transmit(Stack().Card(), &sendPci, kSelectMasterFile.data(),
                                   static_cast<uint32_t>(kSelectMasterFile.size()), &receivePci,
                                   answer, &length);
}

void TransmitSelect_Backend(benchmark::State& state) {
    const NullTraceSystem traceSystem(false);
    RunExchanges(state, ExchangeOnBackend);
}
BENCHMARK(TransmitSelect_Backend)->UseRealTime()->Unit(benchmark::kMicrosecond);

void TransmitSelect_Object_TraceOff(benchmark::State& state) {
    const NullTraceSystem traceSystem(false);
    RunExchanges(state, ExchangeThroughObject);
}
BENCHMARK(TransmitSelect_Object_TraceOff)->UseRealTime()->Unit(benchmark::kMicrosecond);

void TransmitSelect_Object_TraceAll(benchmark::State& state) {
    const NullTraceSystem traceSystem(true);
    RunExchanges(state, ExchangeThroughObject);
}
BENCHMARK(TransmitSelect_Object_TraceAll)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The same comparison made pair by pair, for a machine whose load drifts within a run: each
// iteration times one exchange through the object and one on the backend, in alternating order,
// so both see the same conditions. Counters: the median round trip of each (µs) and their ratio.
using Clock = std::chrono::steady_clock;

double Median(std::vector<double>& values) {
    if (values.empty()) {
        return 0;
    }
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

double TimedExchange(uint32_t (*exchange)(uint8_t*), uint8_t* answer, bool& failed) {
    const Clock::time_point start = Clock::now();
    failed = exchange(answer) != SCARD_S_SUCCESS || failed;
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void RunPairs(benchmark::State& state) {
    if (!Stack().Error().empty()) {
        state.SkipWithError(Stack().Error().c_str());
        return;
    }
    std::vector<double> object;
    std::vector<double> backend;
    uint8_t answer[kAnswerCapacity];
    bool failed = false;
    bool objectFirst = true;
    for (auto _ : state) {
        if (objectFirst) {
            object.push_back(TimedExchange(ExchangeThroughObject, answer, failed));
            backend.push_back(TimedExchange(ExchangeOnBackend, answer, failed));
        } else {
            backend.push_back(TimedExchange(ExchangeOnBackend, answer, failed));
            object.push_back(TimedExchange(ExchangeThroughObject, answer, failed));
        }
        objectFirst = !objectFirst;
        if (failed) {
            state.SkipWithError("an exchange failed");
            break;
        }
        benchmark::DoNotOptimize(answer);
    }
    const double objectMedian = Median(object);
    const double backendMedian = Median(backend);
    state.counters["object_us"] = objectMedian;
    state.counters["backend_us"] = backendMedian;
    state.counters["ratio"] = backendMedian > 0 ? objectMedian / backendMedian : 0;
}

void TransmitSelectPairs_TraceOff(benchmark::State& state) {
    const NullTraceSystem traceSystem(false);
    RunPairs(state);
}
BENCHMARK(TransmitSelectPairs_TraceOff)->UseRealTime()->Unit(benchmark::kMicrosecond);

void TransmitSelectPairs_TraceAll(benchmark::State& state) {
    const NullTraceSystem traceSystem(true);
    RunPairs(state);
}
BENCHMARK(TransmitSelectPairs_TraceAll)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
