#include "directories/Init.h"

#include <cctype>
#include <optional>

#include "directories/DiagnosticWriter.h"
#include "directories/DirectoryQueries.h"
#include "directories/FileSystem.h"
#include "directories/NarrowText.h"
#include "directories/PathText.h"
#include "directories/RegistryText.h"

namespace configdb {

namespace {

bool IsSwitchedOn(const std::string& value) {
    if (value.size() != 3) {
        return false;
    }
    for (size_t i = 0; i < 3; ++i) {
        if (std::tolower(static_cast<unsigned char>(value[i])) != "ein"[i]) {
            return false;
        }
    }
    return true;
}

// The value, or nothing after tracing the read error at the given level.
std::optional<std::string> ReadEntry(ConfigDbContext& context, const RegistryKey& key,
                                     const char* name, bool isError) {
    std::string value;
    const uint32_t result = ReadStringValue(key, name, value);
    if (result != kRegistrySuccess) {
        TracerWrite(context, isError, "Init: Fehler <%d> beim Lesen des Eintrags \"%s\"!",
                    static_cast<int>(result), name);
        return std::nullopt;
    }
    return value;
}

// A switched-on feature's directory read from `name`: the file in it, or nothing when the read
// fails or the directory is missing (traced with `missingText`, the directory as its first
// argument and `missingArgument` as its second).
std::optional<std::string> FeatureFile(ConfigDbContext& context, const RegistryKey& key,
                                       const char* name, const std::string& fileName,
                                       const char* missingText, const char* missingArgument) {
    const std::optional<std::string> directory = ReadEntry(context, key, name, true);
    if (!directory) {
        return std::nullopt;
    }
    if (!PathExists(*directory)) {
        TracerWrite(context, true, missingText, directory->c_str(), missingArgument);
        return std::nullopt;
    }
    std::string file = *directory;
    AppendName(file, fileName);
    if (file.size() > kMaxPathChars) {
        TracerWrite(context, true, "Init: Pfad <%s> ist länger als %d Zeichen!"_nt, file.c_str(),
                    static_cast<int>(kMaxPathChars));
        return std::nullopt;
    }
    return file;
}

bool SwitchOn(ConfigDbContext& context, const RegistryKey& key, const char* name) {
    const std::optional<std::string> value = ReadEntry(context, key, name, false);
    return value && IsSwitchedOn(*value);
}

void ReadAlternativeLogDir(ConfigDbContext& context, const RegistryKey& key,
                           ConfigDbSettings& settings) {
    const std::optional<std::string> directory =
        ReadEntry(context, key, "ConfigDBLogDirK7000102", false);
    if (!directory) {
        return;
    }
    if (PathExists(*directory)) {
        settings.alternativeLogDir = *directory;
        AppendSeparator(settings.alternativeLogDir);
        settings.alternativeLogDirOn = true;
    } else {
        TracerWrite(context, true,
                    "Init: Verzeichnis <%s> existiert nicht, um als alternativer Log-Pfad für die "
                    "Komponente %s zurückgegeben zu werden!"_nt,
                    directory->c_str(), kOwnComponentId);
    }
}

std::unique_ptr<NamedMutex> CreateMutexTraced(ConfigDbContext& context, const char* name) {
    uint32_t error = 0;
    std::unique_ptr<NamedMutex> mutex = CreateNamedMutex(name, error);
    if (mutex) {
        TracerWrite(context, false, "Init: Der Mutex <%s> konnte erfolgreich erzeugt werden", name);
    } else if (error != 0) {
        TracerWrite(context, true, "Init: Fehler <%d> beim Erzeugen des Mutex <%s>!",
                    static_cast<int>(error), name);
    }
    return mutex;
}

// The one-time dump: the own component's directories, resolved as the product uses them.
void WriteOnceDump(ConfigDbContext& context, const std::string& file) {
    TracerWrite(context, false, "Init: Pfade für %s werden einmalig nach <%s> ausgegeben"_nt,
                kOwnComponentId, file.c_str());
    const std::string prog = GetProgDir(context, kOwnComponentId, false);
    const std::string data = GetDataDir(context, kOwnComponentId, true, "Data");
    const std::string konfig = GetKonfigDir(context, kOwnComponentId);
    const std::string log = GetLogDir(context, kOwnComponentId, true);
    const std::string user = GetKonfigDirCurrentUser(context, kOwnComponentId, true);
    InternTrace(context, file.c_str(), "Programm <%s>", prog.c_str());
    InternTrace(context, file.c_str(), "Daten <%s>", data.c_str());
    InternTrace(context, file.c_str(), "Konfig <%s>", konfig.c_str());
    InternTrace(context, file.c_str(), "Log <%s>", log.c_str());
    InternTrace(context, file.c_str(), "Konfig Benutzer <%s>", user.c_str());
}

}  // namespace

void Init(ConfigDbContext& context) {
    try {
        ConfigDbSettings& settings = context.m_settings;
        RegistryKey key;
        const uint32_t opened = OpenMakerKey(context.Environment().Registry(), kProductKey, key);
        if (opened != kRegistrySuccess) {
            TracerWrite(context, true, "Init: Fehler <%d> beim Öffnen des Registry-Pfades <%s>!"_nt,
                        static_cast<int>(opened), kProductKey);
        } else {
            if (SwitchOn(context, key, "LogVia_InternTrace")) {
                if (auto file = FeatureFile(context, key, "LogVia_InternTraceDirectory",
                                            "ConfigDB_Intern.log",
                                            "Init: Verzeichnis <%s> existiert nicht, um internes "
                                            "Log auszugeben!%s",
                                            "")) {
                    settings.internTraceFile = *file;
                    context.m_internTraceActive.store(true, std::memory_order_release);
                }
            }
            if (SwitchOn(context, key, "ConfigDBTracingDirsActive")) {
                if (auto file = FeatureFile(
                        context, key, "ConfigDBTracingDirsDirectory",
                        std::string(kOwnComponentId) + "_TracingDirs.log",
                        "Init: Verzeichnis <%s> existiert nicht, um alle Pfade für die %s "
                        "auszugeben!"_nt,
                        kOwnComponentId)) {
                    settings.onceDumpFile = *file;
                    settings.onceDumpOn = true;
                }
            }
            if (SwitchOn(context, key, "ConfigDBLibDirsActive")) {
                if (auto file = FeatureFile(context, key, "ConfigDBLibDirsDirectory",
                                            "ConfigDB_Lib_Dirs.log",
                                            "Init: Verzeichnis <%s> existiert nicht, um Pfade für "
                                            "Komponenten auszugeben!%s"_nt,
                                            "")) {
                    settings.perQueryDumpFile = *file;
                    settings.perQueryDumpOn = true;
                }
            }
            ReadAlternativeLogDir(context, key, settings);
            key.Close();
        }
        if (context.InternTraceActive() || settings.onceDumpOn || settings.perQueryDumpOn) {
            context.m_traceMutex = CreateMutexTraced(context, kInternTraceMutexName);
            context.m_traceMutexView.store(context.m_traceMutex.get(), std::memory_order_release);
        }
        context.m_userNameMutex = CreateMutexTraced(context, kUserNameMutexName);
        context.m_initialized.store(true, std::memory_order_release);
        if (settings.onceDumpOn) {
            WriteOnceDump(context, settings.onceDumpFile);
        }
        if (settings.perQueryDumpOn) {
            TracerWrite(context, false,
                        "Init: Pfade für alle Komponenten werden bei jeder Abfrage nach <%s> "
                        "ausgegeben"_nt,
                        settings.perQueryDumpFile.c_str());
        }
    } catch (...) {
        context.m_initialized.store(true, std::memory_order_release);
    }
}

}  // namespace configdb
