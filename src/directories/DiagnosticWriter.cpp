#include "directories/DiagnosticWriter.h"

#include <cstdio>
#include <new>

#include "directories/InternTraceLine.h"
#include "directories/NarrowText.h"
#include "platform/TextConversion.h"

namespace configdb {

namespace {

// The writer's own failure: the debugger output, and the callback when one is registered.
void ReportWriterFailure(TracerCallback tracer, const char* debugText, const char16_t* text) {
    DebuggerOutput(debugText);
    if (tracer != nullptr) {
        tracer(true, text);
    }
}

// The message as UTF-16 for the callback; empty when nothing converts.
std::u16string ToCallbackText(const std::string& message) {
    return message.empty() ? std::u16string() : zeph::platform::NarrowToWide(message);
}

void WriteMessage(ConfigDbContext& context, TracerCallback tracer, bool isError,
                  const std::string& message) {
    if (context.InternTraceActive()) {
        InternTrace(context, context.Settings().internTraceFile.c_str(), "%s - %s",
                    isError ? "ERROR" : "INFO", message.c_str());
    }
    if (tracer == nullptr) {
        return;
    }
    const std::u16string wide = ToCallbackText(message);
    if (wide.empty()) {
        tracer(true, u"Fehler beim Konvertieren der Log-Meldung!");
    } else {
        tracer(isError, wide.c_str());
    }
}

}  // namespace

bool FormatNarrow(std::string& out, const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 1) {
        return false;
    }
    out.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(length));
    return true;
}

namespace {

void TracerWriteV(ConfigDbContext& context, TracerCallback tracer, bool isError, const char* format,
                  va_list args) noexcept {
    try {
        std::string message;
        if (!FormatNarrow(message, format, args)) {
            ReportWriterFailure(tracer,
                                "ERROR - _TracerWrite: Fehler im Format des Tracing-Strings!",
                                u"Fehler im Format des Tracing-Strings!");
            return;
        }
        WriteMessage(context, tracer, isError, message);
    } catch (const std::bad_alloc&) {
        ReportWriterFailure(tracer, "ERROR - _TracerWrite: Fehler im Erzeugen des Tracing-Strings!",
                            u"Fehler im Erzeugen des Tracing-Strings!");
    } catch (...) {
        ReportWriterFailure(tracer, "ERROR - _TracerWrite: Exception gefangen!",
                            u"Exception gefangen!");
    }
}

void InternTraceV(ConfigDbContext& context, const char* fileName, const char* format,
                  va_list args) noexcept {
    try {
        va_list measure;
        va_copy(measure, args);
        const int length = std::vsnprintf(nullptr, 0, format, measure);
        va_end(measure);
        std::string message;
        bool formatted = false;
        try {
            formatted = FormatNarrow(message, format, args);
        } catch (const std::bad_alloc&) {
            // No memory for the message: the line still goes out, saying there was nothing.
        }
        const std::string line = ComposeInternTraceLine(formatted ? &message : nullptr, length);
        AppendInternTraceLine(context.TraceMutex(), fileName, line);
    } catch (...) {
        // A line that cannot be composed at all is lost, as a line whose file cannot be opened is.
    }
}

}  // namespace

// The variadic entries only bracket the argument list, so that it is ended whatever happens
// inside.
// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style, its calls checked by the format attribute.
void TracerWrite(ConfigDbContext& context, bool isError, const char* format, ...) noexcept {
    const TracerCallback tracer = context.Tracer();
    if (tracer == nullptr && !context.InternTraceActive()) {
        return;
    }
    va_list args;
    va_start(args, format);
    TracerWriteV(context, tracer, isError, format, args);
    va_end(args);
}

// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style, its calls checked by the format attribute.
void InternTrace(ConfigDbContext& context, const char* fileName, const char* format, ...) noexcept {
    if (fileName == nullptr || fileName[0] == '\0') {
        return;
    }
    va_list args;
    va_start(args, format);
    InternTraceV(context, fileName, format, args);
    va_end(args);
}

}  // namespace configdb
