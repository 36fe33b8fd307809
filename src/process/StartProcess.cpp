// The worker of the process start: checks and quotes the program name, joins it with the
// parameters into the command line, starts it and reports how the wait for its input readiness
// ended.
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "directories/ConfigDB.h"
#include "process/ProcessLauncher.h"
#include "process/ProcessStart.h"
#include "tracing/MethodTrace.h"
#include "tracing/TraceInterface.h"
#include "tracing/TraceLevels.h"

namespace ThreadControl {

namespace {

constexpr const char16_t* kComponent = kThreadControlComponent;
constexpr const char16_t* kSource = u"BasisLibs_MitTracing\\ThreadControlLib\\ProcessControlInt";
constexpr size_t kWorkingRoom = 260;

// An empty text with room for `chars` characters; false when that memory cannot be had.
bool Allocate(std::u16string& text, size_t chars) noexcept {
    try {
        text.reserve(chars);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// The program name without one leading and one trailing double quote.
std::u16string_view BareName(std::u16string_view name) {
    if (!name.empty() && name.front() == u'"') {
        name.remove_prefix(1);
    }
    if (!name.empty() && name.back() == u'"') {
        name.remove_suffix(1);
    }
    return name;
}

// Puts the missing double quotes around the name; true when it added one.
bool QuoteName(std::u16string_view name, std::u16string& quoted) {
    const bool opening = !name.starts_with(u'"');
    const bool closing = !name.ends_with(u'"');
    quoted.assign(opening ? u"\"" : u"").append(name).append(closing ? u"\"" : u"");
    return opening || closing;
}

// Checks and quotes the program name into `quoted`; the status it notes, if any.
std::optional<uint32_t> PrepareProgramName(const char16_t* programName, std::u16string& quoted) {
    const std::u16string_view name(programName);
    if (!Allocate(quoted, name.size() + kWorkingRoom)) {
        TRC_WriteW(TRACE_ERROR, kComponent,
                   u"Fehler aufgetreten bei Speicherallokierung für die den Programmnamen!");
        return kProcessNoMemory;
    }
    if (!CDB_IsFullPath(std::u16string(BareName(name)))) {
        TRC_WriteW(TRACE_ERROR, kComponent,
                   u"Der übergebene Dateiname wurde nicht absolut angegeben! Der Prozess wird "
                   u"nicht gestartet!");
        return kProcessInvalidCall;
    }
    if (QuoteName(name, quoted)) {
        TRC_WriteFormat(TRACE_DETAIL, kComponent, u"Prozess-Name wurde gequoted: <%s>.", quoted);
    }
    return std::nullopt;
}

void TraceCreateFailure(uint32_t error, const std::u16string& quotedName) {
    if (error == kErrorElevationRequired) {
        TRC_WriteFormat(TRACE_ERROR, kComponent, u"Der Prozess <%s> benötigt erhöhte Rechte!",
                        quotedName);
    } else {
        TRC_WriteFormat(TRACE_ERROR, kComponent, u"CreateProcess() lieferte <%d> zurück!", error);
    }
}

void TraceInputIdleWait(const LaunchOutcome& outcome) {
    switch (outcome.wait) {
        case InputIdleWait::Ready:
            TRC_WriteW(TRACE_DETAIL, kComponent, u"WaitForInputIdle() war erfolgreich.");
            break;
        case InputIdleWait::TimedOut:
            TRC_WriteW(TRACE_WARNING, kComponent,
                       u"Beim Warten auf den Prozess-Start wurde der Timeout überschritten!");
            break;
        case InputIdleWait::Failed:
            if (outcome.waitValue != kErrorNotGuiProcess) {
                TRC_WriteFormat(TRACE_ERROR, kComponent,
                                u"Beim Warten auf den Prozess-Start trat der Fehler <%d> auf!",
                                outcome.waitValue);
            }
            break;
        case InputIdleWait::Other:
            TRC_WriteFormat(TRACE_WARNING, kComponent, u"WaitForInputIdle() lieferte <%d> zurück!",
                            outcome.waitValue);
            break;
    }
}

// Steps from the checks of the arguments to the end of the wait.
uint32_t CheckAndStart(const char16_t* programName, const char16_t* parameters, void* startupInfo) {
    TRC_WriteFormat(TRACE_DETAIL, kComponent,
                    u"Funktionsaufruf mit Prozessname: <%s>, Parameter: <%s>, Warten auf "
                    u"Prozess-Ende: <%s>",
                    programName != nullptr ? programName : u"NULL",
                    parameters != nullptr ? parameters : u"NULL", u"Nein");
    if (programName == nullptr && parameters == nullptr) {
        TRC_WriteW(TRACE_ERROR, kComponent,
                   u"Sowohl der Prozessname, als auch die Parameter sind NULL!");
        return kProcessInvalidCall;
    }
    std::optional<uint32_t> status;
    std::u16string parameterCopy;
    if (parameters != nullptr) {
        const std::u16string_view given(parameters);
        if (Allocate(parameterCopy, given.size() + kWorkingRoom)) {
            parameterCopy.assign(given);
        } else {
            TRC_WriteW(TRACE_ERROR, kComponent,
                       u"Fehler aufgetreten bei Speicherallokierung für die Parametrisierung!");
            status = kProcessNoMemory;
        }
    }
    std::u16string quotedName;
    if (programName != nullptr) {
        const std::optional<uint32_t> nameStatus = PrepareProgramName(programName, quotedName);
        if (nameStatus == kProcessNoMemory) {
            return kProcessNoMemory;
        }
        status = nameStatus.has_value() ? nameStatus : status;
    }
    if (status.has_value()) {
        return *status;
    }
    std::u16string commandLine;
    if (!Allocate(commandLine, quotedName.size() + 1 + parameterCopy.size() + 1)) {
        TRC_WriteW(TRACE_ERROR, kComponent,
                   u"Fehler aufgetreten bei Speicherallokierung für die den Programmaufruf!");
        return kProcessNoMemory;
    }
    commandLine.append(quotedName).append(u" ").append(parameterCopy);  // "%s %s"
    TRC_WriteFormat(TRACE_DETAIL, kComponent, u"Der Programmaufruf <%s> wird gestartet.",
                    commandLine);
    const LaunchOutcome outcome = LaunchProcess(commandLine, startupInfo);
    if (!outcome.created) {
        TraceCreateFailure(outcome.createError, quotedName);
        return kProcessCreateFailed;
    }
    TraceInputIdleWait(outcome);
    return kProcessStarted;
}

}  // namespace

uint32_t StartProcess(const char16_t* programName, const char16_t* parameters, void* startupInfo) {
    MethodTrace trace(TRACE_INFO, kComponent, u"ThreadControl::_StartProcess", kSource, __LINE__);
    try {
        return CheckAndStart(programName, parameters, startupInfo);
    } catch (...) {
        TRC_WriteFormat(TRACE_EXCEPTION, kComponent, u"Exception in <%s> aufgetreten!",
                        u"ThreadControl::_StartProcess");
        return kProcessNoMemory;
    }
}

}  // namespace ThreadControl
