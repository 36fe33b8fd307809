#include "extension/ExtensionTrace.h"

void TraceCaughtException(const char16_t* qualifiedName, const std::exception* caught) noexcept {
    if (caught == nullptr) {
        TRC_WriteFormat(TRACE_EXCEPTION, kExtensionComponent, u"%s::Exception gefangen!",
                        qualifiedName);
        return;
    }
    const char* description = caught->what();
    if (description == nullptr || *description == '\0') {
        description = "Unknown exception";
    }
    TRC_WriteFormat(TRACE_EXCEPTION, kExtensionComponent, u"%s::Std::Exception gefangen! <%S>",
                    qualifiedName, description);
}
