#include "crash/CrashComponent.h"

#include <cstddef>

namespace ExceptionTranslator {

namespace {
// Written once at process attach, read by every crash afterwards.
constinit char16_t g_component[kCrashComponentMaxChars + 1] = u"ExceptionTranslator";
}  // namespace

void SetCrashComponent(const char16_t* component) noexcept {
    if (component == nullptr) {
        return;
    }
    size_t length = 0;
    for (; length < kCrashComponentMaxChars && component[length] != u'\0'; ++length) {
        g_component[length] = component[length];
    }
    g_component[length] = u'\0';
}

const char16_t* CrashComponent() noexcept {
    return g_component;
}

}  // namespace ExceptionTranslator
