// The trace system loader's two steady states, each beside its baseline:
// - after a failed load (no trace system on the machine, the usual case), a trace query vs a bare
//   indirect call (goal: at most twice as long; no lock is taken);
// - with the trace system loaded, a category query through the loader vs calling the library's
//   own function directly (goal: at most 1.2 times as long).
#include <benchmark/benchmark.h>

#include "tracing/DynamicLibrary.h"
#include "tracing/TraceInterface.h"
#include "tracing/TraceSystemLib.h"

namespace {

[[gnu::noinline]] bool NotTraced(int level) {
    benchmark::DoNotOptimize(level);
    return false;
}

void FailedLoad_BareIndirectCall(benchmark::State& state) {
    ExpShouldTraceFn shouldTrace = &NotTraced;
    for (auto _ : state) {
        benchmark::DoNotOptimize(shouldTrace);
        benchmark::DoNotOptimize(shouldTrace(TRACE_INFO));
    }
}
BENCHMARK(FailedLoad_BareIndirectCall);

void FailedLoad_TRC_ShouldTrace(benchmark::State& state) {
    TraceSystemLib& traceSystem = TraceSystemLib::Instance();
    traceSystem.ResetForTesting();
    traceSystem.SetFinder(nullptr);
    benchmark::DoNotOptimize(traceSystem.Load());
    for (auto _ : state) {
        benchmark::DoNotOptimize(TRC_ShouldTrace(TRACE_INFO));
    }
}
BENCHMARK(FailedLoad_TRC_ShouldTrace);

std::string StandInPath() {
    return ZEPH_BENCH_TRACE_STANDIN;
}

void Loaded_DirectCategoryQuery(benchmark::State& state) {
    void* const library = zeph::trace::LoadDynamicLibrary(StandInPath());
    const auto query = reinterpret_cast<ExpShouldTraceCategoryFn>(
        zeph::trace::FindExport(library, "ExpShouldTraceCategory"));
    for (auto _ : state) {
        benchmark::DoNotOptimize(query(TRACE_INFO, "ZEPH.Ext.PcSc"));
    }
}
BENCHMARK(Loaded_DirectCategoryQuery);

void Loaded_TRC_ShouldTraceCategory(benchmark::State& state) {
    TraceSystemLib& traceSystem = TraceSystemLib::Instance();
    traceSystem.ResetForTesting();
    traceSystem.SetFinder(&StandInPath);
    if (!traceSystem.Load()) {
        state.SkipWithError("the trace system stand-in did not load");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(TRC_ShouldTraceCategory(TRACE_INFO, "ZEPH.Ext.PcSc"));
    }
    traceSystem.ResetForTesting();
}
BENCHMARK(Loaded_TRC_ShouldTraceCategory);

}  // namespace
