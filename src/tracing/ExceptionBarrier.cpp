#include "tracing/ExceptionBarrier.h"

#include "tracing/TraceInterface.h"
#include "tracing/TraceLevels.h"

void TraceCaughtException(const char16_t* component, const char16_t* qualifiedName,
                          CaughtExceptionText text, const std::exception* caught) noexcept {
    if (caught == nullptr || text == CaughtExceptionText::Plain) {
        TRC_WriteFormat(TRACE_EXCEPTION, component, u"%s::Exception gefangen!", qualifiedName);
        return;
    }
    const char* description = caught->what();
    if (description == nullptr || *description == '\0') {
        description = "Unknown exception";
    }
    TRC_WriteFormat(TRACE_EXCEPTION, component, u"%s::Std::Exception gefangen! <%S>", qualifiedName,
                    description);
}
