// The log directory of the own component, warm (the directory exists, nothing is created, no
// tracer listens), beside one stat of the answer: what the chain costs above the file-system test
// it cannot do without.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <filesystem>

#include "ScopedVariable.h"
#include "TempDirectory.h"
#include "directories/ConfigDbContext.h"
#include "directories/DirectoryQueries.h"

namespace {

// A registry file without the maker's keys and a state directory with the log directory in it.
struct WarmLogDir {
    WarmLogDir()
        : registry("ZEPH_REGISTRY_FILE", root.Write("registry.reg", "REGEDIT4\n")),
          state("XDG_STATE_HOME", (root.Path() / "state").string()) {
        std::filesystem::create_directories(root.Path() / "state/Talpo/Log/Mora");
    }
    TempDirectory root;
    ScopedVariable registry;
    ScopedVariable state;
    configdb::ConfigDbContext context{PlatformDirectoryEnvironment()};
};

void BM_GetLogDirWarm(benchmark::State& state) {
    WarmLogDir warm;
    for (auto _ : state) {
        benchmark::DoNotOptimize(configdb::GetLogDir(warm.context, kOwnComponentId, false));
    }
}
BENCHMARK(BM_GetLogDirWarm);

void BM_StatOfTheLogDir(benchmark::State& state) {
    WarmLogDir warm;
    const std::string answer = configdb::GetLogDir(warm.context, kOwnComponentId, false);
    struct stat info {};
    for (auto _ : state) {
        benchmark::DoNotOptimize(::stat(answer.c_str(), &info));
    }
}
BENCHMARK(BM_StatOfTheLogDir);

}  // namespace
