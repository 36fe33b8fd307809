#include "directories/TraceSystemSearch.h"

#include "directories/DirectoryQueries.h"
#include "directories/FileSystem.h"
#include "directories/PathPrimitives.h"
#include "tracing/TraceSystemLib.h"

namespace configdb {

std::string FindTraceSystemLibrary(ConfigDbContext& context) {
    const std::string directories[] = {GetProgDir(context, kOwnComponentId, false),
                                       GetModuleDir(context, false), GetThisDllDir(context)};
    for (const std::string& directory : directories) {
        std::string candidate = directory + kTraceSystemLibraryName;
        if (PathExists(candidate)) {
            return candidate;
        }
    }
    return {};
}

std::string FindTraceSystemLibraryForProcess() {
    try {
        return FindTraceSystemLibrary(ProcessConfigDb());
    } catch (...) {
        return {};
    }
}

}  // namespace configdb
