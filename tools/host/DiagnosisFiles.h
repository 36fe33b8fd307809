// The parts of a diagnosis that look at files: the module, the trace system, the product's
// directories and the crash history.
#pragma once

#include <string>
#include <vector>

#include "DiagnosisReport.h"

ModuleFindings ExamineModule(const std::string& path);

// Searches the trace system where the module would, on the module's behalf, and checks that it
// loads and exports every name the module needs (without starting it).
TraceSystemFindings ExamineTraceSystem(const std::string& modulePath);

// The product's directories as the directory library resolves them for the module.
std::vector<DirectoryFinding> ExamineDirectories(const std::string& modulePath);

// The crash dumps in the log directory.
CrashFindings ExamineCrashes(const std::string& logDirectory);
