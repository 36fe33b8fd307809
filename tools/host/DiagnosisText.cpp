// The diagnosis for a person: one aligned line per finding, the verdict last.

#include "DiagnosisOutput.h"
#include "Hex.h"
#include "Utf8Text.h"

namespace {

using zeph::tools::ToHex;

// The report's lines, collected in the platform's text and written as UTF-8.
class TextOut {
  public:
    void Line(const char* label, const std::string& text) {
        char column[16];
        std::snprintf(column, sizeof column, "%-10s ", label);
        m_text.append(column).append(text).append("\n");
    }
    void Write(std::FILE* file) const {
        std::fputs(zeph::tools::PlatformTextToUtf8(m_text).c_str(), file);
    }

  private:
    std::string m_text;
};

std::string Flag(bool on) {
    return on ? "on" : "off";
}

std::string Quoted(const std::string& text, const char* before = "") {
    std::string quoted = before;
    return quoted.append("\"").append(text).append("\"");
}

std::string ByteText(int value) {
    if (value < 0) {
        return "none";
    }
    const uint8_t byte = static_cast<uint8_t>(value);
    return ToHex({&byte, 1});
}

void PrintModule(TextOut& out, const ModuleFindings& module) {
    out.Line("module", module.path);
    out.Line("", "version " + (module.version.empty() ? "none" : module.version) + ", zeph_host " +
                     module.toolVersion +
                     (module.version == module.toolVersion ? "" : "  (warning: versions differ)"));
    if (!module.answers) {
        out.Line("", "not usable: " + module.error);
        return;
    }
    out.Line("", "object short name " + Quoted(module.shortName) + ", ATR filter " +
                     Flag(module.atrFilter) + ", host flag " + std::to_string(module.hostFlag) +
                     ", host value " + std::to_string(module.hostValue));
}

void PrintTraceSystem(TextOut& out, const TraceSystemFindings& trace) {
    for (const std::string& candidate : trace.searched) {
        out.Line("trace", "searched " + candidate);
    }
    if (!trace.error.empty()) {
        out.Line("trace", trace.found.empty() ? trace.error : trace.found + ": " + trace.error);
        return;
    }
    std::string missing;
    for (const std::string& name : trace.missingExports) {
        missing += " " + name;
    }
    out.Line("trace", trace.found + ": loads, " +
                          (missing.empty() ? "exports every name" : "lacks" + missing));
}

// The directory library's own word on where a directory came from: its last message that names
// how the path was found or set.
std::string Origin(const std::vector<std::string>& notes) {
    for (auto note = notes.rbegin(); note != notes.rend(); ++note) {
        if (!note->starts_with("error: ") && (note->find("ermittelt") != std::string::npos ||
                                              note->find("eingestellt") != std::string::npos)) {
            return *note;
        }
    }
    return notes.empty() ? "" : notes.back();
}

void PrintDirectories(TextOut& out, const std::vector<DirectoryFinding>& directories) {
    for (const DirectoryFinding& directory : directories) {
        char name[16];
        std::snprintf(name, sizeof name, "%-12s", directory.name.c_str());
        out.Line("dirs", name + (directory.path.empty() ? "none" : directory.path) +
                             (directory.exists ? "" : "  (missing)"));
        out.Line("", std::string("             from ").append(Origin(directory.notes)));
    }
}

void PrintConfiguration(TextOut& out, const ConfigurationFindings& config) {
    out.Line(
        "config",
        "registry " + config.registry + (config.registryExists ? "" : "  (missing)") +
            (config.registryProblem.empty() ? "" : "  (not used: " + config.registryProblem + ")"));
    out.Line("", "provider " + std::to_string(config.provider) + " " + config.providerText + " (" +
                     config.mutationText + "), card type " +
                     (config.cardType.empty() ? "none" : Quoted(config.cardType)));
    for (const MaskFinding& mask : config.masks) {
        out.Line("", "mask " + ToHex(mask.atr) + " / " + ToHex(mask.mask) + " (" + mask.source +
                         (mask.cardType.empty() ? "" : Quoted(mask.cardType, " ")) + ")");
    }
    out.Line("", "crash message " + Flag(config.showCrashMessage) + ", restart " +
                     Flag(config.restartHost) + "; this process " +
                     (config.countsAsHost ? "counts" : "does not count") + " as the host");
}

// "1-7, 9, 14-22": the indexes of the differences, runs joined.
std::string IndexRanges(const std::vector<AtrDifference>& differences) {
    std::string ranges;
    for (size_t i = 0; i < differences.size(); ++i) {
        const size_t first = i;
        while (i + 1 < differences.size() && differences[i + 1].index == differences[i].index + 1) {
            ++i;
        }
        ranges.append(ranges.empty() ? "" : ", ").append(std::to_string(differences[first].index));
        if (i != first) {
            ranges.append("-").append(std::to_string(differences[i].index));
        }
    }
    return ranges;
}

// A near miss byte by byte; a card of another kind by the ranges where it differs.
void PrintDifferences(TextOut& out, const std::vector<AtrDifference>& differences) {
    constexpr size_t kMostShownBytes = 4;
    if (differences.size() > kMostShownBytes) {
        out.Line("", "differs from the mask in " + std::to_string(differences.size()) +
                         " bytes: " + IndexRanges(differences));
        return;
    }
    for (const AtrDifference& d : differences) {
        out.Line("", "byte " + std::to_string(d.index) + ": card " + ByteText(d.card) +
                         ", mask wants " + ByteText(d.expected) + " under " + ByteText(d.mask));
    }
}

void PrintReader(TextOut& out, const ReaderFinding& reader) {
    std::string line = Quoted(reader.name) + " " + StateFlagNames(reader.state);
    if (!reader.atr.empty()) {
        line += " ATR " + ToHex(reader.atr);
    }
    out.Line("reader", line + ": " + ReaderVerdictText(reader.verdict) +
                           (reader.smartToken ? " (boot-loader reader of the Smart Token)" : ""));
    PrintDifferences(out, reader.differences);
}

void PrintPcSc(TextOut& out, const PcScFindings& pcsc) {
    if (pcsc.serviceError != 0) {
        out.Line("pcsc", "the service does not answer: " + ServiceErrorText(pcsc.serviceError));
        return;
    }
    out.Line("pcsc", std::to_string(pcsc.readers.size()) + " reader(s); masks compared " +
                         (pcsc.masksComparedInTool
                              ? "by this tool: this PC/SC cannot locate cards by ATR, so the "
                                "module takes a card here only with its ATR filter off"
                              : "by PC/SC"));
    for (const ReaderFinding& reader : pcsc.readers) {
        PrintReader(out, reader);
    }
}

void PrintCrashes(TextOut& out, const CrashFindings& crashes) {
    out.Line(
        "crashes",
        std::to_string(crashes.count) + " dump(s) in " +
            (crashes.logDirectory.empty() ? "no log directory" : crashes.logDirectory) +
            (crashes.count == 0 ? ""
                                : ", newest " + crashes.newest + " (" + crashes.newestTime + ")"));
}

}  // namespace

void PrintDiagnosisText(std::FILE* file, const DiagnosisReport& report) {
    TextOut out;
    PrintModule(out, report.module);
    PrintTraceSystem(out, report.traceSystem);
    PrintDirectories(out, report.directories);
    PrintConfiguration(out, report.configuration);
    PrintPcSc(out, report.pcsc);
    PrintCrashes(out, report.crashes);
    out.Line("verdict", report.verdict);
    out.Write(file);
}
