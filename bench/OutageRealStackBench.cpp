// The CPU a host costs that calls IsPresent in a tight loop, over 10 s of wall time, on the real
// stack (private pcscd, one vpcd reader, the virtual card, the module loaded through its export):
//
// - Outage: IsPresent waits on the empty reader, then pcscd is stopped and stays away for the
//   10 s. The object lets go of its dead context, and every IsPresent waits a second before it
//   answers 0xC0000184 (invalid device state), so the loop makes about one call a second.
// - Healthy: pcscd with the empty reader; the first IsPresent waits for a card for the whole
//   10 s, and Cancel ends it afterwards.
// - CardPresent: the card stays in the reader, so every IsPresent connects at once: the busy loop
//   of reconnections that the outage's wait keeps the host from.
//
// Counters: cpu_ms (the process's CPU time in the 10 s, every thread), cpu_pct (of one core),
// calls (IsPresent calls that ran in the 10 s, the one running when they began included), answers
// (calls that returned in the 10 s). Each row starts its own pcscd; the program runs only
// inside the real-stack harness's private namespaces: bench/run-outage-realstack-bench.sh.
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "BackgroundCall.h"
#include "HostLoop.h"
#include "ModuleLoader.h"
#include "RealStack.h"

namespace {

constexpr std::chrono::seconds kWindow{10};
constexpr std::chrono::milliseconds kWaitingTimeout{5000};

enum class Reader { Empty, WithCard };

double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

ModuleLoader& Module() {
    static ModuleLoader module(ZEPH_MODULE_PATH);
    if (module.Factory() == nullptr) {
        throw std::runtime_error(std::string(ZEPH_MODULE_PATH) + ": " + module.Error());
    }
    return module;
}

// One row's real stack (with the card in the reader, or without), and one object of the module.
class OutageStack {
  public:
    explicit OutageStack(Reader reader) {
        if (reader == Reader::WithCard) {
            m_stack.InsertCard();
        }
        m_object = Module().Factory()();
        if (m_object == nullptr) {
            throw std::runtime_error("the module returned no object");
        }
    }
    ~OutageStack() {
        m_object->Cancel();
        m_object->ScalarDeletingDestructor(1);
    }
    OutageStack(const OutageStack&) = delete;
    OutageStack& operator=(const OutageStack&) = delete;

    CZephExtensionAbstract& Object() { return *m_object; }
    void StopPcscd() { m_stack.StopPcscd(); }

  private:
    realstack::RealStack m_stack;
    CZephExtensionAbstract* m_object = nullptr;
};

// The loop's figures over the window, which starts now.
void MeasureWindow(benchmark::State& state, const HostLoop& loop) {
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = ProcessCpuMs();
    const uint64_t returnedStart = loop.Returned();
    std::this_thread::sleep_for(kWindow);
    const double cpuMs = ProcessCpuMs() - cpuStart;
    const double windowMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart)
            .count();
    state.SetIterationTime(windowMs / 1e3);
    state.counters["cpu_ms"] = cpuMs;
    state.counters["cpu_pct"] = 100.0 * cpuMs / windowMs;
    state.counters["calls"] = static_cast<double>(loop.Calls() - returnedStart);
    state.counters["answers"] = static_cast<double>(loop.Returned() - returnedStart);
    if (loop.Unexpected() != 0) {
        const std::string error = std::to_string(loop.Unexpected()) +
                                  " calls answered otherwise, last " +
                                  std::to_string(loop.LastUnexpected());
        state.SkipWithError(error.c_str());
    }
}

template <typename Row>
void RunRow(benchmark::State& state, Reader reader, uint32_t expected, Row beforeWindow) {
    try {
        OutageStack stack(reader);
        for (auto _ : state) {
            HostLoop loop(stack.Object(), expected);
            if (!beforeWindow(stack, loop)) {
                state.SkipWithError("IsPresent did not wait on the reader");
                return;
            }
            MeasureWindow(state, loop);
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void HostLoop_Outage(benchmark::State& state) {
    RunRow(state, Reader::Empty, ZEPH_STATUS_INVALID_DEVICE_STATE,
           [](OutageStack& stack, const HostLoop& loop) {
               if (!realstack::WaitUntilInStatusChangeWait(loop.ThreadId(), kWaitingTimeout)) {
                   return false;
               }
               stack.StopPcscd();
               return true;
           });
}

void HostLoop_Healthy(benchmark::State& state) {
    RunRow(state, Reader::Empty, ZEPH_STATUS_PENDING,
           [](OutageStack&, const HostLoop&) { return true; });
}

void HostLoop_CardPresent(benchmark::State& state) {
    RunRow(state, Reader::WithCard, ZEPH_STATUS_SUCCESS,
           [](OutageStack&, const HostLoop&) { return true; });
}

BENCHMARK(HostLoop_Outage)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(HostLoop_Healthy)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(HostLoop_CardPresent)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
