// Trace lines per second from 4 processes appending to one file, each line reopening the file as
// the directory library does: through the named trace mutex (AppendInternTraceLine), beside the
// same lines appended by the same processes without the mutex. One iteration forks the 4 writers
// and waits for them; items are lines.
#include <benchmark/benchmark.h>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "TempDirectory.h"
#include "directories/FileSystem.h"
#include "directories/InternTraceLine.h"

using namespace configdb;

namespace {

constexpr int kProcesses = 4;
constexpr int kLinesPerProcess = 500;

template <typename Append>
void RunWriters(const Append& append) {
    pid_t children[kProcesses];
    for (pid_t& child : children) {
        child = fork();
        if (child == 0) {
            for (int i = 0; i < kLinesPerProcess; ++i) {
                append();
            }
            _exit(0);
        }
    }
    for (const pid_t child : children) {
        waitpid(child, nullptr, 0);
    }
}

template <typename Append>
void Measure(benchmark::State& state, const Append& append) {
    for (auto _ : state) {
        RunWriters(append);
    }
    state.SetItemsProcessed(state.iterations() * kProcesses * kLinesPerProcess);
}

const std::string kMessage = "INFO - CDB_GetLogDir: Pfad <C:\\ProgramData\\TALPO\\Log\\> ermittelt";

void InternTrace_FourProcessesThroughMutex(benchmark::State& state) {
    const TempDirectory directory;
    const std::string file = (directory.Path() / "ConfigDB_Intern.log").string();
    const std::string name = "zeph_bench_intern_trace_" + std::to_string(getpid());
    uint32_t error = 0;
    const auto mutex = CreateNamedMutex(name, error);
    if (mutex == nullptr) {
        state.SkipWithError("no named mutex");
        return;
    }
    Measure(state, [&] {
        AppendInternTraceLine(mutex.get(), file, ComposeInternTraceLine(&kMessage, 0));
    });
    shm_unlink(("/" + name).c_str());
}
BENCHMARK(InternTrace_FourProcessesThroughMutex)->UseRealTime()->Unit(benchmark::kMillisecond);

void InternTrace_FourProcessesUnlocked(benchmark::State& state) {
    const TempDirectory directory;
    const std::string file = (directory.Path() / "ConfigDB_Intern.log").string();
    Measure(state, [&] { AppendToFile(file, ComposeInternTraceLine(&kMessage, 0)); });
}
BENCHMARK(InternTrace_FourProcessesUnlocked)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
