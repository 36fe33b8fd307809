// A private pcscd for the tests: its own reader configuration with vpcd readers, run in the
// foreground as a child process, its output kept in a log file.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace realstack {

// One reader entry for the vpcd driver. vpcd makes two slots of it, which PC/SC lists as
// "<name> 00 00" and "<name> 00 01"; their cards connect to port and port + 1.
struct VpcdReader {
    std::string friendlyName = "Virtual PCD";
    uint16_t port = 0x8C7B;
};

class PcscdProcess {
  public:
    // Writes workDir/reader.conf and workDir's log file, starts pcscd and waits until PC/SC
    // lists every slot of every reader. Throws std::runtime_error, with pcscd's log, when that
    // does not happen within the timeout. Requires the private namespace (PrivateNamespace.h).
    PcscdProcess(const std::filesystem::path& workDir, const std::vector<VpcdReader>& readers,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
    ~PcscdProcess();
    PcscdProcess(const PcscdProcess&) = delete;
    PcscdProcess& operator=(const PcscdProcess&) = delete;

    static std::vector<std::string> SlotNames(const VpcdReader& reader);
    // Stops pcscd now; its wait status.
    int Stop();
    // What pcscd wrote so far.
    std::string Log() const;

  private:
    void WriteConfig(const std::vector<VpcdReader>& readers) const;
    void WaitUntilListed(const std::vector<std::string>& names, std::chrono::milliseconds timeout);

    std::filesystem::path m_configFile;
    std::filesystem::path m_logFile;
    std::unique_ptr<ChildProcess> m_process;
};

}  // namespace realstack
