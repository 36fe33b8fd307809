// The public calls of the process start: the single-byte start and its text conversion.
#include "process/ProcessStart.h"

#include <cstring>
#include <new>

#include "tracing/MethodTrace.h"
#include "tracing/TraceInterface.h"
#include "tracing/TraceLevels.h"

namespace ThreadControl {

namespace {
constexpr const char16_t* kSource = u"BasisLibs_MitTracing\\ThreadControlLib\\ProcessControl";
}  // namespace

std::u16string ConvertToUnicode(const char* text) {
    if (text == nullptr) {
        return {};
    }
    try {
        const size_t length = std::strlen(text);
        std::u16string wide(length, u'\0');
        for (size_t i = 0; i < length; ++i) {
            wide[i] = static_cast<unsigned char>(text[i]);
        }
        return wide;
    } catch (const std::bad_alloc&) {
        TRC_WriteFormat(TRACE_ERROR, kThreadControlComponent,
                        u"ConvertToUnicode: Fehler beim Konvertieren des Strings <%S>!", text);
        return {};
    }
}

uint32_t TC_StartProcessAsyncA(const char* programName) {
    MethodTrace trace(TRACE_INFO, kThreadControlComponent, u"ThreadControl::TC_StartProcessAsyncA",
                      kSource, __LINE__);
    if (programName == nullptr) {
        return StartProcess(nullptr, nullptr, nullptr);
    }
    const std::u16string converted = ConvertToUnicode(programName);
    return StartProcess(converted.c_str(), nullptr, nullptr);
}

}  // namespace ThreadControl
