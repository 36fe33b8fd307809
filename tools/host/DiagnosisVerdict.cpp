// The verdict of a diagnosis: the module first (no card is taken by a module that cannot be
// used), then the service, then the readers in listing order.
#include <algorithm>
#include <cstdio>

#include "DiagnosisReport.h"
#include "pcsc/LogNames.h"
#include "platform/TextConversion.h"

namespace {

std::string ReasonsPerReader(const std::vector<ReaderFinding>& readers) {
    if (readers.empty()) {
        return "no reader";
    }
    std::string reasons;
    for (const ReaderFinding& reader : readers) {
        reasons +=
            (reasons.empty() ? "" : "; ") + reader.name + ": " + ReaderVerdictText(reader.verdict);
    }
    return reasons;
}

}  // namespace

std::string ServiceErrorText(uint32_t error) {
    char code[16];
    std::snprintf(code, sizeof code, " (0x%08X)", error);
    return zeph::platform::WideToNarrow(ErrorName(error)) + code;
}

void JudgeReport(DiagnosisReport& report) {
    if (!report.module.answers) {
        report.status = DiagnosisStatus::ModuleUnusable;
        report.verdict = "the module cannot be used: " + report.module.error;
        return;
    }
    if (report.pcsc.serviceError != 0) {
        report.status = DiagnosisStatus::NoService;
        report.verdict =
            "the PC/SC service cannot be reached: " + ServiceErrorText(report.pcsc.serviceError);
        return;
    }
    const auto& readers = report.pcsc.readers;
    const auto taken = std::ranges::find(readers, ReaderVerdict::Accepted, &ReaderFinding::verdict);
    if (taken != readers.end()) {
        report.status = DiagnosisStatus::CardTaken;
        report.verdict = "the module would take the card in \"" + taken->name + "\"";
        return;
    }
    report.status = DiagnosisStatus::NoCard;
    report.verdict = "no card the module would take: " + ReasonsPerReader(readers);
}
