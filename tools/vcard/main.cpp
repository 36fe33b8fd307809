// zeph_vcard: a virtual smart card for the vpcd reader driver of pcscd, so that the PC/SC stack
// can be tested end to end without hardware. See VcardOptions.h for the command line and
// VirtualCard.h for the commands and events.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>
#include <vector>

#include "VcardOptions.h"
#include "VirtualCard.h"

namespace {

// A descriptor that becomes readable on SIGTERM or SIGINT, which no longer end the process.
int StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    // NOLINTNEXTLINE(concurrency-mt-unsafe): called from main before any thread exists.
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) {
        return -1;
    }
    return signalfd(-1, &signals, SFD_CLOEXEC);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const vcard::ParsedOptions parsed = vcard::ParseVcardOptions(args);
    if (parsed.outcome == vcard::ParsedOptions::Outcome::Version) {
        std::printf("zeph_vcard %s\n", ZEPH_TOOL_VERSION);
        return 0;
    }
    if (parsed.outcome != vcard::ParsedOptions::Outcome::Run) {
        const bool help = parsed.outcome == vcard::ParsedOptions::Outcome::Help;
        if (!help) {
            std::fprintf(stderr, "zeph_vcard: %s\n", parsed.error.c_str());
        }
        std::fputs(vcard::VcardUsage().c_str(), help ? stdout : stderr);
        return help ? 0 : 2;
    }
    signal(SIGPIPE, SIG_IGN);
    const int stopFd = StopSignals();
    if (stopFd < 0) {
        std::perror("zeph_vcard: signalfd");
        return 1;
    }
    vcard::VirtualCard card(parsed.options, STDIN_FILENO, stopFd);
    const int status = card.Run();
    close(stopFd);
    return status;
}
