#include "tracing/TraceSinks.h"

#include <algorithm>
#include <mutex>

#include "tracing/TraceInterface.h"

namespace {

char16_t g_helperLibComponent[kHelperLibComponentMaxChars + 1] = u"ZEPH.Help.Lib";

// Guards g_helperLibComponent. Never destroyed, so a message from another static object's
// destructor at process exit still finds it.
std::mutex& HelperLibComponentLock() {
    static std::mutex* const lock = new std::mutex;
    return *lock;
}

uint16_t SinkLevel(bool isError) {
    return isError ? TRACE_ERROR : TRACE_INFO;
}

}  // namespace

void ExtensionTraceSink(bool isError, const char16_t* text) noexcept {
    TRC_WriteW(SinkLevel(isError), kExtensionTraceComponent, text);
}

void HelperLibTraceSink(bool isError, const char16_t* text) noexcept {
    char16_t component[kHelperLibComponentMaxChars + 1];
    try {
        const std::lock_guard<std::mutex> guard(HelperLibComponentLock());
        std::copy(std::begin(g_helperLibComponent), std::end(g_helperLibComponent), component);
    } catch (...) {
        return;
    }
    TRC_WriteW(SinkLevel(isError), component, text);
}

void SetHelperLibComponent(const char16_t* component) noexcept {
    if (component == nullptr) {
        return;
    }
    try {
        const std::lock_guard<std::mutex> guard(HelperLibComponentLock());
        size_t length = 0;
        for (; length < kHelperLibComponentMaxChars && component[length] != u'\0'; ++length) {
            g_helperLibComponent[length] = component[length];
        }
        g_helperLibComponent[length] = u'\0';
    } catch (...) {
    }
}

std::u16string GetHelperLibComponent() {
    const std::lock_guard<std::mutex> guard(HelperLibComponentLock());
    return g_helperLibComponent;
}
