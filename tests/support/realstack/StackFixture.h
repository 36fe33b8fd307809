// GoogleTest fixture for tests against the real PC/SC stack: each test gets a private pcscd with
// one vpcd reader (two slots), a PC/SC context, and starts the virtual cards it needs. Cards and
// pcscd are stopped by pid when the test ends; pcscd's log and the cards' events are shown when
// it failed.
//
// The test process sets PCSCLITE_NO_BLOCKING before its first PC/SC call, so that a sharing
// conflict is reported at once instead of being retried by the client library.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "PcscHandles.h"
#include "PcscdProcess.h"
#include "VirtualCardProcess.h"

namespace realstack {

class StackFixture : public ::testing::Test {
  protected:
    static constexpr std::chrono::milliseconds kStateTimeout{5000};

    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Starts a card for the slot (0 or 1) and waits until it has connected to vpcd; the
    // options' port is set from the slot.
    VirtualCardProcess& StartCard(VirtualCardOptions options = {}, int slot = 0);
    // Starts a card and waits until PC/SC shows it present in the slot's reader.
    VirtualCardProcess& InsertCard(VirtualCardOptions options = {}, int slot = 0);

    const std::string& ReaderName(int slot = 0) const { return m_readerNames.at(Index(slot)); }
    const PcscContext& Context() const { return *m_context; }
    // Stops pcscd, which ends every context and card connection; the fixture's context goes too.
    void StopPcscd();
    // Starts pcscd again with the same reader, and gives the fixture a new context.
    void StartPcscd();
    // Polls the reader's state until every bit of wanted is set; fails the test otherwise.
    SCARD_READERSTATE WaitForState(DWORD wanted, int slot = 0) const;

    const VpcdReader m_reader;

  private:
    static size_t Index(int slot) { return static_cast<size_t>(slot); }
    void ShowLogs() const;

    std::filesystem::path m_workDir;
    std::vector<std::string> m_readerNames;
    std::unique_ptr<PcscdProcess> m_pcscd;
    std::unique_ptr<PcscContext> m_context;
    std::vector<std::unique_ptr<VirtualCardProcess>> m_cards;
};

}  // namespace realstack
