#include "crash/ThreadCrashHandlers.h"

#include "crash/FaultHandler.h"
#include "crash/InvalidParameterHandler.h"

void InstallThreadCrashHandlers() noexcept {
    ExceptionTranslator::MarkThreadForFaults();
    ExceptionTranslator::InstallProcessFaultHandler();
    ExceptionTranslator::InstallInvalidParameterHandler();
}
