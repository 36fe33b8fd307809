// The registry backend of the platform with a way to write fixtures into it, so that one suite
// checks each against the same expectations: the registry file on Linux and the Windows registry
// (Wine's) on Windows. Each has SetValue, which writes a value (and its key) below
// HKEY_LOCAL_MACHINE as the view shows it, and Registry().
#pragma once

#include <charconv>
#include <chrono>
#include <random>
#include <string>

#include "registry/Registry.h"

#ifdef _WIN32
#include "Win32RegistryFixture.h"  // Win32Backend
#else
#include "TempDirectory.h"
#include "registry/RegFileRegistry.h"
#endif

// The key below SOFTWARE that every fixture key of this process lies in: "ZephRegistryTest" and
// digits drawn at random, so that test programs running side by side, and runs after a killed
// one, do not share fixtures.
inline const std::u16string& TestRootName() {
    static const std::string digits = std::to_string(
        std::random_device{}() ^
        static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    static const std::u16string name =
        u"ZephRegistryTest" + std::u16string(digits.begin(), digits.end());
    return name;
}

inline std::u16string TestRoot() {
    return u"SOFTWARE\\" + TestRootName();
}

#ifndef _WIN32

// Writes the fixtures as a registry export file, rewritten after every change.
class FileBackend {
  public:
    FileBackend() : m_path(m_directory.Write("registry.reg", "")), m_registry(m_path) {}

    // The 32-bit view's keys are written where the 64-bit view shows them; the file is written
    // again after every value.
    void SetValue(std::u16string_view path, RegistryView view, std::u16string_view name,
                  const RegistryValue& value) {
        const std::string wow = view == RegistryView::Bit32 ? "SOFTWARE\\WOW6432Node" : "SOFTWARE";
        m_text.append("\r\n[HKEY_LOCAL_MACHINE\\" + wow + Ascii(path.substr(8)) + "]\r\n");
        m_text.append("\"").append(Ascii(name) + "\"=hex(" + Hex(value.type) + "):");
        for (size_t i = 0; i < value.data.size(); ++i) {
            m_text.append(i > 0 ? "," : "").append(Hex(value.data[i]));
        }
        m_text += "\r\n";
        m_directory.Write("registry.reg", "Windows Registry Editor Version 5.00\r\n" + m_text);
    }
    RegistryApi& Registry() { return m_registry; }
    const std::string& Path() const { return m_path; }

  private:
    static std::string Ascii(std::u16string_view text) { return {text.begin(), text.end()}; }
    static std::string Hex(uint32_t number) {
        char digits[8];
        return {digits, std::to_chars(digits, digits + sizeof digits, number, 16).ptr};
    }

    TempDirectory m_directory;
    std::string m_path;
    std::string m_text;
    RegFileRegistry m_registry;
};

#endif
