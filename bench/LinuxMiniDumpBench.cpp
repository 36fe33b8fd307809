// A whole Linux minidump of this process, written from a context taken with getcontext as a
// signal handler would write it from the fault's; the counter gives the dump's size.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <ucontext.h>
#include <unistd.h>

#include <csignal>

#include "TempDirectory.h"
#include "crash/posix/LinuxMiniDump.h"

namespace {

void BM_WriteLinuxMiniDump(benchmark::State& state) {
    const TempDirectory directory;
    const std::string path = (directory.Path() / "bench.dmp").string();
    ucontext_t context{};
    getcontext(&context);
    siginfo_t info{};
    info.si_signo = SIGSEGV;
    const CrashRecord record{SIGSEGV, &info, &context, gettid()};
    if (!ExceptionTranslator::ReserveLinuxMiniDumpMemory()) {
        state.SkipWithError("no memory for the writer");
        return;
    }
    for (auto _ : state) {
        if (ExceptionTranslator::WriteLinuxMiniDump(path.c_str(), record) !=
            ExceptionTranslator::DumpFileOutcome::Written) {
            state.SkipWithError("the dump was not written");
            return;
        }
    }
    struct stat file {};
    stat(path.c_str(), &file);
    state.counters["dump_bytes"] = static_cast<double>(file.st_size);
}
BENCHMARK(BM_WriteLinuxMiniDump)->Unit(benchmark::kMicrosecond);

}  // namespace
