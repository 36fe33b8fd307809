// The registry seam. The registry file: the parser's value forms and diagnostics of malformed
// files; on Linux the registry over the file: a file that is malformed or not a regular file (empty
// registry, diagnostic, one trace line however often it is opened), and reading it again after a
// change. Every registry backend answers as the Windows registry does: opening keys in both views,
// querying values (sizes, ERROR_MORE_DATA, missing values), subkeys, access rights and names
// compared without regard to case; on Linux the registry file, under Wine the real Win32 registry,
// which keeps the portable code honest. Then the limit of a key name, and the card types' provider
// names the smart card database reads under the value names Windows uses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FileText.h"
#include "MemoryRegistry.h"
#include "RegistryBackends.h"
#include "pcsc/PcScConstants.h"
#include "pcsc/SmartCardDatabase.h"
#include "registry/RegFileParser.h"
#include "registry/RegFileText.h"
#include "registry/RegistryTreeKey.h"

#ifndef _WIN32
#include <sys/stat.h>

#include "CapturingTraceSystem.h"
#include "TempDirectory.h"
#include "registry/RegFileRegistry.h"
#include "tracing/TraceLevels.h"
#endif

namespace {

// The keys below a key and the values of the names the export uses, as "  <name> <type>: <bytes>".
std::string Dump(const RegistryTreeNode& key, const std::string& path) {
    std::string text = path + "\n";
    for (const std::string name :
         {"@", "Binary", "Empty", "Expand", "Gone", "Kept", "Multi", "Qword", "Text"}) {
        const std::u16string wide(name.begin(), name == "@" ? name.begin() : name.end());
        if (const RegistryValue* value = key.FindValue(wide)) {
            text += "  " + name + " " + std::to_string(value->type) + ":";
            for (const uint8_t byte : value->data) {
                text += {' ', "0123456789abcdef"[byte >> 4], "0123456789abcdef"[byte & 15]};
            }
            text += "\n";
        }
    }
    for (const auto& [name, child] : key.Children()) {
        text += Dump(*child, path + "\\" + std::string(name.begin(), name.end()));
    }
    return text;
}

// One export in UTF-16 with its byte order mark, little and big endian: blanks around lines and
// "=", escapes in a text, continuation lines, value and key deletions, the typed forms and a key
// deleted with its subkeys under another spelling. A REGEDIT4 file in UTF-8 with its byte order
// mark, whose string types' bytes are single-byte text.
TEST(RegFileValueForms, ExportsGiveTheirTrees) {
    const std::string data = ZEPH_TEST_REGISTRY_DATA;
    for (const auto& [file, expected] : {std::pair{"/export-utf16le.reg", "/export-utf16le.txt"},
                                         {"/export-utf16be.reg", "/export-utf16le.txt"},
                                         {"/regedit4-utf8.reg", "/regedit4-utf8.txt"}}) {
        const RegFileParseResult result = ParseRegFile(ReadFileText(data + file), "test.reg", {});
        ASSERT_FALSE(result.diagnostic) << file;
        EXPECT_EQ(Dump(*result.tree.FindKey(u"HKEY_CURRENT_USER"), "HKEY_CURRENT_USER") +
                      Dump(*result.tree.FindKey(u"HKEY_LOCAL_MACHINE"), "HKEY_LOCAL_MACHINE"),
                  ReadFileText(data + expected));
    }
}

// A malformed file: where the diagnostic must point, and a word of what it must say. Each file
// has a good value before its fault: nothing of it may be used.
TEST(RegFileDiagnostics, NameFileAndLineAndKeepNothing) {
    const std::string good =
        "Windows Registry Editor Version 5.00\r\n\r\n"
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
        {"\n\nREGEDIT5\n", 3, u"Kopfzeile"},
        {" \r\n", 0, u"ohne Kopfzeile"},
        {"\xEF\xBB\xBFREGEDIT4\n\"A\"=\"x\"\n", 2, u"vor dem ersten Abschnitt"},
        {good + "[HKEY_LOCAL_MACHINE\\\\X]\n", 5, u"ungültiger Schlüsselpfad"},
        {good + "[HKEY_LOCAL\\X]\n", 5, u"unbekannter Stammschlüssel"},
        {good + "[-HKEY_LOCAL_MACHINE\\X]\n\"A\"=-\n", 6, u"Schlüssel löscht"},
        {good + "Bad=1\n", 5, u"unerwartete Zeile"},
        {good + "\"Bad\"=\"\\x\"\n", 5, u"Escape"},
        {good + "\"Bad\"=hex:01,,02\n", 5, u"Hex-Byte erwartet"},
        {good + "\"Bad\"=hex:01 02\n", 5, u"','"},
        {good + "\"Bad\"=hex:01,\\\n\n", 6, u"nach ','"},
        {good + "\"Bad\"=hex(2:01\n", 5, u"Typangabe"},
        {good + "\"Bad\"=qword:1\n", 5, u"Wert erwartet"},
        {good + "\"Bad\"=dword:1 x\n", 5, u"nach dem Wert"},
        {good + "\"Bad\" 1\n", 5, u"'='"},
        {good + std::string("\"Bad\"=\"\0\"\n", 10), 5, u"NUL"},
        {good + "\"Bad\"=hex:\\\n" + std::string(90, '1') + "\\\n" + std::string(90, '1'), 7,
         u"länger als 150"},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.text.substr(0, 120));
        const RegFileParseResult result =
            ParseRegFile(file.text, "test.reg",
                         {.maxFileBytes = 4096, .maxLineChars = 100, .maxEntryChars = 150});
        ASSERT_TRUE(result.diagnostic);
        EXPECT_EQ(result.diagnostic->file, "test.reg");
        EXPECT_EQ(result.diagnostic->line, file.line);
        EXPECT_NE(result.diagnostic->what.find(file.says), std::u16string::npos)
            << std::string(result.diagnostic->what.begin(), result.diagnostic->what.end());
        EXPECT_TRUE(result.tree.Empty());
    }
}

// UTF-8 at the edges of each lead byte's range, which leaves out overlong forms, surrogates and
// code points above U+10FFFF; "!" stands for a refused file.
TEST(RegFileDiagnostics, Utf8SequencesAtTheEdgesOfTheirRanges) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"\xC2\x80|\xE0\xA0\x80|\xED\x9F\xBF|\xF0\x90\x80\x80|\xF4\x8F\xBF\xBF",
         u"\u0080|\u0800|\uD7FF|\U00010000|\U0010FFFF"},
        {"\xC1\xBF", u"!"},
        {"\xE0\x9F\xBF", u"!"},
        {"\xED\xA0\x80", u"!"},
        {"\xF0\x8F\xBF\xBF", u"!"},
        {"\xF4\x90\x80\x80", u"!"},
        {"\xF5\x80\x80\x80", u"!"},
        {"\xE2\x82", u"!"},
        {"\xE2\x82\x28", u"!"},
        {"\xEF\xBB\xBFx", u"x"},
    };
    for (const auto& [bytes, expected] : cases) {
        std::u16string text;
        EXPECT_EQ(DecodeRegFileText(bytes, text) ? u"!" : text, expected) << bytes;
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
// test until its time-out). The malformed file is used once it is repaired, and read again when it
// changes, while keys opened before keep their content.
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
        std::string traced;  // after the file's name
    } rows[] = {
        {directory.Write("bad.reg", std::string(kFile) + "\"Name\"=\"unterminated\n"), 5,
         u"Zeichenkette ohne schließendes Anführungszeichen",
         "> Zeile 5: Zeichenkette ohne schließendes Anführungszeichen" + kUnused},
        {fifo, 0, u"keine gewöhnliche Datei", ">: keine gewöhnliche Datei" + kUnused},
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
            (std::vector<TraceLine>{{TRACE_ERROR, "ZEPH.Ext.PcSc", Latin1(text + row.traced)}}));
        if (row.line != 0) {
            directory.Write("bad.reg", kFile);
            EXPECT_EQ(Open(registry, key), kRegistrySuccess);
            EXPECT_FALSE(registry.Diagnostic());
            directory.Write("bad.reg", std::string(kFile) + "\"Added\"=hex:01\n");
            RegistryKey after;
            ASSERT_EQ(Open(registry, after), kRegistrySuccess);
            RegistryValue value;
            EXPECT_EQ(key.ReadValue(u"Added", value), kRegistryFileNotFound);
            EXPECT_EQ(after.ReadValue(u"Added", value), kRegistrySuccess);
        }
    }
}

#endif

const std::u16string kKey = TestRoot() + u"\\Card";
const RegistryValue kBinary{kRegBinary, {0x3B, 0x8F, 0x80, 0x01}};

#ifdef _WIN32
using Backend = Win32Backend;
#else
using Backend = FileBackend;
#endif

class RegistryConformance : public ::testing::Test {
  protected:
    void SetUp() override { m_backend.SetValue(kKey, RegistryView::Bit64, u"ATR", kBinary); }

    uint32_t Open(std::u16string_view path, RegistryKey& key,
                  RegistryView view = RegistryView::Bit64, uint32_t access = kKeyRead) {
        return m_backend.Registry().OpenLocalMachineKey(path, view, access, key);
    }

    Backend m_backend;
};

// Key and value names ignore case; the rights a key was opened with are enforced; each view has
// keys of its own.
TEST_F(RegistryConformance,
       OpensExistingKeysOnlyWithTheirRightsAndViewAndAClosedKeyAnswersInvalidHandle) {
    RegistryKey key;
    const std::u16string digits =
        TestRootName().substr(std::u16string_view(u"ZephRegistry").size());
    ASSERT_EQ(Open(u"software\\zephREGISTRY" + digits + u"\\CARD", key), kRegistrySuccess);
    RegistryValue value;
    ASSERT_EQ(key.ReadValue(u"atr", value), kRegistrySuccess);
    EXPECT_EQ(value, kBinary);
    EXPECT_EQ(Open(kKey + u"\\Missing", key), kRegistryFileNotFound);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(Open(u"\\" + kKey, key), kRegistryBadPathname);
    EXPECT_EQ(Open(kKey, key, RegistryView::Bit64, kKeyRead | 0x0002), kRegistryInvalidParameter);
    uint32_t size = 0;
    ASSERT_EQ(Open(kKey, key, RegistryView::Bit64, kKeyEnumerateSubKeys), kRegistrySuccess);
    EXPECT_EQ(key.QueryValue(u"ATR", nullptr, nullptr, &size), kRegistryAccessDenied);
    std::u16string name;
    ASSERT_EQ(Open(TestRoot(), key, RegistryView::Bit64, kKeyQueryValue), kRegistrySuccess);
    EXPECT_EQ(key.EnumSubKey(0, name), kRegistryAccessDenied);
    key.Close();
    EXPECT_EQ(key.QueryValue(u"ATR", nullptr, nullptr, &size), kRegistryInvalidHandle);
    EXPECT_EQ(key.SubKeyCount(size), kRegistryInvalidHandle);
    // The 32-bit view lives under WOW6432Node.
    const std::u16string key32 = TestRoot() + u"\\Only32";
    m_backend.SetValue(key32, RegistryView::Bit32, u"V", {kRegDword, {1, 0, 0, 0}});
    EXPECT_EQ(Open(key32, key, RegistryView::Bit32), kRegistrySuccess);
    EXPECT_EQ(Open(key32, key, RegistryView::Bit64), kRegistryFileNotFound);
    EXPECT_EQ(Open(u"SOFTWARE\\WOW6432Node\\" + TestRootName() + u"\\Only32", key),
              kRegistrySuccess);
    EXPECT_EQ(Open(kKey, key, RegistryView::Bit32), kRegistryFileNotFound);
}

// A size query, then an exact buffer; a small buffer is told the size and gets nothing; a missing
// value is not found; empty and default values are read.
TEST_F(RegistryConformance, QueriesAndReadsValuesAsTheWindowsRegistryDoes) {
    m_backend.SetValue(kKey, RegistryView::Bit64, u"", {kRegSz, {0x41, 0, 0, 0}});
    m_backend.SetValue(kKey, RegistryView::Bit64, u"Empty", {kRegBinary, {}});
    RegistryKey key;
    ASSERT_EQ(Open(kKey, key), kRegistrySuccess);
    uint32_t type = 0;
    uint32_t size = 0;
    ASSERT_EQ(key.QueryValue(u"ATR", &type, nullptr, &size), kRegistrySuccess);
    EXPECT_EQ(type, kRegBinary);
    ASSERT_EQ(size, kBinary.data.size());
    std::vector<uint8_t> bytes(size);
    ASSERT_EQ(key.QueryValue(u"ATR", nullptr, bytes.data(), &size), kRegistrySuccess);
    EXPECT_EQ(bytes, kBinary.data);

    uint8_t small[3] = {0xAA, 0xAA, 0xAA};
    size = sizeof small;
    type = 0;
    EXPECT_EQ(key.QueryValue(u"ATR", &type, small, &size), kRegistryMoreData);
    EXPECT_EQ(size, kBinary.data.size());
    EXPECT_EQ(type, kRegBinary);

    RegistryValue value;
    EXPECT_EQ(key.ReadValue(u"Missing", value), kRegistryFileNotFound);
    ASSERT_EQ(key.ReadValue(u"", value), kRegistrySuccess);
    EXPECT_EQ(value, (RegistryValue{kRegSz, {0x41, 0, 0, 0}}));
    ASSERT_EQ(key.ReadValue(u"Empty", value), kRegistrySuccess);
    EXPECT_EQ(value, (RegistryValue{kRegBinary, {}}));
}

TEST_F(RegistryConformance, CountsAndEnumeratesSubkeysInNameOrder) {
    for (const char16_t* name : {u"b2", u"A1", u"c3"}) {
        m_backend.SetValue(kKey + u"\\" + name, RegistryView::Bit64, u"ATR", kBinary);
    }
    RegistryKey key;
    ASSERT_EQ(Open(kKey, key), kRegistrySuccess);
    uint32_t count = 0;
    ASSERT_EQ(key.SubKeyCount(count), kRegistrySuccess);
    EXPECT_EQ(count, 3u);
    // Forwards, then backwards and skipping: every index names its own subkey.
    for (const std::vector<uint32_t>& order : {std::vector<uint32_t>{0, 1, 2}, {2, 1, 0}, {2, 0}}) {
        std::vector<std::u16string> names(3);
        for (const uint32_t i : order) {
            ASSERT_EQ(key.EnumSubKey(i, names[i]), kRegistrySuccess);
        }
        const std::u16string expected[] = {u"A1", u"b2", u"c3"};
        for (const uint32_t i : order) {
            EXPECT_EQ(names[i], expected[i]);
        }
    }
    std::u16string past;
    EXPECT_EQ(key.EnumSubKey(3, past), kRegistryNoMoreItems);
}

TEST(RegistryPathLimits, KeyNamesOfMoreThan255CharactersAreInvalid) {
    EXPECT_TRUE(SplitRegistryPath(std::u16string(255, u'k')));
    EXPECT_FALSE(SplitRegistryPath(std::u16string(256, u'k')));
}

// Card types ignore case but reach no other key; only string values name providers, and they end
// at their first NUL. The value names of the provider kinds are read in
// tests/identification/HelperTest.
TEST(SmartCardDatabaseTest, FindsTheProviderOfTheCardTypeInItsStringValue) {
    const std::u16string key = std::u16string(kSmartCardDatabaseKey) + u"\\TALPO SmartCard";
    const RegistryValue csp{kRegSz, RegistryStringBytes(u"CSP")};
    const RegistryValue binary{kRegBinary, {0x41, 0}};
    const RegistryValue unterminated{kRegSz, {0x41, 0, 0x42, 0, 0x43}};  // an odd last byte too
    const struct {
        std::u16string card;
        uint32_t providerId;
        RegistryValue value;  // of "Crypto Provider"
        uint32_t result;
        std::u16string provider;
    } rows[] = {
        {u"talpo smartcard", kScardProviderCsp, csp, 0, u"CSP"},
        {u"TALPO SmartCard\\Nested", kScardProviderCsp, csp, SCARD_E_UNKNOWN_CARD, u""},
        {u"TALPO SmartCard", kScardProviderCsp, binary, kInvalidDataResult, u""},
        {u"TALPO SmartCard", kScardProviderCsp, unterminated, 0, u"AB"},
    };
    for (const auto& row : rows) {
        MemoryRegistry registry;
        registry.SetValue(key, u"Crypto Provider", row.value);
        registry.SetString(key + u"\\Nested", u"Crypto Provider", u"nested");
        std::u16string provider = u"stale";
        EXPECT_EQ(LookUpCardTypeProvider(registry, row.card, row.providerId, provider), row.result)
            << std::string(row.card.begin(), row.card.end());
        EXPECT_EQ(provider, row.provider);
    }
}

}  // namespace
