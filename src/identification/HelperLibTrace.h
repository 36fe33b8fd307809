// Trace conventions of the card identification helpers: the source their method traces report,
// their component (the helper library's, see TraceSinks.h) and the exception barrier of their
// public functions.
#pragma once

#include <string>

#include "tracing/ExceptionBarrier.h"
#include "tracing/MethodTrace.h"
#include "tracing/TraceInterface.h"
#include "tracing/TraceLevels.h"
#include "tracing/TraceSinks.h"

namespace ZEPH_Helper {

inline constexpr char16_t kHelperLibSource[] = u"Treiber\\ZEPH\\ZEPH_HelperLib\\ZEPH_HelperLib";

// The helper library's current component name; empty (nothing is traced) when it cannot be
// read.
inline std::u16string HelperComponent() noexcept {
    try {
        return GetHelperLibComponent();
    } catch (...) {
        return {};
    }
}

// Opens the method trace of a helper function at level 16.
#define ZEPH_HELPER_METHOD_TRACE(scope, component, qualifiedName)                                 \
    MethodTrace scope(TRACE_INFO, (component).c_str(), qualifiedName, kHelperLibSource, __LINE__, \
                      u"")

// Runs the body of a public helper function behind the exception barrier
// (tracing/ExceptionBarrier.h); the function opens its method trace before, outside the
// barrier. Any exception is traced at level 1 as "%s::Exception gefangen!" and gives false.
template <typename Body>
bool RunHelperGuarded(const std::u16string& component, const char16_t* qualifiedName,
                      Body&& body) noexcept {
    bool result = false;
    RunBehindExceptionBarrier(component.c_str(), qualifiedName, CaughtExceptionText::Plain,
                              [&] { result = body(); });
    return result;
}

}  // namespace ZEPH_Helper
