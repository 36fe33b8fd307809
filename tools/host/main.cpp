// zeph_host: loads the extension module as a host does (through its one export), runs the host's
// cycle on one object until the wanted cycles are done, the time limit is reached or the user
// ends it (Ctrl-C), ends every wait through Cancel and destroys the object through slot 0.
// HostOptions.h has the command line, HostCycle.h the cycle.
#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "DiagnosisOutput.h"
#include "DirectoryReport.h"
#include "HostCycle.h"
#include "HostLog.h"
#include "HostOptions.h"
#include "ModuleLoader.h"
#include "ModuleTrace.h"
#include "StopRequest.h"
#include "StopSignals.h"
#include "platform/TextConversion.h"
#include "zeph/ZephExtensionAbi.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitTimedOut = 3;

void ShowPublicData(HostLog& log, const CZephExtensionAbstract& extension) {
    log.Line("object   short name \"%.4s\", ATR filter %s, host flag %u, host value %d",
             extension.m_szShortName, extension.m_bAtrFilter != 0 ? "on" : "off",
             static_cast<unsigned>(extension.m_bHostFlag), extension.m_nHostValue);
}

void ShowNotification(const ZephNotification* record, void* context) {
    if (record != nullptr && context != nullptr) {
        static_cast<HostLog*>(context)->Line("notice   from \"%.4s\": %.127s", record->szShortName,
                                             record->szText);
    }
}

int RunDiagnosis(const std::string& modulePath, const HostOptions& options) {
    const DiagnosisReport report =
        Diagnose({modulePath, zeph::platform::NarrowToWide(options.manualReader)});
    (options.json ? PrintDiagnosisJson : PrintDiagnosisText)(stdout, report);
    return static_cast<int>(report.status);
}

}  // namespace

int main(int argc, char** argv) {
    const ParsedHostOptions parsed =
        ParseHostOptions(std::vector<std::string_view>(argv + 1, argv + argc));
    if (parsed.outcome == ParsedHostOptions::Outcome::Version) {
        std::printf("zeph_host %s\n", ZEPH_TOOL_VERSION);
        return 0;
    }
    if (parsed.outcome != ParsedHostOptions::Outcome::Run) {
        const bool help = parsed.outcome == ParsedHostOptions::Outcome::Help;
        if (!help) {
            std::fprintf(stderr, "zeph_host: %s\n", parsed.error.c_str());
        }
        std::fputs(HostUsage().c_str(), help ? stdout : stderr);
        return help ? 0 : kExitUsage;
    }
    const HostOptions& options = parsed.options;
    if (!options.traceLevels.empty()) {
        RequestModuleTrace(options.traceLevels);
    }
    HostLog log(stdout);

    // Set up before any other thread exists (see StopSignals.h); a request that comes before
    // the object exists ends the run before the first cycle.
    std::atomic<CZephExtensionAbstract*> target{nullptr};
    StopRequest stop([&](const std::string& reason) {
        log.Line("stop     %s: Cancel", reason.c_str());
        if (CZephExtensionAbstract* extension = target.load()) {
            extension->Cancel();
        }
    });
    auto signals = std::make_unique<StopSignals>([&](const char* name) { stop.Request(name); });

    const std::string modulePath = options.modulePath.empty()
                                       ? DefaultModulePath(HostProgramPath(argv[0]))
                                       : options.modulePath;
    if (options.dirs) {
        return PrintDirectoryReport(log, modulePath);
    }
    if (options.diagnose) {
        return RunDiagnosis(modulePath, options);
    }
    ModuleLoader module(modulePath);
    if (module.Factory() == nullptr) {
        std::fprintf(stderr, "zeph_host: cannot use %s: %s\n", modulePath.c_str(),
                     module.Error().c_str());
        return 1;
    }
    log.Line("module   %s", modulePath.c_str());
    CZephExtensionAbstract* extension = module.Factory()();
    if (extension == nullptr) {
        std::fprintf(stderr, "zeph_host: %s returned no object\n", ZEPH_EXT_FACTORY_NAME);
        return 1;
    }
    if (!options.atrFilter) {
        extension->m_bAtrFilter = 0;
        log.Line(
            "object   ATR filter turned off (--no-atr-filter): any card in the reader is used");
    }
    ShowPublicData(log, *extension);
    extension->m_pfnNotify = ShowNotification;
    extension->m_pNotifyContext = &log;
    target.store(extension);

    std::thread timer;
    if (options.timeout) {
        timer = std::thread([&] {
            if (!stop.WaitFor(*options.timeout)) {
                stop.Request("time limit of " + std::to_string(options.timeout->count()) +
                             " ms reached");
            }
        });
    }
    HostCycle cycle(*extension, options, log, stop);
    const unsigned completed = cycle.Run();
    const bool allDone = options.cycles && completed == *options.cycles;
    // Releases the context when no request has done so yet; a request of the other threads runs
    // to its end before this returns.
    stop.Request(allDone ? "all cycles done" : "run ended");
    if (timer.joinable()) {
        timer.join();
    }
    signals.reset();
    const bool timedOut = stop.Reason().starts_with("time limit");

    log.Line("end      %u cycle%s completed; destroying the object through slot 0", completed,
             completed == 1 ? "" : "s");
    target.store(nullptr);
    extension->ScalarDeletingDestructor(1);
    log.Line("end      object destroyed");
    return timedOut && !allDone ? kExitTimedOut : 0;
}
