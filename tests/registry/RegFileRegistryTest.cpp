// The registry file of Linux: where it is found, a file that is missing or malformed (empty
// registry, diagnostic, one trace line per change), and reading it again after a change.
#include "platform/posix/RegFileRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "CapturingTraceSystem.h"
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

    std::vector<TraceLine> LinesAt(uint16_t level) const {
        std::vector<TraceLine> lines;
        for (const TraceLine& line : capture.Lines()) {
            if (line.level == level) {
                lines.push_back(line);
            }
        }
        return lines;
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
    EXPECT_EQ(LinesAt(TRACE_WARNING),
              (std::vector<TraceLine>{{TRACE_WARNING, "ZEPH.Ext.PcSc",
                                       "RegFileRegistry::Load::Registrierungsdatei <" + path +
                                           "> ist nicht vorhanden, die Registrierung ist leer"}}));
}

TEST_F(RegFileRegistryTest, MalformedFileIsNotUsedAndItsFaultIsTracedWithFileAndLine) {
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
    EXPECT_EQ(LinesAt(TRACE_ERROR),
              (std::vector<TraceLine>{
                  {TRACE_ERROR, "ZEPH.Ext.PcSc",
                   Latin1("RegFileRegistry::Load::Registrierungsdatei <" + path +
                          "> Zeile 5: Zeichenkette ohne schließendes Anführungszeichen. Die "
                          "Datei wird nicht verwendet!")}}));
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

TEST_F(RegFileRegistryTest, RepairedFileIsUsedAgain) {
    const std::string path = directory.Write("registry.reg", "not a registry file\n");
    RegFileRegistry registry(path);
    RegistryKey key;
    EXPECT_EQ(Open(registry, key), kRegistryFileNotFound);
    ASSERT_TRUE(registry.Diagnostic());
    directory.Write("registry.reg", kFile);
    EXPECT_EQ(Open(registry, key), kRegistrySuccess);
    EXPECT_FALSE(registry.Diagnostic());
}

TEST_F(RegFileRegistryTest, DirectoryAndOversizedFileAreNotUsed) {
    RegFileRegistry directoryAsFile(directory.Path().string());
    RegistryKey key;
    EXPECT_EQ(Open(directoryAsFile, key), kRegistryFileNotFound);
    ASSERT_TRUE(directoryAsFile.Diagnostic());
    EXPECT_EQ(directoryAsFile.Diagnostic()->what, u"keine gewöhnliche Datei");

    RegFileLimits limits;
    limits.maxFileBytes = 64;
    RegFileRegistry oversized(directory.Write("large.reg", kFile), limits);
    EXPECT_EQ(Open(oversized, key), kRegistryFileNotFound);
    ASSERT_TRUE(oversized.Diagnostic());
    EXPECT_EQ(oversized.Diagnostic()->line, 0u);
}

// Restores ZEPH_REGISTRY_FILE after a test that changes it.
class RegistryFileVariable : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* value = std::getenv(kRegistryFileVariable);
        m_saved = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }
    void TearDown() override {
        if (m_saved) {
            setenv(kRegistryFileVariable, m_saved->c_str(), 1);
        } else {
            unsetenv(kRegistryFileVariable);
        }
    }

  private:
    std::optional<std::string> m_saved;
};

TEST_F(RegistryFileVariable, NamesTheFileAndFallsBackToTheDefaultWhenUnsetOrEmpty) {
    setenv(kRegistryFileVariable, "/srv/zeph/test.reg", 1);
    EXPECT_EQ(RegistryFilePath(), "/srv/zeph/test.reg");
    setenv(kRegistryFileVariable, "", 1);
    EXPECT_EQ(RegistryFilePath(), "/etc/zeph/registry.reg");
    unsetenv(kRegistryFileVariable);
    EXPECT_EQ(RegistryFilePath(), "/etc/zeph/registry.reg");
}

}  // namespace
