#include "directories/RegistryLookups.h"

#include <cstdlib>

#include "directories/FileSystem.h"
#include "directories/PathText.h"
#include "directories/RegistryText.h"
#include "platform/TextConversion.h"

namespace configdb {

namespace {

constexpr char kComponentsKey[] = "SOFTWARE\\TALPOgrp\\Components\\";
constexpr char kProductKey[] = "SOFTWARE\\TALPO Mora Compact";
constexpr char kSystemDirKey[] = "Software\\Talpogrp\\ProtectedDirectories";

std::string VersionsKey(const std::string& compId) {
    return kComponentsKey + compId + "\\Versions";
}

// A value under the newest version subkey of the component's Versions key.
std::string ReadVersionedValue(ConfigDbContext& context, const std::string& compId,
                               const std::string& subKey, const std::string& name) {
    if (IsOwnComponent(compId)) {
        return {};
    }
    RegistryApi& registry = context.Environment().Registry();
    const std::string versions = VersionsKey(compId);
    const std::string key = versions + GetNewestVersionKey(registry, versions) + subKey;
    return ReadRegistryString(registry, key, name);
}

std::string WithSeparator(std::string path) {
    AppendSeparator(path);
    return path;
}

}  // namespace

std::string GetNewestVersionKey(RegistryApi& registry, const std::string& versionsKey) {
    std::string newest = "\\1.0";
    double best = 1.0;
    RegistryKey key;
    uint32_t count = 0;
    if (OpenMakerKey(registry, versionsKey, key) != kRegistrySuccess ||
        key.SubKeyCount(count) != kRegistrySuccess) {
        return newest;
    }
    for (uint32_t index = 0; index < count; ++index) {
        std::u16string name;
        if (key.EnumSubKey(index, name) != kRegistrySuccess) {
            continue;
        }
        const std::string narrow = zeph::platform::WideToNarrow(name);
        // A name that is no number reads as 0 and is passed over, which is what is wanted.
        const double number = std::atof(narrow.c_str());  // NOLINT(cert-err34-c)
        if (number > 0 && number > best) {
            newest = "\\" + narrow;
            best = number;
        }
    }
    return newest;
}

std::string GetKonfigDirFromRegistry(ConfigDbContext& context, const std::string& compId) {
    return WithSeparator(ReadVersionedValue(context, compId, "\\ConfigDir", ""));
}

std::string GetLogDirFromRegistry(ConfigDbContext& context, const std::string& compId) {
    return WithSeparator(ReadVersionedValue(context, compId, "\\LogDir", ""));
}

std::string GetDataDirFromRegistry(ConfigDbContext& context, const std::string& compId,
                                   const std::string& dataDirName) {
    if (IsOwnComponent(compId)) {
        return {};
    }
    const std::string key =
        kComponentsKey + compId + "\\AvailableDataDirectories\\" + dataDirName + "\\Dir1";
    return WithSeparator(ReadRegistryString(context.Environment().Registry(), key, ""));
}

std::string GetSystemDirFromRegistry(ConfigDbContext& context) {
    return WithSeparator(
        ReadRegistryString(context.Environment().Registry(), kSystemDirKey, "SystemDir"));
}

std::string GetProgDirFromRegistry(ConfigDbContext& context, const std::string& compId) {
    if (IsOwnComponent(compId)) {
        std::string path =
            ReadRegistryString(context.Environment().Registry(), kProductKey, "ProgKey");
        return PathExists(path) ? WithSeparator(path) : path;
    }
    std::string path =
        ReadVersionedValue(context, compId, "\\ProtectedDirectories", "FixedProgDir");
    if (!PathExists(path)) {
        return path;
    }
    AppendSeparator(path);
    path += ReadVersionedValue(context, compId, "\\ProtectedDirectories", "ProgDir");
    return PathExists(path) ? WithSeparator(path) : path;
}

}  // namespace configdb
