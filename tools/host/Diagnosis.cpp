#include "DiagnosisConfiguration.h"
#include "DiagnosisFiles.h"
#include "DiagnosisOutput.h"
#include "pcsc/PlatformPcSc.h"

DiagnosisReport Diagnose(const DiagnosisOptions& options) {
    DiagnosisReport report;
    report.module = ExamineModule(options.modulePath);
    report.traceSystem = ExamineTraceSystem(options.modulePath);
    report.directories = ExamineDirectories(options.modulePath);
    report.configuration = ExamineConfiguration();
    report.pcsc =
        ExamineReaders(PlatformPcSc(), PcScMasks(report.configuration), options.manualReader);
    for (const DirectoryFinding& directory : report.directories) {
        if (directory.name == "log") {
            report.crashes = ExamineCrashes(directory.path);
        }
    }
    JudgeReport(report);
    return report;
}
