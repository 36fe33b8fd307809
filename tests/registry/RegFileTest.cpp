// The registry file: the parser's value forms and diagnostics of malformed files; on Linux the
// registry over the file: a file that is malformed or not a regular file (empty registry,
// diagnostic, one trace line however often it is opened), and reading it again after a change.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MemoryRegistry.h"
#include "registry/RegFileParser.h"

#ifndef _WIN32
#include <sys/stat.h>

#include "CapturingTraceSystem.h"
#include "TempDirectory.h"
#include "registry/RegFileRegistry.h"
#include "tracing/TraceLevels.h"
#endif

namespace {

constexpr char kHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr char16_t kVendorKey[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor";

RegFileParseResult Parse(std::string_view text, const RegFileLimits& limits = {}) {
    return ParseRegFile(text, "test.reg", limits);
}

// The value of the vendor key in a file that must parse.
RegistryValue FileValue(std::string_view file, std::u16string_view name) {
    const RegFileParseResult result = Parse(file);
    EXPECT_FALSE(result.diagnostic) << (result.diagnostic ? result.diagnostic->line : 0);
    const RegistryTreeNode* key = result.tree.FindKey(kVendorKey);
    const RegistryValue* value = key != nullptr ? key->FindValue(name) : nullptr;
    return value != nullptr ? *value : RegistryValue{0xFFFF, {}};
}

// A value line of the vendor key (or several), a value's name and the value it gives.
TEST(RegFileValueForms, EachFormGivesItsTypeAndBytes) {
    const struct {
        const char* lines;
        const char16_t* name;
        RegistryValue value;
    } forms[] = {
        {R"("Path"="C:\\Program Files\\\"x\"")",
         u"Path",
         {kRegSz, RegistryStringBytes(u"C:\\Program Files\\\"x\"")}},
        {"\"B\"=hex:01,02,\\\r\n  03,\\\r\n\t04", u"B", {kRegBinary, {1, 2, 3, 4}}},
    };
    for (const auto& form : forms) {
        EXPECT_EQ(FileValue(std::string(kHeader) + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n" +
                                form.lines + "\r\n",
                            form.name),
                  form.value)
            << form.lines;
    }
}

// A malformed file: where the diagnostic must point, and a word of what it must say. Each file
// has a good value before its fault: nothing of it may be used.
TEST(RegFileDiagnostics, NameFileAndLineAndKeepNothing) {
    const std::string good = std::string(kHeader) +
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\n"
                             "\"Good\"=dword:1\n";  // lines 1 to 4
    const struct {
        std::string text;
        uint32_t line;
        std::u16string_view says;
    } files[] = {
        {good + "\"Bad\"=\"" + std::string(93, 'x') + "\"\n", 5, u"Zeile länger als 100"},
        {good + "\"Bad\"=hex:01,\\", 5, u"Fortsetzungszeile"},
        {good + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X\n", 5, u"']'"},
        {good + "\"Bad\"=\"\xC0\xAF\"\n", 5, u"UTF-8"},
        {good + "\"Bad\"=dword:000000001\n", 5, u"DWORD"},
        {std::string("\xFF\xFE\x41\0B", 5), 1, u"ungerade"},
        {good + std::string(4097 - good.size(), ';'), 0, u"größer als 4096"},
    };
    RegFileLimits limits;
    limits.maxLineChars = 100;
    limits.maxFileBytes = 4096;
    for (const auto& file : files) {
        SCOPED_TRACE(file.text.substr(0, 120));
        const RegFileParseResult result = Parse(file.text, limits);
        ASSERT_TRUE(result.diagnostic);
        EXPECT_EQ(result.diagnostic->file, "test.reg");
        EXPECT_EQ(result.diagnostic->line, file.line);
        EXPECT_NE(result.diagnostic->what.find(file.says), std::u16string::npos)
            << std::string(result.diagnostic->what.begin(), result.diagnostic->what.end());
        EXPECT_TRUE(result.tree.Empty());
    }
}

#ifndef _WIN32
constexpr char kFile[] =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\n\"Version\"=dword:00000001\n";

uint32_t Open(RegFileRegistry& registry, RegistryKey& key) {
    return registry.OpenLocalMachineKey(u"SOFTWARE\\Vendor", RegistryView::Bit64, kKeyRead, key);
}

// A FIFO without a writer is refused at once instead of waiting for one (a wait would hang the
// test until its time-out). The malformed file is used once it is repaired.
TEST(RegFileRegistry, UnusableFileIsAnEmptyRegistryWithItsDiagnosticTracedOnce) {
    TempDirectory directory;
    CapturingTraceSystem capture;
    const std::string fifo = (directory.Path() / "fifo.reg").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string kUnused = ". Die Datei wird nicht verwendet!";
    const struct {
        std::string path;
        uint32_t line;
        std::u16string what;
        uint16_t level;
        std::string traced;  // after the file's name
    } rows[] = {
        {directory.Write("bad.reg", std::string(kFile) + "\"Name\"=\"unterminated\n"), 5,
         u"Zeichenkette ohne schließendes Anführungszeichen", TRACE_ERROR,
         "> Zeile 5: Zeichenkette ohne schließendes Anführungszeichen" + kUnused},
        {fifo, 0, u"keine gewöhnliche Datei", TRACE_ERROR, ">: keine gewöhnliche Datei" + kUnused},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        capture.Clear();
        RegFileRegistry registry(row.path);
        RegistryKey key;
        EXPECT_EQ(Open(registry, key), kRegistryFileNotFound);
        EXPECT_EQ(Open(registry, key), kRegistryFileNotFound);
        EXPECT_EQ(registry.Diagnostic(), (RegFileDiagnostic{row.path, row.line, row.what}));
        const std::string text = "RegFileRegistry::Load::Registrierungsdatei <" + row.path;
        EXPECT_EQ(
            capture.Lines(),
            (std::vector<TraceLine>{{row.level, "ZEPH.Ext.PcSc", Latin1(text + row.traced)}}));
        if (row.line != 0) {
            directory.Write("bad.reg", kFile);
            EXPECT_EQ(Open(registry, key), kRegistrySuccess);
            EXPECT_FALSE(registry.Diagnostic());
        }
    }
}

TEST(RegFileRegistry, ChangedFileIsReadAgainWhileOpenedKeysKeepTheirContent) {
    TempDirectory directory;
    const std::string path = directory.Write("registry.reg", kFile);
    RegFileRegistry registry(path);
    RegistryKey before;
    ASSERT_EQ(Open(registry, before), kRegistrySuccess);
    directory.Write("registry.reg",
                    std::string(kFile) + "\"Added\"=hex:01\n\"Version\"=dword:00000002\n");
    RegistryKey after;
    ASSERT_EQ(Open(registry, after), kRegistrySuccess);
    RegistryValue value;
    EXPECT_EQ(before.ReadValue(u"Added", value), kRegistryFileNotFound);
    ASSERT_EQ(after.ReadValue(u"Version", value), kRegistrySuccess);
    EXPECT_EQ(value.data, (std::vector<uint8_t>{2, 0, 0, 0}));
    EXPECT_FALSE(registry.Diagnostic());
}

#endif

}  // namespace
