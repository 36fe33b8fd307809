#include "crash/CrashMessage.h"

#include <atomic>

namespace ExceptionTranslator {

namespace {

std::atomic<CrashMessageShower> g_shower{nullptr};

}  // namespace

void ShowCrashMessageBox() {
    const CrashMessageShower shower = g_shower.load();
    (shower != nullptr ? shower : &ShowPlatformCrashMessage)(kCrashMessageText,
                                                             kCrashMessageCaption);
}

void SetCrashMessageShower(CrashMessageShower shower) noexcept {
    g_shower.store(shower);
}

}  // namespace ExceptionTranslator
