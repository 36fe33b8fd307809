// Costs of the trace calls, each beside the baseline it is measured against:
// - a line at an untraced level vs a bare indirect call (goal: at most twice as long);
// - a method scope whose component is not traced vs its category query alone (goal: at most
//   10 ns; the scope reads no clock until its gate has passed);
// - a method scope whose component is traced for errors only, left normally (goal: at most
//   120 ns; its entry line is formatted only if an exception leaves the scope);
// - an enabled line (expansion, ISO 8859-1, hand-over to a trace system that drops it) vs a
//   bare swprintf of the same text (goal: at most 2.5 times as long, under 400 ns).
#include <benchmark/benchmark.h>

#include <cwchar>

#include "CapturingTraceSystem.h"
#include "NullTraceSystem.h"
#include "tracing/MethodTrace.h"
#include "tracing/TraceInterface.h"

namespace {

constexpr char16_t kComponent[] = u"ZEPH.Ext.PcSc";
constexpr char16_t kFormat[] = u"%s::SCardTransmit lieferte Fehler %s!";
constexpr char16_t kMethod[] = u"CZephExtensionPcSc::Transmit";
constexpr char16_t kError[] = u"<REMOVED_CARD>";

// Answers as a trace system configured for exceptions and errors only, the usual production
// setting; drops the lines.
class ErrorsOnlyTraceSystem {
  public:
    ErrorsOnlyTraceSystem() {
        TraceSystemLib::Instance().InstallForTesting({&Traces, &TracesCategory, &Drop});
    }
    ~ErrorsOnlyTraceSystem() { TraceSystemLib::Instance().ResetForTesting(); }
    ErrorsOnlyTraceSystem(const ErrorsOnlyTraceSystem&) = delete;
    ErrorsOnlyTraceSystem& operator=(const ErrorsOnlyTraceSystem&) = delete;

  private:
    static bool Traces(int level) { return level <= TRACE_ERROR; }
    static bool TracesCategory(int level, const char*) { return level <= TRACE_ERROR; }
    static int Drop(int, const char*, const char*) { return 1; }
};

[[gnu::noinline]] bool NotTraced(int level) {
    benchmark::DoNotOptimize(level);
    return false;
}

void LevelOff_BareIndirectCall(benchmark::State& state) {
    ExpShouldTraceFn shouldTrace = &NotTraced;
    for (auto _ : state) {
        benchmark::DoNotOptimize(shouldTrace);
        benchmark::DoNotOptimize(shouldTrace(TRACE_INFO));
    }
}
BENCHMARK(LevelOff_BareIndirectCall);

void LevelOff_TRC_WriteFormat(benchmark::State& state) {
    const NullTraceSystem traceSystem(false);
    for (auto _ : state) {
        TRC_WriteFormat(TRACE_INFO, kComponent, kFormat, kMethod, kError);
    }
}
BENCHMARK(LevelOff_TRC_WriteFormat);

void UntracedScope_CategoryQuery(benchmark::State& state) {
    const NullTraceSystem traceSystem(false);
    for (auto _ : state) {
        benchmark::DoNotOptimize(TRC_ShouldTraceCategoryW(TRACE_ERROR, kComponent));
    }
}
BENCHMARK(UntracedScope_CategoryQuery);

void UntracedScope_MethodTrace(benchmark::State& state) {
    const NullTraceSystem traceSystem(false);
    for (auto _ : state) {
        MethodTrace trace(TRACE_INFO, kComponent, kMethod, u"src/extension/Transmit.cpp", 42);
        benchmark::DoNotOptimize(trace);
    }
}
BENCHMARK(UntracedScope_MethodTrace);

void ErrorsOnlyScope_MethodTrace(benchmark::State& state) {
    const ErrorsOnlyTraceSystem traceSystem;
    for (auto _ : state) {
        MethodTrace trace(TRACE_INFO, kComponent, kMethod, u"src/extension/Transmit.cpp", 42);
        benchmark::DoNotOptimize(trace);
    }
}
BENCHMARK(ErrorsOnlyScope_MethodTrace);

void EnabledLine_swprintf(benchmark::State& state) {
    wchar_t text[4097];
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::swprintf(text, std::size(text),
                                               L"%ls::SCardTransmit lieferte Fehler %ls!",
                                               L"CZephExtensionPcSc::Transmit", L"<REMOVED_CARD>"));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(EnabledLine_swprintf);

void EnabledLine_TRC_WriteFormat(benchmark::State& state) {
    const NullTraceSystem traceSystem(true);
    for (auto _ : state) {
        TRC_WriteFormat(TRACE_ERROR, kComponent, kFormat, kMethod, kError);
    }
}
BENCHMARK(EnabledLine_TRC_WriteFormat);

}  // namespace
