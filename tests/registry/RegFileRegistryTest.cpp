// The registry file of Linux: where it is found, a file that is missing, malformed or not a
// regular file (empty registry, diagnostic, one trace line per change), and reading it again
// after a change.
#include "registry/RegFileRegistry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cstdlib>

#include "CapturingTraceSystem.h"
#include "ScopedVariable.h"
#include "TempDirectory.h"
#include "tracing/TraceLevels.h"

namespace {

constexpr char kFile[] =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\n\"Version\"=dword:00000001\n";

class RegFileRegistryTest : public ::testing::Test {
  protected:
    uint32_t Open(RegFileRegistry& registry, RegistryKey& key) {
        return registry.OpenLocalMachineKey(u"SOFTWARE\\Vendor", RegistryView::Bit64, kKeyRead,
                                            key);
    }

    TempDirectory directory;
    CapturingTraceSystem capture;
};

TEST_F(RegFileRegistryTest, MissingFileIsAnEmptyRegistryTracedOnce) {
    const std::string path = (directory.Path() / "absent.reg").string();
    RegFileRegistry registry(path);
    RegistryKey key;
    EXPECT_EQ(Open(registry, key), kRegistryFileNotFound);
    EXPECT_EQ(Open(registry, key), kRegistryFileNotFound);
    EXPECT_EQ(registry.Diagnostic(), (RegFileDiagnostic{path, 0, u"Datei nicht vorhanden"}));
    EXPECT_EQ(capture.Lines(),
              (std::vector<TraceLine>{{TRACE_WARNING, "ZEPH.Ext.PcSc",
                                       "RegFileRegistry::Load::Registrierungsdatei <" + path +
                                           "> ist nicht vorhanden, die Registrierung ist leer"}}));
}

TEST_F(RegFileRegistryTest, MalformedFileIsNotUsedUntilRepairedAndItsFaultIsTracedOnce) {
    const std::string path =
        directory.Write("bad.reg", std::string(kFile) + "\"Name\"=\"unterminated\n");
    RegFileRegistry registry(path);
    RegistryKey key;
    EXPECT_EQ(Open(registry, key), kRegistryFileNotFound);
    EXPECT_EQ(Open(registry, key), kRegistryFileNotFound);
    const auto diagnostic = registry.Diagnostic();
    ASSERT_TRUE(diagnostic);
    EXPECT_EQ(diagnostic->file, path);
    EXPECT_EQ(diagnostic->line, 5u);
    EXPECT_EQ(capture.Lines(),
              (std::vector<TraceLine>{
                  {TRACE_ERROR, "ZEPH.Ext.PcSc",
                   Latin1("RegFileRegistry::Load::Registrierungsdatei <" + path +
                          "> Zeile 5: Zeichenkette ohne schließendes Anführungszeichen. Die "
                          "Datei wird nicht verwendet!")}}));
    directory.Write("bad.reg", kFile);
    EXPECT_EQ(Open(registry, key), kRegistrySuccess);
    EXPECT_FALSE(registry.Diagnostic());
}

TEST_F(RegFileRegistryTest, ChangedFileIsReadAgainWhileOpenedKeysKeepTheirContent) {
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

// A directory, a FIFO without a writer and an oversized file are not used, each traced once at
// TRACE_ERROR; the FIFO is refused at once instead of waiting for a writer (a wait would hang the
// test until its time-out).
TEST_F(RegFileRegistryTest, NonRegularAndOversizedFilesAreNotUsedAndTracedOnce) {
    const std::string fifo = (directory.Path() / "fifo.reg").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    RegFileLimits small;
    small.maxFileBytes = 64;
    const struct {
        std::string path;
        RegFileLimits limits;
        std::u16string what;
    } cases[] = {
        {directory.Path().string(), {}, u"keine gewöhnliche Datei"},
        {fifo, {}, u"keine gewöhnliche Datei"},
        {directory.Write("large.reg", kFile), small, u"Datei größer als 64 Bytes"},
    };
    for (const auto& refused : cases) {
        SCOPED_TRACE(refused.path);
        capture.Clear();
        RegFileRegistry registry(refused.path, refused.limits);
        RegistryKey key;
        EXPECT_EQ(Open(registry, key), kRegistryFileNotFound);
        EXPECT_EQ(Open(registry, key), kRegistryFileNotFound);
        EXPECT_EQ(registry.Diagnostic(), (RegFileDiagnostic{refused.path, 0, refused.what}));
        ASSERT_EQ(capture.Lines().size(), 1u);
        EXPECT_EQ(capture.Lines()[0].level, TRACE_ERROR);
    }
}

TEST(RegistryFilePath, NamedByTheVariableWithTheDefaultWhenUnsetOrEmpty) {
    {
        const ScopedVariable named(kRegistryFileVariable, "/srv/zeph/test.reg");
        EXPECT_EQ(RegistryFilePath(), "/srv/zeph/test.reg");
        const ScopedVariable empty(kRegistryFileVariable, "");
        EXPECT_EQ(RegistryFilePath(), "/etc/zeph/registry.reg");
    }
    const ScopedVariable unset(kRegistryFileVariable, "");
    unsetenv(kRegistryFileVariable);
    EXPECT_EQ(RegistryFilePath(), "/etc/zeph/registry.reg");
}

}  // namespace
