// The extension object as the tests drive it: ExtensionObject over any PC/SC stack (the shared
// scenarios use it on theirs), ExtensionHarness over the PC/SC simulator with a recording sleep and
// a capturing trace system; both with access to the object's private helpers and fields.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "CapturingTraceSystem.h"
#include "InterceptingPcSc.h"
#include "MemoryRegistry.h"
#include "PcScSimulator.h"
#include "RecordingSleeper.h"
#include "TestCards.h"
#include "extension/ZephExtensionPcSc.h"
#include "tracing/TraceLevels.h"

class ExtensionTestAccess {
  public:
    explicit ExtensionTestAccess(CZephExtensionPcSc& extension) : m_extension(extension) {}

    bool GetContext() { return m_extension.Helper_SCardGetContext() == 0; }
    void SetServiceRetryMs(uint32_t milliseconds) { m_extension.m_serviceRetryMs = milliseconds; }
    bool ReleaseContext(uint32_t disposition) {
        return m_extension.Helper_SCardReleaseContext(disposition);
    }
    bool Connect(const std::u16string& reader, bool direct) {
        return m_extension.Helper_SCardConnect(reader, direct);
    }
    bool Reconnect(uint32_t initialization, bool tryOnly) {
        return m_extension.Helper_SCardReConnect(initialization, tryOnly);
    }
    bool IsAccessAllowed() { return m_extension.Helper_IsWinScardAccessAllowed(); }
    void SwitchBootLoader(const std::u16string& reader) {
        m_extension.Helper_SwitchBootLoaderForSmartToken(reader);
    }
    void OpenGate() { m_extension.m_hAllowAccessEvent.Set(); }
    std::recursive_mutex& Lock() { return m_extension.m_csWinScardAccess; }

    ScardContext Context() const { return m_extension.m_hContext.load(); }
    ScardHandle Card() const { return m_extension.m_hCard.load(); }
    uint32_t ShareMode() const { return m_extension.m_dwShareMode; }
    std::u16string ReaderName() const { return m_extension.m_strReaderName; }

  private:
    CZephExtensionPcSc& m_extension;
};

// The object over a stack, cancelled and destroyed at the end, as the host does.
struct ExtensionObject {
    ExtensionObject(PcScApi& pcsc, Sleeper& sleeper)
        : extension(new CZephExtensionPcSc(pcsc, sleeper, registry)) {}
    ~ExtensionObject() {
        extension->Cancel();
        extension->ScalarDeletingDestructor(1);
    }
    ExtensionObject(const ExtensionObject&) = delete;
    ExtensionObject& operator=(const ExtensionObject&) = delete;
    uint32_t IsPresent() { return extension->IsPresent(nullptr, nullptr, nullptr, nullptr); }

    MemoryRegistry registry;
    CZephExtensionPcSc* extension;
    ExtensionTestAccess access{*extension};
};

struct ExtensionHarness {
    static inline const std::u16string kReader = u"Sim Reader 0";
    static inline const ZephSendHeader kT1Header{SCARD_PROTOCOL_T1, 8};

    ExtensionHarness() {
        simulator.AddReader(kReader);
        simulator.InsertCard(kReader, kPredefinedAtr);
    }
    // The object's last Cancel and release reach the platform without the test's hooks.
    ~ExtensionHarness() { pcsc.DropHooks(); }

    // Establishes the context and connects the reader's card exclusively, as discovery does.
    void ConnectCard() {
        ASSERT_TRUE(access.GetContext());
        ASSERT_TRUE(access.Connect(kReader, false));
        Forget();
    }
    // Connects the card the way the host does, through IsPresent.
    void ConnectThroughDiscovery() {
        ASSERT_EQ(IsPresent(), ZEPH_STATUS_SUCCESS);
        Forget();
    }
    void Forget() {
        simulator.ClearJournal();
        traces.Clear();
    }
    uint32_t IsPresent() { return object.IsPresent(); }
    // An operation on its own thread, as the host runs its waits.
    template <typename Operation>
    static std::future<uint32_t> Async(Operation operation) {
        return std::async(std::launch::async, std::move(operation));
    }
    std::future<uint32_t> AsyncIsPresent() {
        return Async([this] { return IsPresent(); });
    }
    // The status of an operation started by Async; one still running after 10 s fails the test
    // and is cancelled, so that a fault makes the test fail rather than hang.
    uint32_t Finish(std::future<uint32_t>& operation) {
        if (operation.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the operation did not return";
            extension->Cancel();
        }
        return operation.get();
    }
    // SELECT of the master file with `capacity` announced for the answer (64 bytes of room):
    // the status and the bytes reported.
    std::pair<uint32_t, std::vector<uint8_t>> TransmitSelect(uint64_t capacity = 64) {
        std::vector<uint8_t> response(64, 0xEE);
        uint64_t length = capacity;
        const uint32_t status =
            extension->Transmit(&kT1Header, kSelectMasterFile.data(), kSelectMasterFile.size(),
                                response.data(), &length);
        response.resize(std::min<uint64_t>(length, response.size()));
        return {status, response};
    }
    // Power with room for `capacity` bytes of ATR (36 bytes of room): the status and the ATR.
    std::pair<uint32_t, std::vector<uint8_t>> Power(uint32_t action, uint32_t capacity = 36) {
        std::vector<uint8_t> atr(36);
        uint32_t length = capacity;
        const uint32_t status = extension->Power(action, atr.data(), &length);
        atr.resize(std::min<uint32_t>(length, 36));
        return {status, atr};
    }
    // GetState's status, state and protocol.
    std::tuple<uint32_t, uint32_t, uint32_t> State() {
        uint32_t state = 99;
        uint32_t protocol = 99;
        const uint32_t status = extension->GetState(&state, &protocol);
        return {status, state, protocol};
    }
    // Whether the object's `method` traced `text` at `level`.
    bool Traced(uint16_t level, const std::string& method, const std::string& text) const {
        const std::vector<std::string> texts = traces.TextsAt(level);
        const std::string line = Latin1("CZephExtensionPcSc::" + method + "::" + text);
        return std::find(texts.begin(), texts.end(), line) != texts.end();
    }
    // The journal as text without the frees of PC/SC's memory (the leak checks count those), e.g.
    // "Connect:excl Reconnect:excl:unpower Disconnect:reset Status".
    std::string Steps() const {
        static const char* const kShares[] = {"0", "excl", "shared", "direct"};
        static const char* const kDispositions[] = {"leave", "reset", "unpower", "eject"};
        std::string steps;
        for (const sim::JournalEntry& entry : simulator.Journal()) {
            if (entry.call == sim::Call::FreeMemory) {
                continue;
            }
            steps += steps.empty() ? "" : " ";
            steps += sim::CallName(entry.call);
            if (entry.call == sim::Call::Connect || entry.call == sim::Call::Reconnect) {
                steps += std::string(":") + kShares[std::min(entry.shareMode, 3u)];
            }
            if (entry.call == sim::Call::Reconnect || entry.call == sim::Call::Disconnect) {
                steps += std::string(":") + kDispositions[std::min(entry.disposition, 3u)];
            }
        }
        return steps;
    }

    CapturingTraceSystem traces;
    PcScSimulator simulator;
    InterceptingPcSc pcsc{simulator};
    RecordingSleeper sleeper;
    ExtensionObject object{pcsc, sleeper};
    CZephExtensionPcSc* extension = object.extension;
    ExtensionTestAccess& access = object.access;
};

// A harness whose card is connected exclusively, as discovery leaves it.
struct ConnectedHarness : ExtensionHarness {
    ConnectedHarness() { ConnectCard(); }
};
