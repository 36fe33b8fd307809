#include "DirectoryReport.h"

#include "DiagnosisFiles.h"

int PrintDirectoryReport(HostLog& log, const std::string& modulePath) {
    for (const DirectoryFinding& directory : ExamineDirectories(modulePath)) {
        for (const std::string& note : directory.notes) {
            log.Line("note     %s", note.c_str());
        }
        log.Line("dirs     %-12s %s%s", directory.name.c_str(), directory.path.c_str(),
                 directory.exists ? "" : "  (missing)");
    }
    return 0;
}
