// `zeph_host --diagnose`: the findings gathered (Diagnosis.cpp) and printed for a person or, with
// --json, for support tools.
#pragma once

#include <cstdio>
#include <string>

#include "DiagnosisReport.h"

struct DiagnosisOptions {
    std::string modulePath;
    std::u16string manualReader;  // the host's manual reader setting; empty: none
};

// Gathers every finding and judges them; read-only: no card is connected or reset.
DiagnosisReport Diagnose(const DiagnosisOptions& options);

void PrintDiagnosisText(std::FILE* file, const DiagnosisReport& report);
void PrintDiagnosisJson(std::FILE* file, const DiagnosisReport& report);
