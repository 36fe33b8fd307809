// The parts of a diagnosis that look at files, each resolved by the module's own libraries on the
// module's behalf.
#include <algorithm>
#include <filesystem>

#include "DiagnosisFiles.h"
#include "ModuleEnvironment.h"
#include "crash/DumpFileSystem.h"
#include "crash/DumpHistory.h"
#include "crash/DumpHistoryKey.h"
#include "directories/ConfigDB.h"
#include "directories/DirectoryQueries.h"
#include "directories/PathPrimitives.h"
#include "directories/TraceSystemSearch.h"
#include "tracing/DynamicLibrary.h"
#include "tracing/TraceSystemLib.h"

namespace {

namespace fs = std::filesystem;
using zeph::platform::NarrowToWide;
using zeph::platform::WideToNarrow;

std::string AbsoluteModulePath(const std::string& modulePath) {
    std::error_code ignored;
    return fs::absolute(modulePath, ignored).lexically_normal().string();
}

bool Exists(const std::string& path) {
    std::error_code ignored;
    return !path.empty() && fs::exists(path, ignored);
}

// What the directory library says while it resolves one directory.
std::vector<std::string>* g_notes = nullptr;

void CollectNote(bool isError, const char16_t* text) {
    if (g_notes != nullptr) {
        g_notes->push_back((isError ? "error: " : "") + WideToNarrow(text));
    }
}

struct DirectoryQuery {
    const char* name;
    std::string (*query)(configdb::ConfigDbContext&);
};

constexpr DirectoryQuery kDirectoryQueries[] = {
    {"program", [](auto& c) { return configdb::GetProgDir(c, kOwnComponentId, true); }},
    {"data", [](auto& c) { return configdb::GetDataDir(c, kOwnComponentId, false, "Data"); }},
    {"config", [](auto& c) { return configdb::GetKonfigDir(c, kOwnComponentId); }},
    {"user config",
     [](auto& c) { return configdb::GetKonfigDirCurrentUser(c, kOwnComponentId, false); }},
    {"log", [](auto& c) { return configdb::GetLogDir(c, kOwnComponentId, false); }},
    {"system", [](auto& c) { return configdb::GetSystemDir(c, 1); }},
};

// "14.08.2020 09:05:03" from a key "20200814090503".
std::string DumpTime(const std::u16string& key) {
    const std::string k = WideToNarrow(key);
    if (k.size() != 14) {
        return {};
    }
    return k.substr(6, 2) + "." + k.substr(4, 2) + "." + k.substr(0, 4) + " " + k.substr(8, 2) +
           ":" + k.substr(10, 2) + ":" + k.substr(12, 2);
}

}  // namespace

TraceSystemFindings ExamineTraceSystem(const std::string& modulePath) {
    ModuleEnvironment environment(AbsoluteModulePath(modulePath));
    configdb::ConfigDbContext context(environment);
    TraceSystemFindings traceSystem;
    for (const std::string& directory :
         {configdb::GetProgDir(context, kOwnComponentId, false),
          configdb::GetModuleDir(context, false), configdb::GetThisDllDir(context)}) {
        traceSystem.searched.push_back(directory + kTraceSystemLibraryName);
    }
    traceSystem.found = configdb::FindTraceSystemLibrary(context);
    if (traceSystem.found.empty()) {
        traceSystem.error = "not found in any of the directories searched";
        return traceSystem;
    }
    void* library = zeph::trace::LoadDynamicLibrary(traceSystem.found);
    if (library == nullptr) {
        traceSystem.error = "cannot be loaded";
        return traceSystem;
    }
    traceSystem.loads = true;
    for (const char* name : kTraceSystemExports) {
        if (zeph::trace::FindExport(library, name) == nullptr) {
            traceSystem.missingExports.emplace_back(name);
        }
    }
    if (zeph::trace::FindExport(library, "ExpInitTraceSystem") == nullptr) {
        traceSystem.missingExports.emplace_back("ExpInitTraceSystem");
    }
    return traceSystem;
}

std::vector<DirectoryFinding> ExamineDirectories(const std::string& modulePath) {
    ModuleEnvironment environment(AbsoluteModulePath(modulePath));
    configdb::ConfigDbContext context(environment);
    std::vector<DirectoryFinding> directories;
    const TracerCallback earlier = context.ExchangeTracer(&CollectNote);
    for (const DirectoryQuery& query : kDirectoryQueries) {
        DirectoryFinding& directory = directories.emplace_back();
        g_notes = &directory.notes;
        directory.name = query.name;
        directory.path = query.query(context);
        directory.exists = Exists(directory.path);
    }
    g_notes = nullptr;
    context.ExchangeTracer(earlier);
    return directories;
}

CrashFindings ExamineCrashes(const std::string& logDirectory) {
    CrashFindings crashes;
    crashes.logDirectory = logDirectory;
    if (logDirectory.empty()) {
        return crashes;
    }
    std::u16string newestKey;
    for (const bool currentNaming : {true, false}) {
        for (const std::u16string& name : ExceptionTranslator::FindDumpFiles(
                 NarrowToWide(logDirectory) + ExceptionTranslator::DumpFileMask(currentNaming))) {
            const std::u16string key = ExceptionTranslator::DumpHistoryKey(name);
            ++crashes.count;
            if (crashes.newest.empty() || key > newestKey) {
                newestKey = key;
                crashes.newest = WideToNarrow(name);
                crashes.newestTime = DumpTime(key);
            }
        }
    }
    return crashes;
}
