#include "crash/CrashProcedure.h"

#include <cstdlib>

#include "crash/CrashComponent.h"
#include "crash/CrashMessage.h"
#include "crash/CrashSettings.h"
#include "crash/HostRestart.h"
#include "crash/MiniDumps.h"
#include "platform/ProcessIds.h"
#include "tracing/TraceInterface.h"
#include "tracing/TraceLevels.h"

namespace ExceptionTranslator {

void RunCrashProcedure(const char16_t* traceFormat, const CrashRecord* record) {
    const char16_t* component = CrashComponent();
    if (component != nullptr && *component != u'\0') {
        TRC_WriteFormat(TRACE_EXCEPTION, component, traceFormat,
                        static_cast<int>(zeph::platform::CurrentThreadId()));
    }
    ClearDumpHistories();
    char16_t dumpName[kDumpNameChars] = {};
    GetMiniDumpFilename(dumpName);
    CreateMiniDump(record, dumpName);
    if (ReadCrashSetting(kShowCrashMessage)) {
        ShowCrashMessageBox();
    }
    if (ReadCrashSetting(kShouldRestartHost)) {
        RestartHostProcess();
        std::exit(-1);  // NOLINT(concurrency-mt-unsafe): the host is being replaced.
    }
}

void TranslateSEHExceptionToStdException(uint32_t /*code*/, const CrashRecord* record) {
    RunCrashProcedure(
        u"TranslateSEHExceptionToStdException -> Exception aufgetreten! Thread-ID <%d> - MiniDump "
        u"wird erzeugt!",
        record);
}

}  // namespace ExceptionTranslator
