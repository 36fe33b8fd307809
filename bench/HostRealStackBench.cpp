// The host's two waits on the real stack (private pcscd, one vpcd reader, the virtual card), each
// measured beside the same wait made on pcsc-lite directly, in the same run and the same rounds:
//
// - Insertion: IsPresent waiting in the module, and a direct observer thread blocked in
//   SCardGetStatusChange on the same reader through its own context. Each round inserts the
//   card and records when each of them returns; the module's added latency is the time between
//   the observer's return and IsPresent's (which includes the module's exclusive connection).
//   pcscd notices a vpcd card within its 400 ms polling interval, so a round takes up to a
//   second; the rounds are few. Goal: added latency at most 10 ms at p95 — a module that polled
//   on its own would show its polling interval here.
// - Cancel: Cancel ending a waiting IsPresent, beside SCardCancel ending a waiting
//   SCardGetStatusChange; both measured from the call to the waiting thread's return, in
//   alternating order. Goals: module p50 at most 1.5 times the direct p50, module p99 at most
//   5 ms.
//
// Every wait is seen blocked in its PC/SC wait, and pcscd idle, before the event is caused
// (BackgroundCall.h): a Cancel that overtook the wait's registration in pcscd would be lost. The
// program starts its own pcscd and card, so it runs only inside the real-stack harness's private
// namespaces: bench/run-host-realstack-bench.sh.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "BackgroundCall.h"
#include "LatencySamples.h"
#include "ModuleLoader.h"
#include "PcscHandles.h"
#include "RealStack.h"
#include "zeph/ZephExtensionAbi.h"

namespace {

using Clock = std::chrono::steady_clock;
using realstack::BackgroundCall;

constexpr std::chrono::milliseconds kCallTimeout{10000};
constexpr std::chrono::milliseconds kWaitingTimeout{5000};
const ZephWChar kAnyReader[] = {0};

// True once every thread of the process sleeps on several reads in a row: the process has taken
// up every request sent to it so far (pcscd has registered a wait it was asked for before a
// cancellation reaches it). False at the deadline.
bool WaitUntilProcessSleeps(pid_t process, std::chrono::milliseconds timeout) {
    const std::filesystem::path tasks = "/proc/" + std::to_string(process) + "/task";
    int inARow = 0;
    return WaitUntil(
        [&] {
            bool sleeping = true;
            std::error_code error;
            for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
                sleeping = sleeping && realstack::SchedulerState(task.path() / "stat") == 'S';
            }
            inARow = sleeping && !error ? inARow + 1 : 0;
            return inARow == 3;
        },
        timeout, std::chrono::microseconds(200));
}

struct TimedResult {
    uint32_t status = 0;
    Clock::time_point returned;
};

// The real stack (the card taken out of the reader once it has connected; the stack's own context
// is the direct observer's), and one object of the module loaded through its export.
class HostBenchStack {
  public:
    HostBenchStack() {
        try {
            Start();
        } catch (const std::exception& error) {
            m_error = error.what();
        }
    }
    ~HostBenchStack() {
        if (m_object != nullptr) {
            m_object->Cancel();
            m_object->ScalarDeletingDestructor(1);
        }
    }
    HostBenchStack(const HostBenchStack&) = delete;
    HostBenchStack& operator=(const HostBenchStack&) = delete;

    const std::string& Error() const { return m_error; }
    CZephExtensionAbstract& Object() { return *m_object; }
    // A further object of the module; the caller destroys it.
    CZephExtensionAbstract* NewObject() { return m_module->Factory()(); }
    realstack::VirtualCardProcess& Card() { return *m_card; }
    const std::string& Reader() const { return m_stack->ReaderName(); }
    const realstack::PcscContext& Direct() const { return m_stack->Context(); }

    // True once pcscd has taken up every request so far: a wait that a client has sent is then
    // registered, and a cancellation cannot overtake it (BackgroundCall.h).
    bool PcscdTookUpRequests() const {
        return WaitUntilProcessSleeps(m_stack->PcscdPid(), kWaitingTimeout);
    }
    // The reader's state as the stack's context sees it once every bit of wanted is set.
    bool ReaderReaches(DWORD wanted) const { return m_stack->WaitForState(wanted); }

  private:
    void Start() {
        m_stack = std::make_unique<realstack::RealStack>();
        m_card = &m_stack->InsertCard();
        if (!m_card->Remove() || !ReaderReaches(SCARD_STATE_EMPTY)) {
            throw std::runtime_error("the virtual card did not leave the reader");
        }
        m_module = std::make_unique<ModuleLoader>(ZEPH_MODULE_PATH);
        if (m_module->Factory() == nullptr) {
            throw std::runtime_error(std::string(ZEPH_MODULE_PATH) + ": " + m_module->Error());
        }
        m_object = m_module->Factory()();
        if (m_object == nullptr) {
            throw std::runtime_error("the module returned no object");
        }
    }

    std::string m_error;
    std::unique_ptr<realstack::RealStack> m_stack;
    realstack::VirtualCardProcess* m_card = nullptr;
    std::unique_ptr<ModuleLoader> m_module;
    CZephExtensionAbstract* m_object = nullptr;
};

HostBenchStack& Stack() {
    static HostBenchStack stack;
    return stack;
}

std::unique_ptr<BackgroundCall<TimedResult>> StartIsPresent(CZephExtensionAbstract& object) {
    return std::make_unique<BackgroundCall<TimedResult>>(
        [&object] {
            uint8_t atr[36];
            uint64_t atrLength = sizeof(atr);
            uint32_t protocol = 0;
            const uint32_t status = object.IsPresent(kAnyReader, atr, &atrLength, &protocol);
            return TimedResult{status, Clock::now()};
        },
        [&object] { object.Cancel(); });
}

// A thread blocked in SCardGetStatusChange on the reader until its state has every bit of
// wanted, or the wait fails (SCardCancel).
std::unique_ptr<BackgroundCall<TimedResult>> StartDirectWait(const realstack::PcscContext& direct,
                                                             const std::string& reader,
                                                             DWORD wanted) {
    const SCARDCONTEXT context = direct.Handle();
    SCARD_READERSTATE known = direct.CurrentState(reader);
    return std::make_unique<BackgroundCall<TimedResult>>(
        [context, reader, wanted, known]() mutable {
            SCARD_READERSTATE state = known;
            state.szReader = reader.c_str();
            state.dwCurrentState = known.dwEventState & ~static_cast<DWORD>(SCARD_STATE_CHANGED);
            for (;;) {
                const LONG result = SCardGetStatusChange(context, INFINITE, &state, 1);
                if (result != SCARD_S_SUCCESS || (state.dwEventState & wanted) == wanted) {
                    return TimedResult{static_cast<uint32_t>(result), Clock::now()};
                }
                state.dwCurrentState =
                    state.dwEventState & ~static_cast<DWORD>(SCARD_STATE_CHANGED);
            }
        },
        [context] { SCardCancel(context); });
}

struct InsertionTimes {
    LatencySamples::Duration direct;  // insertion command to the observer's return
    LatencySamples::Duration module;  // insertion command to IsPresent's return
};

// One round of the host's cycle around the measured insertion: both waits sleeping, the card
// in, both returns, then IsAbsent and the removal to leave the reader empty again.
std::optional<InsertionTimes> InsertionRound(HostBenchStack& stack, std::string& error) {
    auto present = StartIsPresent(stack.Object());
    auto observer = StartDirectWait(stack.Direct(), stack.Reader(), SCARD_STATE_PRESENT);
    if (!present->WaitUntilWaiting(kWaitingTimeout) ||
        !observer->WaitUntilWaiting(kWaitingTimeout) || !stack.PcscdTookUpRequests()) {
        error = "a wait did not start";
        return std::nullopt;
    }
    const Clock::time_point inserted = Clock::now();
    if (!stack.Card().Insert()) {
        error = "the card did not connect";
        return std::nullopt;
    }
    const std::optional<TimedResult> seen = observer->Get(kCallTimeout);
    const std::optional<TimedResult> connected = present->Get(kCallTimeout);
    if (!seen || seen->status != SCARD_S_SUCCESS || !connected ||
        connected->status != ZEPH_STATUS_SUCCESS) {
        error = "the insertion was not reported by both";
        return std::nullopt;
    }
    BackgroundCall<uint32_t> absent([&stack] { return stack.Object().IsAbsent(); },
                                    [&stack] { stack.Object().Cancel(); });
    if (!absent.WaitUntilWaiting(kWaitingTimeout) || !stack.Card().Remove() ||
        !absent.Get(kCallTimeout) || !stack.ReaderReaches(SCARD_STATE_EMPTY)) {
        error = "the removal was not reported";
        return std::nullopt;
    }
    return InsertionTimes{seen->returned - inserted, connected->returned - inserted};
}

void HostInsertion_IsPresentBesideDirectObserver(benchmark::State& state) {
    HostBenchStack& stack = Stack();
    if (!stack.Error().empty()) {
        state.SkipWithError(stack.Error().c_str());
        return;
    }
    LatencySamples direct;
    LatencySamples module;
    LatencySamples added;
    std::string error;
    for (auto _ : state) {
        const std::optional<InsertionTimes> round = InsertionRound(stack, error);
        if (!round) {
            state.SkipWithError(error.c_str());
            return;
        }
        const LatencySamples::Duration extra = round->module - round->direct;
        direct.Add(round->direct);
        module.Add(round->module);
        added.Add(extra);
        state.SetIterationTime(
            std::chrono::duration<double>(std::max(extra, LatencySamples::Duration::zero()))
                .count());
    }
    state.counters["direct_p50_ms"] = Milliseconds(direct.Percentile(0.5));
    state.counters["module_p50_ms"] = Milliseconds(module.Percentile(0.5));
    state.counters["added_p50_ms"] = Milliseconds(added.Percentile(0.5));
    state.counters["added_p95_ms"] = Milliseconds(added.Percentile(0.95));
    state.counters["added_max_ms"] = Milliseconds(added.Max());
}
BENCHMARK(HostInsertion_IsPresentBesideDirectObserver)
    ->Iterations(15)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Cancel ending a waiting IsPresent: from the call to IsPresent's return. Each round uses an
// object of its own, as a host ends its use of an object with Cancel: a cancellation that ended a
// wait stays pending for the object's next IsPresent.
std::optional<LatencySamples::Duration> ModuleCancelRound(HostBenchStack& stack,
                                                          std::string& error) {
    const std::unique_ptr<CZephExtensionAbstract, void (*)(CZephExtensionAbstract*)> object(
        stack.NewObject(), [](CZephExtensionAbstract* doomed) {
            if (doomed != nullptr) {
                doomed->ScalarDeletingDestructor(1);
            }
        });
    if (object == nullptr) {
        error = "the module returned no object";
        return std::nullopt;
    }
    auto present = StartIsPresent(*object);
    if (!present->WaitUntilWaiting(kWaitingTimeout) || !stack.PcscdTookUpRequests()) {
        error = "IsPresent did not wait";
        return std::nullopt;
    }
    const Clock::time_point cancelled = Clock::now();
    object->Cancel();
    const std::optional<TimedResult> result = present->Get(kCallTimeout);
    if (!result || result->status != ZEPH_STATUS_PENDING) {
        error = "Cancel did not end IsPresent with STATUS_PENDING: " +
                (result ? std::to_string(result->status) : std::string("it did not return"));
        return std::nullopt;
    }
    return result->returned - cancelled;
}

// SCardCancel ending a waiting SCardGetStatusChange: from the call to the wait's return.
std::optional<LatencySamples::Duration> DirectCancelRound(HostBenchStack& stack,
                                                          std::string& error) {
    auto observer = StartDirectWait(stack.Direct(), stack.Reader(), SCARD_STATE_PRESENT);
    if (!observer->WaitUntilWaiting(kWaitingTimeout) || !stack.PcscdTookUpRequests()) {
        error = "SCardGetStatusChange did not wait";
        return std::nullopt;
    }
    const Clock::time_point cancelled = Clock::now();
    SCardCancel(stack.Direct().Handle());
    const std::optional<TimedResult> result = observer->Get(kCallTimeout);
    if (!result || result->status != static_cast<uint32_t>(SCARD_E_CANCELLED)) {
        error = "SCardCancel did not end SCardGetStatusChange with SCARD_E_CANCELLED: " +
                (result ? realstack::DescribeResult(static_cast<LONG>(result->status))
                        : std::string("it did not return"));
        return std::nullopt;
    }
    return result->returned - cancelled;
}

void HostCancel_IsPresentBesideDirectSCardCancel(benchmark::State& state) {
    HostBenchStack& stack = Stack();
    if (!stack.Error().empty()) {
        state.SkipWithError(stack.Error().c_str());
        return;
    }
    LatencySamples direct;
    LatencySamples module;
    std::string error;
    bool moduleFirst = true;
    for (auto _ : state) {
        std::optional<LatencySamples::Duration> moduleTime;
        std::optional<LatencySamples::Duration> directTime;
        if (moduleFirst) {
            moduleTime = ModuleCancelRound(stack, error);
            directTime = moduleTime ? DirectCancelRound(stack, error) : std::nullopt;
        } else {
            directTime = DirectCancelRound(stack, error);
            moduleTime = directTime ? ModuleCancelRound(stack, error) : std::nullopt;
        }
        moduleFirst = !moduleFirst;
        if (!moduleTime || !directTime) {
            state.SkipWithError(error.c_str());
            return;
        }
        module.Add(*moduleTime);
        direct.Add(*directTime);
        state.SetIterationTime(std::chrono::duration<double>(*moduleTime).count());
    }
    const LatencySamples::Duration directMedian = direct.Percentile(0.5);
    state.counters["direct_p50_us"] = Microseconds(directMedian);
    state.counters["direct_p99_us"] = Microseconds(direct.Percentile(0.99));
    state.counters["module_p50_us"] = Microseconds(module.Percentile(0.5));
    state.counters["module_p99_us"] = Microseconds(module.Percentile(0.99));
    state.counters["p50_ratio"] =
        directMedian.count() > 0 ? Microseconds(module.Percentile(0.5)) / Microseconds(directMedian)
                                 : 0.0;
}
BENCHMARK(HostCancel_IsPresentBesideDirectSCardCancel)
    ->Iterations(300)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
