// Trace callbacks through which the directory library hands its diagnostic messages to the
// module's trace: errors at TRACE_ERROR, everything else at TRACE_INFO.
#pragma once

#include <cstddef>
#include <string>

inline constexpr char16_t kExtensionTraceComponent[] = u"ZEPH.Ext.PcSc";
inline constexpr char16_t kHelperLibDefaultTraceComponent[] = u"ZEPH.Help.Lib";
inline constexpr size_t kHelperLibComponentMaxChars = 63;

// Writes the text under "ZEPH.Ext.PcSc".
void ExtensionTraceSink(bool isError, const char16_t* text) noexcept;

// Writes the text under the helper library's current component name.
void HelperLibTraceSink(bool isError, const char16_t* text) noexcept;

// The helper library's component name, "ZEPH.Help.Lib" until set; the helper library's
// initialisation replaces it. A longer name is cut at 63 characters; null is ignored.
void SetHelperLibComponent(const char16_t* component) noexcept;
std::u16string GetHelperLibComponent();
