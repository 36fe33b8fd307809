// An extension object over the PC/SC simulator, with a recording sleep and a capturing trace
// system, and access to its private helpers and fields.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CapturingTraceSystem.h"
#include "InterceptingPcSc.h"
#include "MemoryRegistry.h"
#include "PcScSimulator.h"
#include "RecordingSleeper.h"
#include "ScenarioStack.h"
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
    bool Disconnect(uint32_t disposition) {
        return m_extension.Helper_SCardDisConnect(disposition);
    }
    bool IsAccessAllowed() { return m_extension.Helper_IsWinScardAccessAllowed(); }
    void SwitchBootLoader(const std::u16string& reader) {
        m_extension.Helper_SwitchBootLoaderForSmartToken(reader);
    }
    void OpenGate() { m_extension.m_hAllowAccessEvent.Set(); }
    void CloseGate() { m_extension.m_hAllowAccessEvent.Reset(); }
    std::recursive_mutex& Lock() { return m_extension.m_csWinScardAccess; }

    ScardContext Context() const { return m_extension.m_hContext.load(); }
    ScardHandle Card() const { return m_extension.m_hCard.load(); }
    uint32_t ShareMode() const { return m_extension.m_dwShareMode; }
    uint32_t Protocol() const { return m_extension.m_dwActiveProtocol; }
    std::u16string ReaderName() const { return m_extension.m_strReaderName; }
    uint32_t ControlCount() const { return m_extension.m_dwControlCount; }
    uint32_t TransmitCount() const { return m_extension.m_dwTransmitCount; }

  private:
    CZephExtensionPcSc& m_extension;
};

struct ExtensionHarness {
    static inline const std::u16string kReader = u"Sim Reader 0";

    ExtensionHarness() {
        simulator.AddReader(kReader);
        simulator.InsertCard(kReader, kPredefinedAtr);
    }
    ~ExtensionHarness() { extension->ScalarDeletingDestructor(1); }
    ExtensionHarness(const ExtensionHarness&) = delete;
    ExtensionHarness& operator=(const ExtensionHarness&) = delete;

    // Establishes the context and connects the reader's card exclusively, as discovery does.
    void ConnectCard() {
        ASSERT_TRUE(access.GetContext());
        ASSERT_TRUE(access.Connect(kReader, false));
        simulator.ClearJournal();
        traces.Clear();
    }
    bool Traced(uint16_t level, const std::string& text) const {
        const std::vector<TraceLine> lines = traces.Lines();
        return std::any_of(lines.begin(), lines.end(), [&](const TraceLine& line) {
            return line.level == level && line.text == Latin1(text);
        });
    }
    // The texts of the lines at one level, in order and in UTF-8, without the method trace
    // frames.
    std::vector<std::string> TextsAt(uint16_t level) const {
        std::vector<std::string> texts;
        for (const TraceLine& line : traces.Lines()) {
            if (line.level == level && line.text.rfind("---> ", 0) != 0 &&
                line.text.rfind("<--- ", 0) != 0) {
                texts.push_back(Utf8(line.text));
            }
        }
        return texts;
    }
    static std::string Utf8(const std::string& latin1) {
        std::string utf8;
        for (const char c : latin1) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80) {
                utf8 += c;
            } else {
                utf8 += static_cast<char>(0xC0 | (byte >> 6));
                utf8 += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
        return utf8;
    }

    CapturingTraceSystem traces;
    PcScSimulator simulator;
    InterceptingPcSc pcsc{simulator};
    RecordingSleeper sleeper;
    MemoryRegistry registry;
    CZephExtensionPcSc* extension = new CZephExtensionPcSc(pcsc, sleeper, registry);
    ExtensionTestAccess access{*extension};
};
