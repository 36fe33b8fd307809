// The cost the extension object adds to an APDU exchange, on the simulator: Transmit of SELECT
// 3F00 through the object beside the same exchange made straight on the simulator, on the
// object's own exclusive connection, in the same run. Compare with random interleaving and
// repetitions (see README.md). Goals with tracing off: under 150 ns and under 1,000 instructions
// added per exchange (instructions: run the two TransmitSelect benchmarks under callgrind and
// divide the inclusive cost of ExchangeThroughObject and ExchangeOnBackend by their calls).
//
// Trace configurations of the object's figures:
// - TraceOff: the trace system is there and traces nothing;
// - TraceErrors: it traces exceptions, errors and warnings only (method traces then open and
//   prepare their entry line, held back for an exception, without writing anything);
// - TraceAll: it traces every level, level 16 (method frames, Transmit's lines) included, and
//   drops the lines.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "ExtensionHarness.h"
#include "NullTraceSystem.h"
#include "PcScSimulator.h"
#include "RecordingSleeper.h"
#include "TestCards.h"
#include "extension/ZephExtensionPcSc.h"
#include "pcsc/PcScConstants.h"
#include "tracing/TraceLevels.h"
#include "tracing/TraceSystemLib.h"

namespace {

const std::u16string kReader = u"Bench Reader 0";
const ZephSendHeader kT1Header{SCARD_PROTOCOL_T1, sizeof(ZephSendHeader)};
constexpr uint32_t kAnswerCapacity = 258;
// The simulator journals every call; the journal is emptied this often, outside the timing.
constexpr int64_t kJournalBatch = 4096;

// A trace system that traces the levels of one mask and drops the lines.
class MaskedTraceSystem {
  public:
    explicit MaskedTraceSystem(uint16_t levels) {
        s_levels.store(levels);
        TraceSystemLib::Instance().InstallForTesting({&ShouldTrace, &ShouldTraceCategory, &Drop});
    }
    ~MaskedTraceSystem() { TraceSystemLib::Instance().ResetForTesting(); }
    MaskedTraceSystem(const MaskedTraceSystem&) = delete;
    MaskedTraceSystem& operator=(const MaskedTraceSystem&) = delete;

  private:
    static bool ShouldTrace(int level) { return (level & s_levels.load()) != 0; }
    static bool ShouldTraceCategory(int level, const char*) { return ShouldTrace(level); }
    static int Drop(int, const char*, const char*) { return 0; }

    static inline std::atomic<uint16_t> s_levels{0};
};

// The object connected exclusively to the simulator's card, as discovery leaves it.
class SimulatorStack {
  public:
    SimulatorStack() {
        m_simulator.AddReader(kReader);
        m_simulator.InsertCard(kReader, kPredefinedAtr);
        ExtensionTestAccess access(*m_extension);
        m_connected = access.GetContext() && access.Connect(kReader, false);
        m_card = access.Card();
    }
    ~SimulatorStack() {
        ExtensionTestAccess(*m_extension).ReleaseContext(SCARD_LEAVE_CARD);
        m_extension->ScalarDeletingDestructor(1);
    }
    SimulatorStack(const SimulatorStack&) = delete;
    SimulatorStack& operator=(const SimulatorStack&) = delete;

    bool Connected() const { return m_connected; }
    CZephExtensionPcSc& Extension() { return *m_extension; }
    PcScSimulator& Simulator() { return m_simulator; }
    ScardHandle Card() const { return m_card; }

  private:
    PcScSimulator m_simulator;
    RecordingSleeper m_sleeper;
    CZephExtensionPcSc* m_extension = new CZephExtensionPcSc(m_simulator, m_sleeper);
    bool m_connected = false;
    ScardHandle m_card = 0;
};

SimulatorStack& Stack() {
    static SimulatorStack stack;
    return stack;
}

// One exchange each way; kept out of line so that callgrind counts each per call.
[[gnu::noinline]] uint32_t ExchangeThroughObject(CZephExtensionPcSc& extension, uint8_t* answer) {
    uint64_t length = kAnswerCapacity;
    return extension.Transmit(&kT1Header, kSelectMasterFile.data(), kSelectMasterFile.size(),
                              answer, &length);
}

[[gnu::noinline]] uint32_t ExchangeOnBackend(PcScApi& pcsc, ScardHandle card, uint8_t* answer) {
    const PcScIoRequest sendPci{SCARD_PROTOCOL_T1, sizeof(PcScIoRequest)};
    PcScIoRequest receivePci = sendPci;
    uint32_t length = kAnswerCapacity;
    return pcsc.Transmit(card, &sendPci, kSelectMasterFile.data(),
                         static_cast<uint32_t>(kSelectMasterFile.size()), &receivePci, answer,
                         &length);
}

// Runs the exchange for the benchmark, emptying the simulator's journal between batches.
template <typename Exchange>
void RunExchanges(benchmark::State& state, Exchange exchange) {
    if (!Stack().Connected()) {
        state.SkipWithError("the object did not connect to the simulator's card");
        return;
    }
    Stack().Simulator().ClearJournal();
    uint8_t answer[kAnswerCapacity];
    int64_t inBatch = 0;
    for (auto _ : state) {
        if (exchange(answer) != SCARD_S_SUCCESS) {
            state.SkipWithError("the exchange failed");
            break;
        }
        benchmark::DoNotOptimize(answer);
        if (++inBatch == kJournalBatch) {
            state.PauseTiming();
            Stack().Simulator().ClearJournal();
            inBatch = 0;
            state.ResumeTiming();
        }
    }
}

void TransmitSelect_Backend(benchmark::State& state) {
    const NullTraceSystem traceSystem(false);
    RunExchanges(state, [](uint8_t* answer) {
        return ExchangeOnBackend(Stack().Simulator(), Stack().Card(), answer);
    });
}
BENCHMARK(TransmitSelect_Backend);

void TransmitSelect_Object_TraceOff(benchmark::State& state) {
    const NullTraceSystem traceSystem(false);
    RunExchanges(
        state, [](uint8_t* answer) { return ExchangeThroughObject(Stack().Extension(), answer); });
}
BENCHMARK(TransmitSelect_Object_TraceOff);

void TransmitSelect_Object_TraceErrors(benchmark::State& state) {
    const MaskedTraceSystem traceSystem(TRACE_EXCEPTION | TRACE_ERROR | TRACE_WARNING);
    RunExchanges(
        state, [](uint8_t* answer) { return ExchangeThroughObject(Stack().Extension(), answer); });
}
BENCHMARK(TransmitSelect_Object_TraceErrors);

void TransmitSelect_Object_TraceAll(benchmark::State& state) {
    const NullTraceSystem traceSystem(true);
    RunExchanges(
        state, [](uint8_t* answer) { return ExchangeThroughObject(Stack().Extension(), answer); });
}
BENCHMARK(TransmitSelect_Object_TraceAll);

}  // namespace
