// A processor fault inside an operation, from the fault to the operation's return with the dump
// written: GetAttribute of the module's own attribute into a bad host pointer, on the simulator,
// with 1, 8 and 64 threads in the process (on Linux the dump stops and records every one; the
// others wait on a condition variable meanwhile). Beside it, the same call into a good buffer. The
// dump's size is reported as a counter. Each fault prunes the log directory to the five newest
// dumps, so the run leaves at most six.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

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

// Threads that wait until the object ends, as a host's idle threads would.
class WaitingThreads {
  public:
    explicit WaitingThreads(int64_t count) {
        for (int64_t i = 0; i < count; ++i) {
            threads_.emplace_back([this] {
                std::unique_lock lock(mutex_);
                released_.wait(lock, [this] { return done_; });
            });
        }
    }
    ~WaitingThreads() {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        released_.notify_all();
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }

  private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool done_ = false;
    std::vector<std::thread> threads_;
};

void Crash_FaultToReturnWithDump(benchmark::State& state) {
    // One log directory for every run: the module keeps the first it resolves.
    static const TempDirectory root;
    static const ScopedVariable logs("XDG_STATE_HOME", root.Path().string());
    ExtensionHarness h;
    const WaitingThreads others(state.range(0) - 1);
    auto* const bad = reinterpret_cast<uint8_t*>(0x10);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadActualReader(h, bad));
    }
    state.counters["dump_bytes"] = DumpBytes(root.Path());
}
BENCHMARK(Crash_FaultToReturnWithDump)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(8)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);

void Crash_SameCallWithoutFault(benchmark::State& state) {
    ExtensionHarness h;
    uint8_t name[256];
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadActualReader(h, name));
    }
}
BENCHMARK(Crash_SameCallWithoutFault);

}  // namespace
