// The exception barrier of a public boundary: runs the boundary's body so that no exception
// leaves it, and traces a caught exception at TRACE_EXCEPTION under the boundary's component.
//
// A boundary opens its method trace first and runs its body behind the barrier: an exception
// the barrier catches never leaves the method trace's scope, so it shows as the caught-exception
// line only, not as the unwinding frame a scope writes when an exception leaves it.
#pragma once

#include <exception>

#include "platform/OperationDepth.h"

// What the line of a caught exception says.
enum class CaughtExceptionText {
    Plain,                // "%s::Exception gefangen!" for every exception
    StandardDescription,  // "%s::Std::Exception gefangen! <%S>" with a standard exception's text
};

// Traces a caught exception; `caught` is null for one that is not a standard exception.
void TraceCaughtException(const char16_t* component, const char16_t* qualifiedName,
                          CaughtExceptionText text, const std::exception* caught) noexcept;

// Runs the body; no exception leaves it. The caller keeps what the body had reached. False when
// the body ended with an exception. While the body runs the thread counts as inside an operation,
// so that a processor fault in it is carried here as an exception by the crash handler.
template <typename Body>
bool RunBehindExceptionBarrier(const char16_t* component, const char16_t* qualifiedName,
                               CaughtExceptionText text, Body&& body) noexcept {
    try {
        const zeph::platform::OperationScope inside;
        body();
        return true;
    } catch (const std::exception& caught) {
        TraceCaughtException(component, qualifiedName, text, &caught);
    } catch (...) {
        TraceCaughtException(component, qualifiedName, text, nullptr);
    }
    return false;
}
