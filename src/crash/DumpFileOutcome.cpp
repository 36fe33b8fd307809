#include "crash/DumpFileOutcome.h"

#include "crash/CrashComponent.h"
#include "tracing/TraceInterface.h"
#include "tracing/TraceLevels.h"

namespace ExceptionTranslator {

void TraceRefusedDumpFile(const char16_t* fileName) {
    TRC_WriteFormat(TRACE_EXCEPTION, CrashComponent(),
                    u"Dump-Datei <%s> ist keine eigene Datei (Link, Verzeichnis oder Datei eines "
                    u"anderen Benutzers) - der Dump wird nicht geschrieben!",
                    fileName);
}

}  // namespace ExceptionTranslator
