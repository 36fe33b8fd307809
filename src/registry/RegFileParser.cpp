#include "registry/RegFileParser.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "registry/RegFileText.h"
#include "registry/RegFileValueLine.h"

namespace {

constexpr std::u16string_view kHeaderVersion5 = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kHeaderRegedit4 = u"REGEDIT4";
constexpr std::u16string_view kHives[] = {u"HKEY_LOCAL_MACHINE", u"HKEY_CURRENT_USER",
                                          u"HKEY_CLASSES_ROOT", u"HKEY_USERS",
                                          u"HKEY_CURRENT_CONFIG"};

struct Failure {
    uint32_t line = 0;
    std::u16string what;
};
using Outcome = std::optional<Failure>;

// Where a line of the file begins inside a value entry joined from several lines.
struct EntryLine {
    size_t offset = 0;
    uint32_t line = 0;
};

std::u16string Decimal(size_t number) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + number % 10));
        number /= 10;
    } while (number != 0);
    return digits;
}

std::u16string_view TrimBlanks(std::u16string_view text) {
    const auto blank = [](char16_t unit) { return unit == u' ' || unit == u'\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsKnownHive(std::u16string_view name) {
    return std::any_of(std::begin(kHives), std::end(kHives),
                       [name](std::u16string_view hive) { return RegistryNamesEqual(hive, name); });
}

uint32_t LineAt(const std::vector<EntryLine>& lines, size_t offset) {
    const auto after =
        std::upper_bound(lines.begin(), lines.end(), offset,
                         [](size_t value, const EntryLine& line) { return value < line.offset; });
    return std::prev(after)->line;
}

class Parser {
  public:
    Parser(std::vector<std::u16string_view> lines, const RegFileLimits& limits, RegistryTree& tree)
        : m_lines(std::move(lines)), m_limits(limits), m_tree(tree) {}

    Outcome Run();

  private:
    static uint32_t LineNumber(size_t index) { return static_cast<uint32_t>(index + 1); }

    Outcome CheckLength(size_t index) const;
    Outcome ReadHeader();
    Outcome ReadLine();
    Outcome ReadSection(std::u16string_view text, uint32_t line);
    Outcome ReadValue(std::u16string_view first);
    Outcome JoinEntry(std::u16string_view first, std::u16string& entry,
                      std::vector<EntryLine>& lines);

    std::vector<std::u16string_view> m_lines;
    const RegFileLimits& m_limits;
    RegistryTree& m_tree;
    size_t m_next = 0;
    bool m_singleByteStrings = false;
    std::optional<std::u16string> m_section;  // the key the values belong to
    bool m_deletionSection = false;
};

Outcome Parser::Run() {
    if (Outcome failure = ReadHeader()) {
        return failure;
    }
    while (m_next < m_lines.size()) {
        if (Outcome failure = ReadLine()) {
            return failure;
        }
    }
    return std::nullopt;
}

Outcome Parser::CheckLength(size_t index) const {
    if (m_lines[index].size() > m_limits.maxLineChars) {
        return Failure{LineNumber(index),
                       u"Zeile länger als " + Decimal(m_limits.maxLineChars) + u" Zeichen"};
    }
    return std::nullopt;
}

Outcome Parser::ReadHeader() {
    for (; m_next < m_lines.size(); ++m_next) {
        if (Outcome failure = CheckLength(m_next)) {
            return failure;
        }
        const std::u16string_view text = TrimBlanks(m_lines[m_next]);
        if (text.empty()) {
            continue;
        }
        if (text != kHeaderVersion5 && text != kHeaderRegedit4) {
            return Failure{LineNumber(m_next),
                           u"Kopfzeile \"Windows Registry Editor Version 5.00\" oder "
                           u"\"REGEDIT4\" erwartet"};
        }
        m_singleByteStrings = text == kHeaderRegedit4;
        ++m_next;
        return std::nullopt;
    }
    return Failure{0, u"Datei ohne Kopfzeile (leer)"};
}

Outcome Parser::ReadLine() {
    if (Outcome failure = CheckLength(m_next)) {
        return failure;
    }
    const std::u16string_view text = TrimBlanks(m_lines[m_next]);
    if (text.empty() || text.front() == u';') {
        ++m_next;
        return std::nullopt;
    }
    if (text.front() == u'[') {
        return ReadSection(text, LineNumber(m_next++));
    }
    if (text.front() == u'"' || text.front() == u'@') {
        return ReadValue(text);
    }
    return Failure{LineNumber(m_next),
                   u"unerwartete Zeile: weder Abschnitt [...], Wert noch Kommentar"};
}

Outcome Parser::ReadSection(std::u16string_view text, uint32_t line) {
    if (text.back() != u']') {
        return Failure{line, u"Abschnitt ohne schließende Klammer ']'"};
    }
    std::u16string_view path = text.substr(1, text.size() - 2);
    const bool deletion = !path.empty() && path.front() == u'-';
    if (deletion) {
        path.remove_prefix(1);
    }
    const auto names = SplitRegistryPath(path);
    if (!names) {
        return Failure{line,
                       u"ungültiger Schlüsselpfad: leerer Name, Name länger als 255 Zeichen "
                       u"oder mehr als 512 Ebenen"};
    }
    if (!IsKnownHive(names->front())) {
        return Failure{line,
                       u"unbekannter Stammschlüssel (erwartet HKEY_LOCAL_MACHINE, "
                       u"HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS oder "
                       u"HKEY_CURRENT_CONFIG)"};
    }
    m_deletionSection = deletion;
    m_section.reset();
    if (deletion) {
        m_tree.DeleteKey(path);
    } else {
        m_tree.CreateKey(path);
        m_section = std::u16string(path);
    }
    return std::nullopt;
}

Outcome Parser::ReadValue(std::u16string_view first) {
    const uint32_t line = LineNumber(m_next);
    if (m_deletionSection) {
        return Failure{line, u"Wert in einem Abschnitt, der einen Schlüssel löscht"};
    }
    if (!m_section) {
        return Failure{line, u"Wert vor dem ersten Abschnitt [...]"};
    }
    std::u16string entry;
    std::vector<EntryLine> lines;
    if (Outcome failure = JoinEntry(first, entry, lines)) {
        return failure;
    }
    RegFileValueEntry parsed;
    if (auto error = ParseRegFileValueEntry(entry, m_singleByteStrings, parsed)) {
        return Failure{LineAt(lines, error->offset), std::move(error->what)};
    }
    RegistryTreeNode* key = m_tree.CreateKey(*m_section);
    if (parsed.value) {
        key->SetValue(parsed.name, std::move(*parsed.value));
    } else {
        key->RemoveValue(parsed.name);
    }
    return std::nullopt;
}

Outcome Parser::JoinEntry(std::u16string_view first, std::u16string& entry,
                          std::vector<EntryLine>& lines) {
    entry.assign(first);
    lines.push_back({0, LineNumber(m_next)});
    RegFileEntryContinuation continuation;
    while (continuation.Continues(entry)) {
        entry.pop_back();
        if (++m_next >= m_lines.size()) {
            return Failure{lines.back().line, u"Fortsetzungszeile fehlt am Dateiende"};
        }
        if (Outcome failure = CheckLength(m_next)) {
            return failure;
        }
        lines.push_back({entry.size(), LineNumber(m_next)});
        entry += TrimBlanks(m_lines[m_next]);
        if (entry.size() > m_limits.maxEntryChars) {
            return Failure{LineNumber(m_next), u"Wert mit Fortsetzungszeilen länger als " +
                                                   Decimal(m_limits.maxEntryChars) + u" Zeichen"};
        }
    }
    ++m_next;
    return std::nullopt;
}

RegFileParseResult Failed(std::string_view fileName, uint32_t line, std::u16string what) {
    RegFileParseResult result;
    result.diagnostic = RegFileDiagnostic{std::string(fileName), line, std::move(what)};
    return result;
}

}  // namespace

RegFileParseResult ParseRegFile(std::string_view content, std::string_view fileName,
                                const RegFileLimits& limits) {
    if (content.size() > limits.maxFileBytes) {
        return Failed(fileName, 0, u"Datei größer als " + Decimal(limits.maxFileBytes) + u" Bytes");
    }
    std::u16string text;
    if (auto error = DecodeRegFileText(content, text)) {
        return Failed(fileName, error->line, std::move(error->what));
    }
    RegFileParseResult result;
    Parser parser(SplitRegFileLines(text), limits, result.tree);
    if (Outcome failure = parser.Run()) {
        return Failed(fileName, failure->line, std::move(failure->what));
    }
    return result;
}
