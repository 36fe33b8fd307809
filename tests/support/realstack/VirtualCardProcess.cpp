#include "VirtualCardProcess.h"

namespace realstack {

namespace {

ChildProcess::Options SpawnOptions(const VirtualCardOptions& options) {
    ChildProcess::Options spawn;
    spawn.argv = {ZEPH_VCARD_PATH, "--port", std::to_string(options.port)};
    if (!options.atr.empty()) {
        spawn.argv.insert(spawn.argv.end(), {"--atr", options.atr});
    }
    for (const std::string& file : options.files) {
        spawn.argv.insert(spawn.argv.end(), {"--file", file});
    }
    if (!options.otherStatus.empty()) {
        spawn.argv.insert(spawn.argv.end(), {"--sw", options.otherStatus});
    }
    if (!options.dropOn.empty()) {
        spawn.argv.insert(spawn.argv.end(), {"--drop-on", options.dropOn});
    }
    spawn.pipeStdin = true;
    spawn.pipeStdout = true;
    return spawn;
}

}  // namespace

VirtualCardProcess::VirtualCardProcess(const VirtualCardOptions& options)
    : m_process(std::make_unique<ChildProcess>(SpawnOptions(options))),
      m_events(std::make_unique<OutputLines>(m_process->TakeStdout())) {}

VirtualCardProcess::~VirtualCardProcess() {
    Stop();
}

bool VirtualCardProcess::Remove() {
    return m_process->Write("remove\n") && WaitForEvent("removed");
}

bool VirtualCardProcess::Insert() {
    return m_process->Write("insert\n") && WaitForEvent("connected");
}

bool VirtualCardProcess::WaitForEvent(std::string_view prefix, std::chrono::milliseconds timeout) {
    return m_events->WaitFor(prefix, timeout);
}

std::optional<int> VirtualCardProcess::Quit() {
    m_process->Write("quit\n");
    return m_process->WaitForExit(kEventTimeout);
}

int VirtualCardProcess::Stop() {
    return m_process->Stop();
}

}  // namespace realstack
