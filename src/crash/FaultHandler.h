// The process-wide handler of processor faults and the marks of the threads it acts for. It acts
// only on a marked thread, inside one of the module's operations (platform/OperationDepth.h), and
// only on a processor fault: it runs the crash procedure and then carries the fault to the
// operation's exception barrier as a StructuredException. Everything else goes on untouched to
// whatever handled it before.
#pragma once

namespace ExceptionTranslator {

// Installs the handler once per process; later calls do nothing. It is removed when the module
// unloads.
void InstallProcessFaultHandler() noexcept;

// Marks the calling thread (idempotent).
void MarkThreadForFaults() noexcept;

}  // namespace ExceptionTranslator
