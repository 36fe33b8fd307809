// What `zeph_host --diagnose` finds out about why the module takes a card or not: the module, the
// trace system, the product's directories, the configuration the module reads, the PC/SC readers
// as the module would judge them, the crash history, and the verdict with its exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ReaderFindings.h"

struct ModuleFindings {
    std::string path;
    std::string version;      // the module's file version; empty when it has none
    std::string toolVersion;  // this program's
    bool loads = false;       // the library loads and exports its factory
    bool answers = false;     // the factory returned an object
    std::string error;        // why it does not load or answer
    std::string shortName;    // the object's public data
    bool atrFilter = false;
    unsigned hostFlag = 0;
    int hostValue = 0;
};

struct TraceSystemFindings {
    std::vector<std::string> searched;  // the candidates, in the order the module tries them
    std::string found;                  // the first that exists; empty: none
    bool loads = false;
    std::vector<std::string> missingExports;
    std::string error;  // why it does not load
};

struct DirectoryFinding {
    std::string name;  // "program", "data", "config", "user config", "log", "system"
    std::string path;
    bool exists = false;
    std::vector<std::string> notes;  // what the directory library said while resolving it
};

struct MaskFinding {
    std::vector<uint8_t> atr;
    std::vector<uint8_t> mask;
    std::string source;    // "CALAIS" (the smart card database) or "PREDEFINED"
    std::string cardType;  // the database's card type; empty for the predefined entry
};

struct ConfigurationFindings {
    std::string registry;         // where the values are read from
    bool registryExists = true;   // the registry file (Linux)
    std::string registryProblem;  // why the registry file is not used; empty when it is
    uint32_t provider = 0;        // the active crypto provider (0: none found)
    std::string providerText;
    std::string mutationText;
    std::string cardType;  // of the active provider; empty when none
    std::vector<MaskFinding> masks;
    bool showCrashMessage = false;
    bool restartHost = false;
    bool countsAsHost = false;  // this process would count as the host for the crash options
};

struct CrashFindings {
    std::string logDirectory;
    unsigned count = 0;
    std::string newest;      // file name of the newest dump
    std::string newestTime;  // "DD.MM.YYYY hh:mm:ss", from its name
};

enum class DiagnosisStatus : int {
    CardTaken = 0,
    NoCard = 1,
    NoService = 2,
    ModuleUnusable = 3,
};

struct DiagnosisReport {
    ModuleFindings module;
    TraceSystemFindings traceSystem;
    std::vector<DirectoryFinding> directories;
    ConfigurationFindings configuration;
    PcScFindings pcsc;
    CrashFindings crashes;
    DiagnosisStatus status = DiagnosisStatus::NoCard;
    std::string verdict;  // one line
};

// The name of a PC/SC error as the module's trace gives it, with its code: "<NO_SERVICE>
// (0x8010001D)".
std::string ServiceErrorText(uint32_t error);

// Sets the status and the verdict line from the findings.
void JudgeReport(DiagnosisReport& report);
