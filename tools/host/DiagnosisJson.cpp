// The diagnosis for support tools: one JSON object; README "Diagnosis" lists every field.
#include "DiagnosisOutput.h"
#include "Hex.h"
#include "JsonWriter.h"
#include "Utf8Text.h"

namespace {

using zeph::tools::ToHex;

void WriteModule(JsonWriter& json, const ModuleFindings& module) {
    json.BeginObject("module")
        .String("path", module.path)
        .String("version", module.version)
        .String("toolVersion", module.toolVersion)
        .Bool("versionsDiffer", module.version != module.toolVersion)
        .Bool("loads", module.loads)
        .Bool("answers", module.answers)
        .String("error", module.error);
    if (module.answers) {
        json.BeginObject("object")
            .String("shortName", module.shortName)
            .Bool("atrFilter", module.atrFilter)
            .Number("hostFlag", module.hostFlag)
            .Number("hostValue", module.hostValue)
            .End();
    }
    json.End();
}

void WriteStrings(JsonWriter& json, std::string_view name, const std::vector<std::string>& list) {
    json.BeginArray(name);
    for (const std::string& text : list) {
        json.String({}, text);
    }
    json.End();
}

void WriteTraceSystem(JsonWriter& json, const TraceSystemFindings& trace) {
    json.BeginObject("traceSystem");
    WriteStrings(json, "searched", trace.searched);
    json.String("found", trace.found).Bool("loads", trace.loads);
    WriteStrings(json, "missingExports", trace.missingExports);
    json.String("error", trace.error).End();
}

void WriteDirectories(JsonWriter& json, const std::vector<DirectoryFinding>& directories) {
    json.BeginArray("directories");
    for (const DirectoryFinding& directory : directories) {
        json.BeginObject()
            .String("name", directory.name)
            .String("path", directory.path)
            .Bool("exists", directory.exists);
        WriteStrings(json, "notes", directory.notes);
        json.End();
    }
    json.End();
}

void WriteConfiguration(JsonWriter& json, const ConfigurationFindings& config) {
    json.BeginObject("configuration")
        .String("registry", config.registry)
        .Bool("registryExists", config.registryExists)
        .String("registryProblem", config.registryProblem)
        .Number("cryptoProvider", config.provider)
        .String("cryptoProviderText", config.providerText)
        .String("cryptoProviderMutation", config.mutationText)
        .String("cardType", config.cardType)
        .BeginArray("atrMasks");
    for (const MaskFinding& mask : config.masks) {
        json.BeginObject()
            .String("atr", ToHex(mask.atr))
            .String("mask", ToHex(mask.mask))
            .String("source", mask.source)
            .String("cardType", mask.cardType)
            .End();
    }
    json.End()
        .Bool("showCrashMessage", config.showCrashMessage)
        .Bool("restartHost", config.restartHost)
        .Bool("countsAsHost", config.countsAsHost)
        .End();
}

void WriteReader(JsonWriter& json, const ReaderFinding& reader) {
    json.BeginObject()
        .String("name", reader.name)
        .String("virtualKind", reader.virtualKind)
        .Bool("smartToken", reader.smartToken)
        .Number("state", reader.state)
        .String("stateFlags", StateFlagNames(reader.state))
        .String("atr", ToHex(reader.atr))
        .String("verdict", ReaderVerdictText(reader.verdict))
        .BeginArray("differences");
    for (const AtrDifference& d : reader.differences) {
        json.BeginObject()
            .Number("index", d.index)
            .Number("card", d.card)
            .Number("expected", d.expected)
            .Number("mask", d.mask)
            .End();
    }
    json.End().End();
}

void WritePcSc(JsonWriter& json, const PcScFindings& pcsc) {
    json.BeginObject("pcsc")
        .Bool("serviceAnswers", pcsc.serviceError == 0)
        .Number("serviceError", pcsc.serviceError)
        .String("serviceErrorText",
                pcsc.serviceError != 0 ? ServiceErrorText(pcsc.serviceError) : "")
        .Bool("masksComparedInTool", pcsc.masksComparedInTool)
        .BeginArray("readers");
    for (const ReaderFinding& reader : pcsc.readers) {
        WriteReader(json, reader);
    }
    json.End().End();
}

}  // namespace

void PrintDiagnosisJson(std::FILE* file, const DiagnosisReport& report) {
    JsonWriter json;
    json.BeginObject();
    WriteModule(json, report.module);
    WriteTraceSystem(json, report.traceSystem);
    WriteDirectories(json, report.directories);
    WriteConfiguration(json, report.configuration);
    WritePcSc(json, report.pcsc);
    json.BeginObject("crashes")
        .String("logDirectory", report.crashes.logDirectory)
        .Number("count", report.crashes.count)
        .String("newest", report.crashes.newest)
        .String("newestTime", report.crashes.newestTime)
        .End();
    json.Number("exitStatus", static_cast<int>(report.status))
        .String("verdict", report.verdict)
        .End();
    std::fprintf(file, "%s\n", zeph::tools::PlatformTextToUtf8(json.Text()).c_str());
}
