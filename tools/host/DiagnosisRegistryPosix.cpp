#include <filesystem>

#include "DiagnosisConfiguration.h"
#include "platform/TextConversion.h"
#include "registry/RegFileRegistry.h"

void DescribeRegistry(ConfigurationFindings& configuration) {
    const std::string path = RegistryFilePath();
    std::error_code ignored;
    configuration.registry = path;
    configuration.registryExists = std::filesystem::exists(path, ignored);
    RegFileRegistry registry(path);
    RegistryKey key;
    registry.OpenLocalMachineKey(u"Software", RegistryView::Bit64, kKeyQueryValue, key);
    if (const auto diagnostic = registry.Diagnostic()) {
        configuration.registryProblem =
            (diagnostic->line != 0 ? "line " + std::to_string(diagnostic->line) + ": " : "") +
            zeph::platform::WideToNarrow(diagnostic->what);
    }
}
