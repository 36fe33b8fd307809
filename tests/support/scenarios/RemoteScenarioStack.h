// The shared scenarios' stack for the Windows build on a real PC/SC service: the WinSCard backend
// (under Wine 10, whose winscard passes each call to pcsc-lite) as the module's seam, and the
// world behind it changed by zeph_stack_server (StackServer.cpp) over a loopback connection:
// each change is one command line, answered once done. scripts/wine10-stage.sh runs both.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "InterceptingPcSc.h"
#include "ScenarioStack.h"
#include "pcsc/winscard/WinSCardBackend.h"

class RemoteScenarioStack final : public ScenarioStack {
  public:
    // Connects to the server on ZEPH_STACK_SERVER_PORT (default kDefaultPort); throws otherwise.
    RemoteScenarioStack();
    ~RemoteScenarioStack() override;

    static constexpr uint16_t kDefaultPort = 35900;

    PcScApi& Api() override { return m_api; }
    std::u16string ReaderName() const override { return m_reader; }
    void InsertCard(const std::vector<uint8_t>& atr) override;
    void RemoveCard() override { Command("remove"); }
    void HoldCardExclusivelyElsewhere() override { Command("hold"); }
    void ReleaseCardElsewhere() override { Command("release"); }
    void StopService() override { Command("stop"); }
    void StartService() override { Command("start"); }
    std::string Lacks(const std::string& call) const override;

    // Status-change calls in progress, once the latest has run for a while: a wait counts once
    // it has had time to reach pcsc-lite beneath Wine, which a Cancel needs to find it.
    size_t WaitsInProgress(ScardContext context) const override;

  private:
    // Sends the command and returns what follows "ok"; throws with the server's error.
    std::string Command(const std::string& line);

    uintptr_t m_socket;
    WinSCardBackend m_backend;
    InterceptingPcSc m_api{m_backend};
    std::u16string m_reader;
    std::atomic<size_t> m_waits{0};
    std::atomic<std::chrono::steady_clock::rep> m_lastWaitStart{0};
};
