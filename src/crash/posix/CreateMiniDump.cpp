// Writing a dump with the module's own writer.
#include "crash/CrashComponent.h"
#include "crash/DumpFileOutcome.h"
#include "crash/DumpTrace.h"
#include "crash/MiniDumps.h"
#include "crash/posix/LinuxMiniDump.h"
#include "platform/TextConversion.h"
#include "tracing/MethodTrace.h"
#include "tracing/TraceInterface.h"
#include "tracing/TraceLevels.h"

namespace ExceptionTranslator {

void CreateMiniDump(const CrashRecord* record, const char16_t* fileName) noexcept {
    try {
        MethodTrace trace(TRACE_DETAIL, CrashComponent(), u"ExceptionTranslator::CreateMiniDump",
                          kDumpSource, __LINE__);
        if (fileName == nullptr || *fileName == u'\0') {
            return;
        }
        const std::string path = zeph::platform::WideToNarrow(fileName);
        int tracingRefused = 0;
        const DumpFileOutcome outcome = WriteLinuxMiniDump(
            path.c_str(), record != nullptr ? *record : CrashRecord{}, &tracingRefused);
        if (outcome == DumpFileOutcome::Refused) {
            TraceRefusedDumpFile(fileName);
        } else if (tracingRefused != 0) {
            TRC_WriteFormat(TRACE_EXCEPTION, CrashComponent(),
                            u"MiniDump <%s> enthält nur den Thread der Exception - die anderen "
                            u"Threads dürfen nicht verfolgt werden (Fehler <%d>)!",
                            fileName, tracingRefused);
        }
    } catch (...) {  // no dump
    }
}

}  // namespace ExceptionTranslator
