#include "HostProcess.h"

#include <signal.h>

#include <thread>

namespace hostrealstack {

namespace {

constexpr std::chrono::milliseconds kPollInterval{10};
constexpr std::chrono::milliseconds kDrainTimeout{2000};
constexpr std::string_view kNoLine = "\x7F";

realstack::ChildProcess::Options SpawnOptions(const std::vector<std::string>& args) {
    realstack::ChildProcess::Options options;
    options.argv = {ZEPH_HOST_PATH};
    options.argv.insert(options.argv.end(), args.begin(), args.end());
    options.pipeStdout = true;
    return options;
}

}  // namespace

HostProcess::HostProcess(const std::vector<std::string>& args)
    : m_process(std::make_unique<realstack::ChildProcess>(SpawnOptions(args))),
      m_lines(std::make_unique<realstack::OutputLines>(m_process->TakeStdout())) {}

HostProcess::~HostProcess() {
    m_process->Stop();
    m_lines.reset();  // the writer has gone: the reading thread ends
}

bool HostProcess::WaitForLine(std::string_view text, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (SearchNewLines(text)) {
            return true;
        }
        if (m_process->HasExited()) {
            // Lets the reader take the rest of the pipe: no line starts with this.
            m_lines->WaitFor(kNoLine, kDrainTimeout);
            return SearchNewLines(text);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

bool HostProcess::SearchNewLines(std::string_view text) {
    const std::vector<std::string> lines = m_lines->Lines();
    for (; m_nextToSearch < lines.size(); ++m_nextToSearch) {
        if (lines[m_nextToSearch].find(text) != std::string::npos) {
            ++m_nextToSearch;
            return true;
        }
    }
    return false;
}

bool HostProcess::Signal(int signal) const {
    return kill(m_process->Pid(), signal) == 0;
}

std::optional<int> HostProcess::WaitForExit(std::chrono::milliseconds timeout) {
    return m_process->WaitForExit(timeout);
}

std::string HostProcess::Output() const {
    std::string text;
    for (const std::string& line : m_lines->Lines()) {
        text += line + "\n";
    }
    return text;
}

}  // namespace hostrealstack
