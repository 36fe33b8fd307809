// A processor fault inside an operation, from the fault to the operation's return with the dump
// written: GetAttribute of the module's own attribute into a bad host pointer, on the simulator.
// Beside it, the same call into a good buffer. The dump's size is reported as a counter. Each
// fault prunes the log directory to the five newest dumps, so the run leaves at most six.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>

#include "ExtensionHarness.h"
#include "ScopedVariable.h"
#include "TempDirectory.h"

namespace {

constexpr uint32_t kAttributeReaderActual = 0x0007AA01;

uint32_t ReadActualReader(ExtensionHarness& h, uint8_t* buffer) {
    uint64_t length = 256;
    return h.extension->GetAttribute(kAttributeReaderActual, buffer, &length);
}

// The size of the largest dump in the log directory below XDG_STATE_HOME.
double DumpBytes(const std::filesystem::path& state) {
    double bytes = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(state)) {
        if (entry.is_regular_file()) {
            bytes = std::max(bytes, static_cast<double>(entry.file_size()));
        }
    }
    return bytes;
}

void Crash_FaultToReturnWithDump(benchmark::State& state) {
    TempDirectory root;
    ScopedVariable logs("XDG_STATE_HOME", root.Path().string());
    ExtensionHarness h;
    auto* const bad = reinterpret_cast<uint8_t*>(0x10);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadActualReader(h, bad));
    }
    state.counters["dump_bytes"] = DumpBytes(root.Path());
}
BENCHMARK(Crash_FaultToReturnWithDump)->Unit(benchmark::kMillisecond)->Iterations(50);

void Crash_SameCallWithoutFault(benchmark::State& state) {
    ExtensionHarness h;
    uint8_t name[256];
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadActualReader(h, name));
    }
}
BENCHMARK(Crash_SameCallWithoutFault);

}  // namespace
