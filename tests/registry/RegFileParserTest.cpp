// The registry file parser: value forms, file structure, and the diagnostics of malformed files.
#include "registry/RegFileParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr char kHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr char16_t kVendorKey[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor";

RegFileParseResult Parse(std::string_view text, const RegFileLimits& limits = {}) {
    return ParseRegFile(text, "test.reg", limits);
}

// A file with one section for the vendor key and the given value lines.
std::string VendorFile(std::string_view values) {
    return std::string(kHeader) + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n" +
           std::string(values) + "\r\n";
}

std::vector<uint8_t> Utf16Le(std::u16string_view text) {
    std::vector<uint8_t> bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

// The value of the vendor key in a file that must parse.
RegistryValue VendorValue(std::string_view values, std::u16string_view name) {
    const RegFileParseResult result = Parse(VendorFile(values));
    EXPECT_FALSE(result.diagnostic) << (result.diagnostic ? result.diagnostic->line : 0);
    const RegistryTreeNode* key = result.tree.FindKey(kVendorKey);
    const RegistryValue* value = key != nullptr ? key->FindValue(name) : nullptr;
    return value != nullptr ? *value : RegistryValue{0xFFFF, {}};
}

TEST(RegFileValueForms, StringsUnescapeBackslashAndQuote) {
    EXPECT_EQ(VendorValue(R"("Path"="C:\\Program Files\\\"x\"")", u"Path"),
              (RegistryValue{kRegSz, Utf16Le(u"C:\\Program Files\\\"x\"")}));
    EXPECT_EQ(VendorValue(R"("Empty"="")", u"Empty"), (RegistryValue{kRegSz, {0, 0}}));
    EXPECT_EQ(VendorValue("\"Umlaut\"=\"Gr\xC3\xBC\xC3\x9F"
                          "e\"",
                          u"Umlaut"),
              (RegistryValue{kRegSz, Utf16Le(u"Grüße")}));
}

TEST(RegFileValueForms, AtSignNamesTheDefaultValue) {
    EXPECT_EQ(VendorValue(R"(@="standard")", u""), (RegistryValue{kRegSz, Utf16Le(u"standard")}));
}

TEST(RegFileValueForms, DwordsAreLittleEndianWithOneToEightDigits) {
    EXPECT_EQ(VendorValue("\"D\"=dword:0000abCD", u"D"),
              (RegistryValue{kRegDword, {0xCD, 0xAB, 0x00, 0x00}}));
    EXPECT_EQ(VendorValue("\"D\"=dword:7", u"D"), (RegistryValue{kRegDword, {7, 0, 0, 0}}));
    EXPECT_EQ(VendorValue("\"D\"=DWORD:ffffffff", u"D"),
              (RegistryValue{kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}}));
}

TEST(RegFileValueForms, HexFormsCarryTheirTypeAndRawBytes) {
    EXPECT_EQ(VendorValue("\"B\"=hex:01,ff,7F", u"B"),
              (RegistryValue{kRegBinary, {0x01, 0xFF, 0x7F}}));
    EXPECT_EQ(VendorValue("\"B\"=hex:", u"B"), (RegistryValue{kRegBinary, {}}));
    EXPECT_EQ(VendorValue("\"B\" = hex: 0a , b ,0C", u"B"),
              (RegistryValue{kRegBinary, {0x0A, 0x0B, 0x0C}}));
    EXPECT_EQ(VendorValue("\"E\"=hex(2):25,00,00,00", u"E"),
              (RegistryValue{kRegExpandSz, {0x25, 0, 0, 0}}));
    EXPECT_EQ(VendorValue("\"M\"=hex(7):61,00,00,00,00,00", u"M"),
              (RegistryValue{kRegMultiSz, {0x61, 0, 0, 0, 0, 0}}));
    EXPECT_EQ(VendorValue("\"Q\"=hex(b):01,00,00,00,00,00,00,00", u"Q"),
              (RegistryValue{kRegQword, {1, 0, 0, 0, 0, 0, 0, 0}}));
    EXPECT_EQ(VendorValue("\"N\"=HEX(100):", u"N"), (RegistryValue{0x100, {}}));
}

TEST(RegFileValueForms, Regedit4StringTypesAreWidenedFromSingleBytes) {
    const RegFileParseResult result = Parse(
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\n"
        "\"E\"=hex(2):41,42,00\n\"B\"=hex:41,42\n\"S\"=\"AB\"\n");
    ASSERT_FALSE(result.diagnostic);
    const RegistryTreeNode* key = result.tree.FindKey(kVendorKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(*key->FindValue(u"E"), (RegistryValue{kRegExpandSz, {0x41, 0, 0x42, 0, 0, 0}}));
    EXPECT_EQ(*key->FindValue(u"B"), (RegistryValue{kRegBinary, {0x41, 0x42}}));
    EXPECT_EQ(*key->FindValue(u"S"), (RegistryValue{kRegSz, Utf16Le(u"AB")}));
}

TEST(RegFileValueForms, MinusDeletesAValueAndLaterValuesReplaceEarlierOnes) {
    const RegFileParseResult result =
        Parse(VendorFile("\"Gone\"=dword:1\r\n\"Kept\"=dword:1\r\n\"Gone\"=-\r\n\"KEPT\"=dword:2"));
    ASSERT_FALSE(result.diagnostic);
    const RegistryTreeNode* key = result.tree.FindKey(kVendorKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->FindValue(u"Gone"), nullptr);
    EXPECT_EQ(*key->FindValue(u"kept"), (RegistryValue{kRegDword, {2, 0, 0, 0}}));
}

TEST(RegFileStructure, BackslashContinuesAValueOnTheNextLine) {
    EXPECT_EQ(VendorValue("\"B\"=hex:01,02,\\\r\n  03,\\\r\n\t04", u"B"),
              (RegistryValue{kRegBinary, {1, 2, 3, 4}}));
    EXPECT_EQ(VendorValue("\"D\"=dword:0000\\\n  00ff  ", u"D"),
              (RegistryValue{kRegDword, {0xFF, 0, 0, 0}}));
    // A backslash inside a string ends nothing.
    EXPECT_EQ(VendorValue(R"("P"="C:\\")", u"P"), (RegistryValue{kRegSz, Utf16Le(u"C:\\")}));
}

TEST(RegFileStructure, CommentsBlankLinesAndByteOrderMarksAreSkipped) {
    const std::string text =
        "\xEF\xBB\xBF\n  \nWindows Registry Editor Version 5.00\n; note\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\n  ; indented note\n\t\n"
        "\"A\"=dword:1\n";
    const RegFileParseResult result = Parse(text);
    ASSERT_FALSE(result.diagnostic);
    EXPECT_NE(result.tree.FindKey(kVendorKey)->FindValue(u"A"), nullptr);
}

TEST(RegFileStructure, Utf16LittleEndianExportsAreRead) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n"
        u"\"Name\"=\"Wert\"\r\n";
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    const RegFileParseResult result = Parse(bytes);
    ASSERT_FALSE(result.diagnostic);
    EXPECT_EQ(*result.tree.FindKey(kVendorKey)->FindValue(u"Name"),
              (RegistryValue{kRegSz, Utf16Le(u"Wert")}));
}

TEST(RegFileStructure, SectionsCreateParentsMergeIgnoringCaseAndDeleteSubtrees) {
    const RegFileParseResult result =
        Parse(std::string(kHeader) +
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product\\Sub]\n\"A\"=dword:1\n"
              "[hkey_local_machine\\software\\VENDOR\\product\\sub]\n\"B\"=dword:2\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Old\\Deeper]\n\"C\"=dword:3\n"
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Old]\n");
    ASSERT_FALSE(result.diagnostic);
    const RegistryTreeNode* sub =
        result.tree.FindKey(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product\\Sub");
    ASSERT_NE(sub, nullptr);
    EXPECT_NE(sub->FindValue(u"a"), nullptr);
    EXPECT_NE(sub->FindValue(u"b"), nullptr);
    const RegistryTreeNode* product =
        result.tree.FindKey(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product");
    ASSERT_NE(product, nullptr);
    ASSERT_EQ(product->Children().size(), 1u);
    EXPECT_EQ(product->Children().begin()->first, u"Sub");
    EXPECT_EQ(result.tree.FindKey(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Old"), nullptr);
}

TEST(RegFileStructure, TheThirtyTwoBitViewIsAnOrdinaryKeyUnderWow6432Node) {
    const RegFileParseResult result =
        Parse(std::string(kHeader) +
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Vendor]\n\"A\"=dword:1\n");
    ASSERT_FALSE(result.diagnostic);
    EXPECT_NE(result.tree.FindKey(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor"), nullptr);
    EXPECT_EQ(result.tree.FindKey(kVendorKey), nullptr);
}

// A malformed file: where the diagnostic must point, and a word of what it must say.
struct Malformed {
    const char* name;
    std::string text;
    uint32_t line;
    std::u16string_view says;
};

void PrintTo(const Malformed& malformed, std::ostream* out) {
    *out << malformed.name;
}

class RegFileDiagnostics : public ::testing::TestWithParam<Malformed> {};

// Each file has a good value before its fault: nothing of it may be used.
TEST_P(RegFileDiagnostics, NameFileAndLineAndKeepNothing) {
    const Malformed& malformed = GetParam();
    RegFileLimits limits;
    limits.maxLineChars = 100;
    limits.maxEntryChars = 200;
    limits.maxFileBytes = 4096;
    const RegFileParseResult result = Parse(malformed.text, limits);
    ASSERT_TRUE(result.diagnostic);
    EXPECT_EQ(result.diagnostic->file, "test.reg");
    EXPECT_EQ(result.diagnostic->line, malformed.line);
    EXPECT_NE(result.diagnostic->what.find(malformed.says), std::u16string::npos)
        << std::string(result.diagnostic->what.begin(), result.diagnostic->what.end());
    EXPECT_TRUE(result.tree.Empty());
}

const std::string kGood = std::string(kHeader) +
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\n"
                          "\"Good\"=dword:1\n";  // lines 1 to 4

INSTANTIATE_TEST_SUITE_P(
    Malformed, RegFileDiagnostics,
    ::testing::Values(
        Malformed{"UnterminatedString", kGood + "\"Bad\"=\"open\n", 5, u"Anführungszeichen"},
        Malformed{"UnterminatedName", kGood + "\"Bad=dword:1\n", 5, u"Anführungszeichen"},
        Malformed{"UnknownEscape", kGood + "\"Bad\"=\"C:\\Windows\"\n", 5, u"Escape"},
        Malformed{"BadHexDigit", kGood + "\"Bad\"=hex:01,0g\n", 5, u"','"},
        Malformed{"EmptyHexByte", kGood + "\"Bad\"=hex:01,,02\n", 5, u"Hex-Byte"},
        Malformed{"TrailingComma", kGood + "\"Bad\"=hex:01,\n", 5, u"Hex-Byte"},
        Malformed{"ThreeDigitByte", kGood + "\"Bad\"=hex:123\n", 5, u"','"},
        Malformed{"BadHexInContinuation", kGood + "\"Bad\"=hex:01,\\\n  02,\\\n  zz\n", 7,
                  u"Hex-Byte"},
        Malformed{"BadTypeOfHex", kGood + "\"Bad\"=hex(x):01\n", 5, u"hex(n)"},
        Malformed{"LongDword", kGood + "\"Bad\"=dword:123456789\n", 5, u"DWORD"},
        Malformed{"EmptyDword", kGood + "\"Bad\"=dword:\n", 5, u"DWORD"},
        Malformed{"UnknownValueForm", kGood + "\"Bad\"=qword:1\n", 5, u"Wert erwartet"},
        Malformed{"TextAfterValue", kGood + "\"Bad\"=dword:1 ; note\n", 5, u"nach dem Wert"},
        Malformed{"MissingEquals", kGood + "\"Bad\" dword:1\n", 5, u"'='"},
        Malformed{"ValueBeforeSection", std::string(kHeader) + "\"Bad\"=dword:1\n", 3,
                  u"vor dem ersten Abschnitt"},
        Malformed{"ValueInDeletion", kGood + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"B\"=-\n", 6,
                  u"löscht"},
        Malformed{"OverlongLine", kGood + "\"Bad\"=\"" + std::string(100, 'x') + "\"\n", 5,
                  u"Zeile länger als 100"},
        Malformed{"OverlongEntry",
                  kGood + "\"Bad\"=hex:" + std::string(80, '0') + ",\\\n" + std::string(80, '0') +
                      ",\\\n" + std::string(80, '0') + "\n",
                  7, u"länger als 200"},
        Malformed{"ContinuationAtEnd", kGood + "\"Bad\"=hex:01,\\", 5, u"Fortsetzungszeile"},
        Malformed{"SectionWithoutBracket", kGood + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X\n", 5, u"']'"},
        Malformed{"EmptyKeyName", kGood + "[HKEY_LOCAL_MACHINE\\\\X]\n", 5, u"Schlüsselpfad"},
        Malformed{"UnknownHive", kGood + "[HKEY_NOWHERE\\X]\n", 5, u"Stammschlüssel"},
        Malformed{"UnexpectedLine", kGood + "Name=1\n", 5, u"unerwartete Zeile"},
        Malformed{"WrongHeader", "Windows Registry Editor Version 6.00\n", 1, u"Kopfzeile"},
        Malformed{"NoHeaderAtAll", "\n  \n", 0, u"Kopfzeile"},
        Malformed{"InvalidUtf8", kGood + "\"Bad\"=\"\xC3\x28\"\n", 5, u"UTF-8"},
        Malformed{"Utf8Surrogate", kGood + "\"Bad\"=\"\xED\xA0\x80\"\n", 5, u"UTF-8"},
        Malformed{"NulCharacter", kGood + std::string("\"Bad\"=\"a\0b\"\n", 12), 5, u"NUL"},
        Malformed{"TooLarge", kGood + std::string(4096, ';'), 0, u"größer als 4096"}),
    [](const ::testing::TestParamInfo<Malformed>& test) { return test.param.name; });

TEST(RegFileDiagnosticsDetail, OddUtf16FileIsRejectedAsAWhole) {
    const RegFileParseResult result =
        Parse(std::string("\xFF\xFE"
                          "A\0B",
                          5));
    ASSERT_TRUE(result.diagnostic);
    EXPECT_EQ(result.diagnostic->line, 1u);
    EXPECT_TRUE(result.tree.Empty());
}

}  // namespace
