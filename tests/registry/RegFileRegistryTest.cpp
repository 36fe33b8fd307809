// The registry file of Linux: where it is found, a file that is missing, malformed or not a
// regular file (empty registry, diagnostic, one trace line however often it is opened), and
// reading it again after a change.
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
        {(directory.Path() / "absent.reg").string(), 0, u"Datei nicht vorhanden", TRACE_WARNING,
         "> ist nicht vorhanden, die Registrierung ist leer"},
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
