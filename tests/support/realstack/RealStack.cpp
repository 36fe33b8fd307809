#include "RealStack.h"

#include <linux/magic.h>
#include <sys/statfs.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "PcscHandles.h"
#include "WaitUntil.h"

namespace realstack {

namespace {

constexpr const char* kVpcdDriver = "/usr/lib/pcsc/drivers/serial/libifdvpcd.so";

// One vpcd reader of two slots on each pair of ports from RealStack::kVpcdPort. The driver keeps
// its slots' connections in one array indexed by slot alone, so two readers served by one loaded
// copy would share their cards' sockets and garble each other's frames: every reader after the
// first loads a copy of the driver of its own from the stack's directory.
std::string ReaderConfig(unsigned readers, const std::filesystem::path& directory) {
    std::string config;
    for (unsigned r = 0; r < readers; ++r) {
        std::filesystem::path driver = kVpcdDriver;
        if (r > 0) {
            driver = directory / ("libifdvpcd-" + std::to_string(r) + ".so");
            std::filesystem::copy_file(kVpcdDriver, driver);
        }
        const std::string port = std::to_string(RealStack::kVpcdPort + 2 * r);
        config += "FRIENDLYNAME \"Virtual PCD\"\nDEVICENAME /dev/null:" + port + "\nCHANNELID " +
                  port + "\nLIBPATH " + driver.string() + "\n\n";
    }
    return config;
}
constexpr std::chrono::seconds kPcscdTimeout{10};

// Refuses to start pcscd outside the namespaces of run-in-namespace.sh, which sets the variable
// and mounts a private tmpfs on /run/pcscd, so that the machine's own pcscd is never disturbed.
void RequirePrivateNamespace() {
    const char* marker = std::getenv("ZEPH_REALSTACK_NAMESPACE");
    struct statfs info {};
    if (marker == nullptr || std::string(marker) != "1" || statfs("/run/pcscd", &info) != 0 ||
        info.f_type != TMPFS_MAGIC) {
        throw std::runtime_error(
            "refusing to start pcscd outside a private namespace: run this program through "
            "tests/support/realstack/run-in-namespace.sh");
    }
    if (std::filesystem::exists("/run/pcscd/pcscd.comm")) {
        throw std::runtime_error("refusing to start pcscd: another one serves /run/pcscd");
    }
}

std::vector<std::string> CardProgram(uint16_t port, const VirtualCardOptions& options) {
    std::vector<std::string> program = {ZEPH_VCARD_PATH, "--port", std::to_string(port)};
    const auto add = [&program](const char* option, const std::string& value) {
        if (!value.empty()) {
            program.insert(program.end(), {option, value});
        }
    };
    add("--atr", options.atr);
    for (const std::string& file : options.files) {
        add("--file", file);
    }
    add("--drop-on", options.dropOn);
    return program;
}

}  // namespace

VirtualCardProcess::VirtualCardProcess(uint16_t port, const VirtualCardOptions& options)
    : ChildProcess(CardProgram(port, options)) {}

RealStack::RealStack(bool noBlocking, unsigned vpcdReaders)
    : m_vpcdReaders(vpcdReaders),
      m_registryFile("ZEPH_REGISTRY_FILE", m_directory.Write("registry.reg", "REGEDIT4\n")) {
    if (noBlocking) {
        m_noBlocking.emplace("PCSCLITE_NO_BLOCKING", "1");
    }
    RequirePrivateNamespace();
    m_directory.Write("reader.conf", ReaderConfig(vpcdReaders, m_directory.Path()));
    StartPcscd();
}

// The members go in reverse order: the cards, the stack's context, pcscd, then the environment.
RealStack::~RealStack() = default;

void RealStack::StartPcscd() {
    std::vector<std::string> pcscd = {ZEPH_PCSCD_PATH, "--foreground", "--config",
                                      (m_directory.Path() / "reader.conf").string()};
    // One more argument where the service needs it: a newer pcscd asks polkit for every client
    // unless started with --disable-polkit (the Wine 10 stage's chroot has no polkit).
    if (const char* extra = std::getenv("ZEPH_PCSCD_ARGUMENT"); extra != nullptr && *extra != 0) {
        pcscd.emplace_back(extra);
    }
    m_pcscd = std::make_unique<ChildProcess>(pcscd);
    const bool listed = WaitUntil(
        [this] {
            try {
                // Ready once it lists both slots of every vpcd reader.
                const std::vector<std::string> readers = PcscContext().ListReaders();
                return readers.size() == 2 * m_vpcdReaders &&
                       std::find(readers.begin(), readers.end(), m_reader) != readers.end();
            } catch (const std::runtime_error&) {
                return m_pcscd->HasExited();  // not serving yet, or never
            }
        },
        kPcscdTimeout, std::chrono::milliseconds(20));
    if (!listed || m_pcscd->HasExited()) {
        const std::string status = std::to_string(m_pcscd->Stop());
        throw std::runtime_error("pcscd did not list its reader in time (exit " + status +
                                 "); its log:\n" + m_pcscd->Output());
    }
    m_context = std::make_unique<PcscContext>();
}

void RealStack::StopPcscd() {
    m_context.reset();
    m_pcscd->Stop();
}

VirtualCardProcess& RealStack::StartCard(const VirtualCardOptions& options, unsigned slot) {
    m_cards.push_back(
        std::make_unique<VirtualCardProcess>(static_cast<uint16_t>(kVpcdPort + slot), options));
    if (!m_cards.back()->WaitForEvent("connected")) {
        throw std::runtime_error("the card did not connect to vpcd; " + Logs());
    }
    return *m_cards.back();
}

VirtualCardProcess& RealStack::InsertCard(const VirtualCardOptions& options) {
    VirtualCardProcess& card = StartCard(options);
    if (!WaitForState(SCARD_STATE_PRESENT)) {
        throw std::runtime_error("PC/SC never showed the card present; " + Logs());
    }
    return card;
}

bool RealStack::WaitForState(unsigned long wanted) const {
    return WaitUntil(
        [&] { return (m_context->CurrentState(m_reader).dwEventState & wanted) == wanted; },
        kStateTimeout, std::chrono::milliseconds(10));
}

bool RealStack::StopCards() {
    bool clean = true;
    for (const auto& card : m_cards) {
        clean = card->Stop() == 0 && clean;
    }
    m_cards.clear();
    return clean;
}

std::string RealStack::Logs() const {
    std::string text = "pcscd's log:\n" + m_pcscd->Output();
    for (size_t i = 0; i < m_cards.size(); ++i) {
        text += "card " + std::to_string(i) + "'s events:\n" + m_cards[i]->Output();
    }
    return text;
}

}  // namespace realstack
