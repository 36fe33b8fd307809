// The process-start library (ThreadControl): starts a program given by its full path, without
// waiting for its end, and waits at most 20 seconds until it is ready for input. Its trace lines
// use the component "Mora.ThreadControl".
#pragma once

#include <cstdint>
#include <string>

namespace ThreadControl {

inline constexpr char16_t kThreadControlComponent[] = u"Mora.ThreadControl";

// Results.
inline constexpr uint32_t kProcessStarted = 0;
inline constexpr uint32_t kProcessInvalidCall = 1000;  // both null, or not an absolute path
inline constexpr uint32_t kProcessCreateFailed = 1002;
inline constexpr uint32_t kProcessNoMemory = 1003;  // or an exception was raised

// Starts the program (narrow text, converted byte by byte) without parameters.
uint32_t TC_StartProcessAsyncA(const char* programName);

// The worker: quotes the program name, joins it with the parameters into "%s %s" and starts the
// command line. `startupInfo` is the platform's startup record (STARTUPINFOW* on Windows) or
// null; Linux ignores it.
uint32_t StartProcess(const char16_t* programName, const char16_t* parameters, void* startupInfo);

// Each byte becomes the character of the same value.
std::u16string ConvertToUnicode(const char* text);

}  // namespace ThreadControl
