// The component of the crash handler's trace lines: "ExceptionTranslator" until process attach
// sets the extension's "ZEPH.Ext.PcSc". At most 255 characters.
#pragma once

namespace ExceptionTranslator {

inline constexpr unsigned kCrashComponentMaxChars = 255;

// Copies the name (cut at 255 characters; null is ignored). Called once at process attach.
void SetCrashComponent(const char16_t* component) noexcept;
// The current name; empty when it was set empty.
const char16_t* CrashComponent() noexcept;

}  // namespace ExceptionTranslator
