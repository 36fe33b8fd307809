// The extension object as a host meets it: the method trace and exception barrier of every
// operation. (The statuses of a fresh object, slot by slot, are the ABI test's.)
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "CapturingTraceSystem.h"
#include "extension/ExtensionTrace.h"
#include "zeph/ZephExtensionAbi.h"

namespace {

struct ExtensionDeleter {
    void operator()(CZephExtensionAbstract* extension) const {
        extension->ScalarDeletingDestructor(1);
    }
};
using ExtensionPtr = std::unique_ptr<CZephExtensionAbstract, ExtensionDeleter>;

// A standard exception without a description.
class SilentError : public std::exception {
  public:
    const char* what() const noexcept override { return ""; }
};

}  // namespace

// Every operation's frame is at info level; the factory's is at detail level, around the helper
// library's initialisation, and names the entry point's source file.
TEST(ExtensionTrace, EveryOperationAndTheFactoryWriteTheirEntryAndExitLines) {
    CapturingTraceSystem traces;
    ExtensionPtr extension;
    uint8_t buffer[8] = {};
    uint64_t length = sizeof(buffer);
    uint32_t value = 0;
    const ZephSendHeader header{2, 8};
    const std::vector<std::pair<std::string, std::function<void()>>> operations = {
        {"ZEPH_Ext_GetNewInstance", [&] { extension.reset(ZEPH_Ext_GetNewInstance()); }},
        {"SetProtocol", [&] { extension->SetProtocol(2, &value); }},
        {"Power", [&] { extension->Power(0, buffer, &value); }},
        {"GetAttribute", [&] { extension->GetAttribute(0x00010100, buffer, &length); }},
        {"SetAttribute", [&] { extension->SetAttribute(0x00010100, buffer, 1); }},
        {"Transmit", [&] { extension->Transmit(&header, buffer, 1, buffer, &length); }},
        {"IsAbsent", [&] { extension->IsAbsent(); }},
        {"GetState", [&] { extension->GetState(&value, &value); }},
        {"Cancel", [&] { extension->Cancel(); }},
        {"Control", [&] { extension->Control(1, nullptr, 0, nullptr, nullptr); }},
    };
    for (const auto& [name, call] : operations) {
        traces.Clear();
        call();
        const std::vector<TraceLine> lines = traces.Lines();
        ASSERT_GE(lines.size(), 2u) << name;
        const bool factory = name.starts_with("ZEPH");
        const std::string method = factory ? name : "CZephExtensionPcSc::" + name;
        const uint16_t level = factory ? TRACE_DETAIL : TRACE_INFO;
        const std::string file = factory ? "dllmain" : "ZEPH_Ext_PcSc";
        EXPECT_EQ(lines.front().level, level);
        EXPECT_TRUE(lines.front().text.starts_with("---> Beginn: " + method + " (") &&
                    lines.front().text.find(" Treiber\\ZEPH\\ZEPH_Ext_PcSc\\" + file) !=
                        std::string::npos)
            << lines.front().text;
        EXPECT_EQ(lines.back().level, level);
        EXPECT_TRUE(lines.back().text.starts_with("<--- Ende: " + method + " ("))
            << lines.back().text;
        for (const TraceLine& line : lines) {
            EXPECT_TRUE(factory || line.category == "ZEPH.Ext.PcSc") << line.text;
        }
    }
}

TEST(ExtensionTrace, BarrierTracesEveryKindOfExceptionAndKeepsTheStatusReached) {
    CapturingTraceSystem traces;
    uint32_t status = 1;
    RunGuarded(u"CZephExtensionPcSc::Transmit", [&] {
        status = 2;
        throw std::runtime_error("Karte weg");
    });
    RunGuarded(u"CZephExtensionPcSc::Control", [] { throw SilentError(); });
    RunGuarded(u"CZephExtensionPcSc::Power", [] { throw 42; });
    EXPECT_EQ(status, 2u);
    EXPECT_EQ(traces.TextsAt(TRACE_EXCEPTION),
              (std::vector<std::string>{
                  "CZephExtensionPcSc::Transmit::Std::Exception gefangen! <Karte weg>",
                  "CZephExtensionPcSc::Control::Std::Exception gefangen! <Unknown exception>",
                  "CZephExtensionPcSc::Power::Exception gefangen!"}));
    EXPECT_EQ(traces.Lines().size(), 3u);
}
