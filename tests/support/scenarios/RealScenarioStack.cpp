// pcsc-lite's headers define the WinSCard names as macros, so this file uses them and not the
// module's PcScConstants.h.
#include "RealScenarioStack.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include "PcscHandles.h"
#include "PcscdProcess.h"
#include "VirtualCardProcess.h"
#include "platform/TextConversion.h"

namespace {

constexpr std::chrono::milliseconds kStateTimeout{5000};

std::filesystem::path MakeWorkDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zeph-scenario-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed for " + pattern);
    }
    return pattern;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += digits;
    }
    return text;
}

void Require(bool done, const std::string& what) {
    if (!done) {
        throw std::runtime_error(what);
    }
}

}  // namespace

// pcscd, the stack's own pcsc-lite context, the card in the reader and the other application's
// connection; destroyed in reverse order.
struct RealScenarioStack::World {
    World()
        : workDir(MakeWorkDir()),
          reader(realstack::PcscdProcess::SlotNames(vpcd).front()),
          pcscd(std::make_unique<realstack::PcscdProcess>(
              workDir, std::vector<realstack::VpcdReader>{vpcd})),
          context(std::make_unique<realstack::PcscContext>()) {}
    ~World() {
        std::error_code ignored;
        std::filesystem::remove_all(workDir, ignored);
    }

    void AwaitState(DWORD wanted) const {
        Require(context->WaitForState(reader, wanted, kStateTimeout).has_value(),
                reader + " did not reach the expected state in time");
    }

    const realstack::VpcdReader vpcd{};
    const std::filesystem::path workDir;
    const std::string reader;
    std::unique_ptr<realstack::PcscdProcess> pcscd;
    std::unique_ptr<realstack::PcscContext> context;
    std::unique_ptr<realstack::VirtualCardProcess> card;
    std::optional<std::vector<uint8_t>> cardAtr;  // the card in the reader
    std::unique_ptr<realstack::PcscCard> held;
};

RealScenarioStack::RealScenarioStack()
    : m_world(std::make_unique<World>()),
      m_backend(std::make_unique<zeph::platform::pcsclite::PcScLiteBackend>(m_library)) {
    Require(m_library.Loaded(), m_library.Status());
}

RealScenarioStack::~RealScenarioStack() {
    m_backend.reset();
    m_world.reset();
}

std::u16string RealScenarioStack::ReaderName() const {
    return zeph::platform::NarrowToWide(m_world->reader);
}

void RealScenarioStack::InsertCard(const std::vector<uint8_t>& atr) {
    Require(m_world->card == nullptr, "InsertCard: the reader holds a card already");
    m_world->cardAtr = atr;
    realstack::VirtualCardOptions options;
    options.port = m_world->vpcd.port;
    options.atr = Hex(atr);
    m_world->card = std::make_unique<realstack::VirtualCardProcess>(options);
    Require(m_world->card->WaitForEvent("connected"), "InsertCard: the card did not connect");
    m_world->AwaitState(SCARD_STATE_PRESENT);
}

void RealScenarioStack::RemoveCard() {
    Require(m_world->card != nullptr, "RemoveCard: the reader is empty");
    m_world->held.reset();
    m_world->card->Stop();
    m_world->card.reset();
    m_world->cardAtr.reset();
    m_world->AwaitState(SCARD_STATE_EMPTY);
}

// pcscd ends, and with it every context and card connection; the card's process goes with its
// reader and comes back with it.
void RealScenarioStack::StopService() {
    m_world->held.reset();
    if (m_world->card != nullptr) {
        m_world->card->Stop();
        m_world->card.reset();
    }
    m_world->context.reset();
    m_world->pcscd->Stop();
    m_world->pcscd.reset();
}

void RealScenarioStack::StartService() {
    m_world->pcscd = std::make_unique<realstack::PcscdProcess>(
        m_world->workDir, std::vector<realstack::VpcdReader>{m_world->vpcd});
    m_world->context = std::make_unique<realstack::PcscContext>();
    if (const std::optional<std::vector<uint8_t>> atr = m_world->cardAtr) {
        InsertCard(*atr);
    }
}

void RealScenarioStack::HoldCardExclusivelyElsewhere() {
    Require(m_world->held == nullptr, "HoldCardExclusivelyElsewhere: held already");
    m_world->held = std::make_unique<realstack::PcscCard>(*m_world->context, m_world->reader,
                                                          SCARD_SHARE_EXCLUSIVE);
    Require(m_world->held->Status() == SCARD_S_SUCCESS,
            "HoldCardExclusivelyElsewhere: " + realstack::DescribeResult(m_world->held->Status()));
    m_world->AwaitState(SCARD_STATE_EXCLUSIVE);
}

void RealScenarioStack::ReleaseCardElsewhere() {
    Require(m_world->held != nullptr, "ReleaseCardElsewhere: nothing is held");
    m_world->held.reset();
}
