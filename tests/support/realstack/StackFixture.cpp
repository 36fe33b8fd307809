#include "StackFixture.h"

#include <cstdlib>
#include <stdexcept>

namespace realstack {

namespace {

std::filesystem::path MakeWorkDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zeph-realstack-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed for " + pattern);
    }
    return pattern;
}

}  // namespace

void StackFixture::SetUpTestSuite() {
    setenv("PCSCLITE_NO_BLOCKING", "1", 1);
}

void StackFixture::SetUp() {
    m_workDir = MakeWorkDir();
    m_readerNames = PcscdProcess::SlotNames(m_reader);
    m_pcscd = std::make_unique<PcscdProcess>(m_workDir, std::vector<VpcdReader>{m_reader});
    m_context = std::make_unique<PcscContext>();
}

void StackFixture::TearDown() {
    for (const auto& card : m_cards) {
        // A card that did not end cleanly crashed or leaked (sanitizer builds).
        EXPECT_EQ(DescribeWaitStatus(card->Stop()), "exited with 0");
    }
    if (HasFailure()) {
        ShowLogs();
    }
    m_cards.clear();
    m_context.reset();
    m_pcscd.reset();
    std::error_code ignored;
    std::filesystem::remove_all(m_workDir, ignored);
}

void StackFixture::StopPcscd() {
    m_context.reset();
    m_pcscd->Stop();
}

void StackFixture::StartPcscd() {
    m_pcscd = std::make_unique<PcscdProcess>(m_workDir, std::vector<VpcdReader>{m_reader});
    m_context = std::make_unique<PcscContext>();
}

VirtualCardProcess& StackFixture::StartCard(VirtualCardOptions options, int slot) {
    options.port = static_cast<uint16_t>(m_reader.port + slot);
    m_cards.push_back(std::make_unique<VirtualCardProcess>(options));
    VirtualCardProcess& card = *m_cards.back();
    EXPECT_TRUE(card.WaitForEvent("connected")) << "the card did not connect to vpcd";
    return card;
}

VirtualCardProcess& StackFixture::InsertCard(VirtualCardOptions options, int slot) {
    VirtualCardProcess& card = StartCard(std::move(options), slot);
    WaitForState(SCARD_STATE_PRESENT, slot);
    return card;
}

SCARD_READERSTATE StackFixture::WaitForState(DWORD wanted, int slot) const {
    const auto state = m_context->WaitForState(ReaderName(slot), wanted, kStateTimeout);
    EXPECT_TRUE(state) << ReaderName(slot) << " never reached state 0x" << std::hex << wanted
                       << " (now 0x" << m_context->CurrentState(ReaderName(slot)).dwEventState
                       << ")";
    return state.value_or(SCARD_READERSTATE{});
}

void StackFixture::ShowLogs() const {
    if (m_pcscd) {
        std::cout << "--- pcscd log:\n" << m_pcscd->Log() << "---\n";
    }
    for (size_t i = 0; i < m_cards.size(); ++i) {
        std::cout << "--- card " << i << " events:";
        for (const std::string& line : m_cards[i]->Events()) {
            if (line != "atr") {
                std::cout << "\n  " << line;
            }
        }
        std::cout << "\n---\n";
    }
}

}  // namespace realstack
