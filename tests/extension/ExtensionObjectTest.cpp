// The extension object as a host meets it: the short name rule, the method trace and exception
// barrier of every operation, and the null arguments a fresh object refuses. (The statuses of a
// fresh object, slot by slot, are the ABI test's.)
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

ExtensionPtr NewExtension() {
    return ExtensionPtr(ZEPH_Ext_GetNewInstance());
}

// A standard exception without a description.
class SilentError : public std::exception {
  public:
    const char* what() const noexcept override { return ""; }
};

// A minimal derived class, to reach the base constructor's short-name rule directly.
class NamedExtension final : public CZephExtensionAbstract {
  public:
    explicit NamedExtension(const char* name) : CZephExtensionAbstract(name) {}
    ~NamedExtension() = default;
    void* ScalarDeletingDestructor(unsigned int) override { return this; }
    uint32_t SetProtocol(uint32_t, uint32_t*) override { return 0; }
    uint32_t Power(uint32_t, uint8_t*, uint32_t*) override { return 0; }
    uint32_t GetAttribute(uint32_t, uint8_t*, uint64_t*) override { return 0; }
    uint32_t SetAttribute(uint32_t, const uint8_t*, uint32_t) override { return 0; }
    uint32_t Transmit(const ZephSendHeader*, const uint8_t*, uint64_t, uint8_t*,
                      uint64_t*) override {
        return 0;
    }
    uint32_t IsPresent(const ZephWChar*, uint8_t*, uint64_t*, uint32_t*) override { return 0; }
    uint32_t IsAbsent() override { return 0; }
    uint32_t GetState(uint32_t*, uint32_t*) override { return 0; }
    void Cancel() override {}
    uint32_t Control(uint32_t, const uint8_t*, uint64_t, uint8_t*, uint64_t*) override { return 0; }
};

}  // namespace

TEST(ExtensionObject, ShortNameIsCutToFourCharactersAndNeverEmpty) {
    const std::pair<const char*, std::string> rows[] = {
        {"PcSc", "PcSc"}, {"Ab", "Ab"}, {"Longer", "Long"}, {"", "????"}, {nullptr, "????"}};
    for (const auto& [name, shortName] : rows) {
        EXPECT_EQ(NamedExtension(name).m_szShortName, shortName);
    }
}

TEST(ExtensionObject, NullBuffersOfTheAttributesAreRefused) {
    ExtensionPtr extension = NewExtension();
    uint64_t length = 8;
    EXPECT_EQ(extension->GetAttribute(0x00010100, nullptr, &length), ZEPH_E_POINTER);
    EXPECT_EQ(extension->SetAttribute(0x00010100, nullptr, 1), ZEPH_E_POINTER);
}

TEST(ExtensionTrace, EveryOperationWritesItsEntryAndExitLine) {
    CapturingTraceSystem traces;
    ExtensionPtr extension = NewExtension();
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
        EXPECT_TRUE(lines.front().text.starts_with("---> Beginn: " + method + " ("))
            << lines.front().text;
        EXPECT_NE(lines.front().text.find(" Treiber\\ZEPH\\ZEPH_Ext_PcSc\\ZEPH_Ext_PcSc"),
                  std::string::npos)
            << lines.front().text;
        EXPECT_TRUE(lines.back().text.starts_with("<--- Ende: " + method + " ("))
            << lines.back().text;
        EXPECT_EQ(lines.front().level, TRACE_INFO);
        EXPECT_EQ(lines.back().level, TRACE_INFO);
        for (const TraceLine& line : lines) {
            EXPECT_EQ(line.category, "ZEPH.Ext.PcSc");
        }
    }
}

TEST(ExtensionTrace, FactoryTracesAtDetailLevelAroundTheHelperInitialisation) {
    CapturingTraceSystem traces;
    const auto factoryLines = [&traces] {
        std::vector<TraceLine> lines = traces.Lines();
        std::erase_if(lines, [](const TraceLine& line) {
            return line.text.find("ZEPH_Ext_GetNewInstance") == std::string::npos;
        });
        return lines;
    };
    traces.SetCategoryLevels("ZEPH.Ext.PcSc", TRACE_INFO | TRACE_ERROR | TRACE_EXCEPTION);
    NewExtension();
    EXPECT_TRUE(factoryLines().empty());

    traces.SetCategoryLevels("ZEPH.Ext.PcSc", CapturingTraceSystem::kAllLevels);
    traces.Clear();
    NewExtension();
    const std::vector<TraceLine> lines = factoryLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].level, TRACE_DETAIL);
    EXPECT_TRUE(lines[0].text.starts_with("---> Beginn: ZEPH_Ext_GetNewInstance ("));
    EXPECT_NE(lines[0].text.find("Treiber\\ZEPH\\ZEPH_Ext_PcSc\\dllmain"), std::string::npos);
    EXPECT_TRUE(lines[1].text.starts_with("<--- Ende: ZEPH_Ext_GetNewInstance ("));
    const std::vector<TraceLine> all = traces.Lines();
    EXPECT_EQ(all.front(), lines[0]);
    EXPECT_EQ(all.back(), lines[1]);
    EXPECT_GT(all.size(), 2u);  // the helper library's initialisation runs in between
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
