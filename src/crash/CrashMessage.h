// The crash message: on Windows a message box (no owner, error icon, one OK button) that blocks
// until the user closes it; on Linux, where the host has no screen, a line in the system log.
// Tests replace where it goes.
#pragma once

namespace ExceptionTranslator {

inline constexpr char16_t kCrashMessageText[] =
    u"Der Schutzkern-Prozess Morahost.exe hat eine Ausnahmesituation verursacht.\nEs wird eine "
    u"sog. Mini-Dump-Datei zu Analysezwecken ins Schutzkern-Logverzeichnis geschrieben.";
inline constexpr char16_t kCrashMessageCaption[] = u" Morahost-Prozess muss neu gestartet werden ";

using CrashMessageShower = void (*)(const char16_t* text, const char16_t* caption);

// Shows the crash message through the current shower.
void ShowCrashMessageBox();

// The platform's shower: MessageBoxW(nullptr, text, caption, 0x10), or syslog at LOG_ERR.
void ShowPlatformCrashMessage(const char16_t* text, const char16_t* caption);

// Replaces the shower (null restores the platform's); for test programs.
void SetCrashMessageShower(CrashMessageShower shower) noexcept;

}  // namespace ExceptionTranslator
