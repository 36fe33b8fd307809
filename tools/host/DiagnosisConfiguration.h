// The configuration part of a diagnosis (DiagnosisReport.h).
#pragma once

#include <vector>

#include "DiagnosisReport.h"

ConfigurationFindings ExamineConfiguration();

// Where the registry values come from, and whether that source can be used: the Windows registry;
// on Linux the registry file. Platform parts: DiagnosisRegistryPosix.cpp,
// DiagnosisRegistryWin32.cpp.
void DescribeRegistry(ConfigurationFindings& configuration);

// The masks in the PC/SC layout, as the module hands them to PC/SC.
std::vector<PcScAtrMask> PcScMasks(const ConfigurationFindings& configuration);
