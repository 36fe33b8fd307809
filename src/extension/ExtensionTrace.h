// Trace conventions of the extension object: its component, the source name its method traces
// report, and the exception barrier every operation runs its body in.
#pragma once

#include <utility>

#include "tracing/ExceptionBarrier.h"
#include "tracing/MethodTrace.h"
#include "tracing/TraceInterface.h"
#include "tracing/TraceLevels.h"

inline constexpr const char16_t* kExtensionComponent = u"ZEPH.Ext.PcSc";
inline constexpr const char16_t* kExtensionSource = u"Treiber\\ZEPH\\ZEPH_Ext_PcSc\\ZEPH_Ext_PcSc";
inline constexpr const char16_t* kFactorySource = u"Treiber\\ZEPH\\ZEPH_Ext_PcSc\\dllmain";

// Opens the method trace of an operation or helper of CZephExtensionPcSc at level 16.
#define ZEPH_EXTENSION_METHOD_TRACE(scope, qualifiedName)                                         \
    MethodTrace scope(TRACE_INFO, kExtensionComponent, qualifiedName, kExtensionSource, __LINE__, \
                      u"")

// Runs an operation's body behind the exception barrier: a standard exception is traced with its
// description, any other exception as such; the caller keeps the status the body had reached.
// False when the body ended with an exception.
template <typename Body>
bool RunGuarded(const char16_t* qualifiedName, Body&& body) noexcept {
    return RunBehindExceptionBarrier(kExtensionComponent, qualifiedName,
                                     CaughtExceptionText::StandardDescription,
                                     std::forward<Body>(body));
}
