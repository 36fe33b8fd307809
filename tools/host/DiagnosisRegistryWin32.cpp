#include "DiagnosisConfiguration.h"

void DescribeRegistry(ConfigurationFindings& configuration) {
    configuration.registry = "the Windows registry (HKEY_LOCAL_MACHINE, 64-bit view)";
}
