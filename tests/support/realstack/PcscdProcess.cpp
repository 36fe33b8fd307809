#include "PcscdProcess.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "PcscHandles.h"
#include "PrivateNamespace.h"

namespace realstack {

namespace {

constexpr std::chrono::milliseconds kReadyPollInterval{20};
constexpr const char* kVpcdDriver = "/usr/lib/pcsc/drivers/serial/libifdvpcd.so";

// True when PC/SC answers and lists every one of names.
bool Listed(const std::vector<std::string>& names) {
    std::vector<std::string> readers;
    try {
        readers = PcscContext().ListReaders();
    } catch (const std::runtime_error&) {
        return false;  // not serving yet
    }
    return std::all_of(names.begin(), names.end(), [&](const std::string& wanted) {
        return std::find(readers.begin(), readers.end(), wanted) != readers.end();
    });
}

}  // namespace

PcscdProcess::PcscdProcess(const std::filesystem::path& workDir,
                           const std::vector<VpcdReader>& readers,
                           std::chrono::milliseconds timeout)
    : m_configFile(workDir / "reader.conf"), m_logFile(workDir / "pcscd.log") {
    RequirePrivateNamespace();
    WriteConfig(readers);
    ChildProcess::Options options;
    options.argv = {ZEPH_PCSCD_PATH, "--foreground", "--config", m_configFile.string()};
    options.logFile = m_logFile.string();
    m_process = std::make_unique<ChildProcess>(options);
    std::vector<std::string> names;
    for (const VpcdReader& reader : readers) {
        const std::vector<std::string> slots = SlotNames(reader);
        names.insert(names.end(), slots.begin(), slots.end());
    }
    WaitUntilListed(names, timeout);
}

PcscdProcess::~PcscdProcess() {
    Stop();
}

std::vector<std::string> PcscdProcess::SlotNames(const VpcdReader& reader) {
    return {reader.friendlyName + " 00 00", reader.friendlyName + " 00 01"};
}

int PcscdProcess::Stop() {
    return m_process->Stop();
}

std::string PcscdProcess::Log() const {
    std::ifstream file(m_logFile);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void PcscdProcess::WriteConfig(const std::vector<VpcdReader>& readers) const {
    std::ofstream config(m_configFile);
    for (const VpcdReader& reader : readers) {
        char port[8];
        std::snprintf(port, sizeof port, "0x%04X", static_cast<unsigned>(reader.port));
        config << "FRIENDLYNAME \"" << reader.friendlyName << "\"\n"
               << "DEVICENAME   /dev/null:" << port << "\n"
               << "LIBPATH      " << kVpcdDriver << "\n"
               << "CHANNELID    " << port << "\n\n";
    }
    if (!config.flush()) {
        throw std::runtime_error("cannot write " + m_configFile.string());
    }
}

void PcscdProcess::WaitUntilListed(const std::vector<std::string>& names,
                                   std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!Listed(names)) {
        if (m_process->HasExited()) {
            throw std::runtime_error("pcscd " + DescribeWaitStatus(m_process->Stop()) +
                                     " before listing its readers; its log:\n" + Log());
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            Stop();
            throw std::runtime_error("pcscd did not list its readers in time; its log:\n" + Log());
        }
        std::this_thread::sleep_for(kReadyPollInterval);
    }
}

}  // namespace realstack
