#include "directories/InternTraceLine.h"

#include <algorithm>
#include <cstdio>

#include "directories/DiagnosticWriter.h"
#include "directories/FileSystem.h"
#include "directories/NarrowText.h"
#include "platform/LocalTime.h"
#include "platform/ProcessIds.h"

namespace configdb {
namespace {

// What snprintf wrote into `buffer`: its answer is the length the text would have had, which a
// text cut at the end of the buffer exceeds.
template <size_t N>
std::string Printed(const char (&buffer)[N], int length) {
    return std::string(buffer, std::min(length > 0 ? static_cast<size_t>(length) : 0, N - 1));
}

// The time stamp, process id and thread id that start every line, with the blank after them.
std::string LinePrefix() {
    const zeph::platform::LocalDateTime now = zeph::platform::LocalDateTimeNow();
    char prefix[96];
    const int length =
        std::snprintf(prefix, sizeof prefix, "%02d.%02d.%04d %02d:%02d:%02d.%03d [%d] [%d] ",
                      now.day, now.month, now.year, now.hour, now.minute, now.second,
                      now.millisecond, static_cast<int>(zeph::platform::CurrentProcessId()),
                      static_cast<int>(zeph::platform::CurrentThreadId()));
    return Printed(prefix, length);
}

// The text of a line without message, in the platform's narrow text: the ü is the code page
// 1252 byte on Windows and UTF-8 on Linux.
#ifdef _WIN32
constexpr char kNoInfoFormat[] =
    "---------- (Keine Info zum Ausgeben verf\xFCgbar, iFormatLen <%d>)\n";
#else
constexpr char kNoInfoFormat[] =
    "---------- (Keine Info zum Ausgeben verfügbar, iFormatLen <%d>)\n";
#endif

std::string NoInfoText(int formatLength) {
    char text[sizeof kNoInfoFormat + 16];
    const int length = std::snprintf(text, sizeof text, kNoInfoFormat, formatLength);
    return Printed(text, length);
}

// What a writer that did not get the mutex puts directly before its line.
std::string WaitFailurePrefix(int32_t waitResult) {
    if (waitResult == kWaitTimeout) {
        return "-----> _InternTrace: Timeout bei WaitForSingleObject, eigentliche Trace-Zeile "
               "folgt:";
    }
    char prefix[128];
    const int length = std::snprintf(
        prefix, sizeof prefix,
        "------> _InternTrace: Fehler <%d> bei WaitForSingleObject, eigentliche Trace-Zeile folgt:",
        static_cast<int>(waitResult));
    return Printed(prefix, length);
}

// A trace file's name taken by a link or by something else than a plain file loses the line, and
// the debugger output says why (the writer cannot report on itself through its own files).
void Append(const std::string& file, const std::string& line) {
    if (AppendToFile(file, line) == AppendResult::Refused) {
        DebuggerOutput(("ERROR - _InternTrace: <" + file +
                        "> ist keine einfache Datei (Link, Verzeichnis, Gerät oder Datei mit "
                        "mehreren Namen), die Zeile wird nicht geschrieben!"_nt)
                           .c_str());
    }
}

}  // namespace

std::string ComposeInternTraceLine(const std::string* message, int formatLength) {
    std::string line = LinePrefix();
    if (message == nullptr) {
        return line + NoInfoText(formatLength);
    }
    // As "%s" shows it: up to the first null character.
    line += message->c_str();
    line += '\n';
    return line;
}

void AppendInternTraceLine(NamedMutex* mutex, const std::string& file, const std::string& line) {
    const int32_t waitResult = mutex != nullptr ? mutex->Wait(kInternTraceWaitMs) : kWaitFailed;
    if (waitResult == kWaitObject0 || waitResult == kWaitAbandoned) {
        Append(file, line);
        mutex->Release();
        return;
    }
    // The line still goes out, marked; the mutex is not ours to release.
    Append(file, WaitFailurePrefix(waitResult) + line);
}

}  // namespace configdb
