// The extension object as a host meets it: the method trace and exception barrier of every
// operation, and the null arguments a fresh object refuses. (The statuses of a
// fresh object, slot by slot, are the ABI test's.)
#include <gtest/gtest.h>

#include <algorithm>
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

TEST(ExtensionObject, NullBuffersOfTheAttributesAreRefused) {
    ExtensionPtr extension(ZEPH_Ext_GetNewInstance());
    uint64_t length = 8;
    EXPECT_EQ(extension->GetAttribute(0x00010100, nullptr, &length), ZEPH_E_POINTER);
    EXPECT_EQ(extension->SetAttribute(0x00010100, nullptr, 1), ZEPH_E_POINTER);
}

// Whether `line` is at `level`, starts with `start` and names the source file `file`.
static bool Frames(const TraceLine& line, uint16_t level, const std::string& start,
                   const std::string& file = "") {
    return line.level == level && line.text.starts_with(start) &&
           line.text.find(file) != std::string::npos;
}

TEST(ExtensionTrace, EveryOperationWritesItsEntryAndExitLine) {
    CapturingTraceSystem traces;
    ExtensionPtr extension(ZEPH_Ext_GetNewInstance());
    uint8_t buffer[8] = {};
    uint64_t length = sizeof(buffer);
    uint32_t value = 0;
    const ZephSendHeader header{2, 8};
    const std::vector<std::pair<std::string, std::function<void()>>> operations = {
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
        const std::string method = "CZephExtensionPcSc::" + name;
        EXPECT_TRUE(Frames(lines.front(), TRACE_INFO, "---> Beginn: " + method + " (",
                           " Treiber\\ZEPH\\ZEPH_Ext_PcSc\\ZEPH_Ext_PcSc"))
            << lines.front().text;
        EXPECT_TRUE(Frames(lines.back(), TRACE_INFO, "<--- Ende: " + method + " ("))
            << lines.back().text;
        for (const TraceLine& line : lines) {
            EXPECT_EQ(line.category, "ZEPH.Ext.PcSc");
        }
    }
}

// The factory's frame is at detail level, around the helper library's initialisation.
TEST(ExtensionTrace, FactoryTracesAtDetailLevelAroundTheHelperInitialisation) {
    CapturingTraceSystem traces;
    ExtensionPtr{ZEPH_Ext_GetNewInstance()};
    const std::vector<TraceLine> all = traces.Lines();
    ASSERT_GT(all.size(), 2u);
    const std::string factory = "ZEPH_Ext_GetNewInstance";
    EXPECT_TRUE(Frames(all.front(), TRACE_DETAIL, "---> Beginn: " + factory + " (",
                       "Treiber\\ZEPH\\ZEPH_Ext_PcSc\\dllmain"))
        << all.front().text;
    EXPECT_TRUE(Frames(all.back(), TRACE_DETAIL, "<--- Ende: " + factory + " ("))
        << all.back().text;
    EXPECT_EQ(std::count_if(all.begin(), all.end(),
                            [&](const TraceLine& line) {
                                return line.text.find(factory) != std::string::npos;
                            }),
              2);
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
