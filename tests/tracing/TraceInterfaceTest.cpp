// The module's trace interface over the trace system library: the printf-style expansion of trace
// texts, as the Windows printf does it, wide and narrow (on Linux over the platform's narrow
// texts, UTF-8); what reaches the trace system, in which form, and what never does; the sinks of
// the extension and the helper library; the entry and exit lines of method traces; the loader with
// real libraries: which file it takes and which it refuses.
#include "tracing/TraceInterface.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "CapturingTraceSystem.h"
#include "FakeDirectoryEnvironment.h"
#include "directories/TraceSystemSearch.h"
#include "platform/ProcessClock.h"
#include "platform/TextConversion.h"
#include "tracing/DynamicLibrary.h"
#include "tracing/FormatExpander.h"
#include "tracing/MethodTrace.h"
#include "tracing/TraceLevels.h"
#include "tracing/TraceSinks.h"
#include "tracing/TraceSystemLib.h"

using zeph::platform::NarrowToWide;
using zeph::platform::WideToNarrow;
using zeph::trace::FormatText;

namespace {

TEST(FormatExpanderTest, WideFormats) {
    const std::u16string_view unterminated = std::u16string_view(u"viewed!").substr(0, 6);
    EXPECT_EQ(FormatText(u"%d|%i|%u|%x|%X", -42, 7, 42u, 0xBEEFu, 0xBEEFu), u"-42|7|42|beef|BEEF");
    EXPECT_EQ(FormatText(u"[%5d][%05d][%.3d][%.0d]", 42, -42, 5, 0), u"[   42][-0042][005][]");
    // 32-bit arguments are reinterpreted as printf does.
    EXPECT_EQ(FormatText(u"%d %u %x", 0xFFFFFFFFu, -1, -1), u"-1 4294967295 ffffffff");
    EXPECT_EQ(FormatText(u"%0.3f|%.3f|%f", 2.5, 1.2346, 1.5), u"2.500|1.235|1.500000");
    // Lower-case s takes text of the format's width.
    EXPECT_EQ(FormatText(u"%s::%S <%s> <%s>", u"CZephExtensionPcSc::Transmit", "narrow",
                         std::u16string(u"owned"), unterminated),
              u"CZephExtensionPcSc::Transmit::narrow <owned> <viewed>");
    EXPECT_EQ(FormatText(u"[%6s][%.3s][%s][%S]", u"ab", u"abcdef",
                         static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr)),
              u"[    ab][abc][(null)][(null)]");
    // A precision cuts texts between characters.
    EXPECT_EQ(FormatText(u"[%.1s][%.2s][%.3s]", u"\U0001F600x", u"\U0001F600x", u"\U0001F600x"),
              u"[][\U0001F600][\U0001F600x]");
    EXPECT_EQ(FormatText(u"100%% of %d", 3, u"unused", 4.0), u"100% of 3");
    // Length modifiers narrow or widen the argument as printf reads it; h, l and w pick the
    // width of a text or character; "-" aligns left, "0" fills texts with zeros too.
    EXPECT_EQ(
        FormatText(u"[%hd][%hu][%ld][%lu][%lld][%llx][%-4d][%-3s|%03s][%c%hc%lc%wc][%hs%ls%ws]",
                   70000, 70000u, -1, 1u, int64_t{-5}, uint64_t{255}, 7, u"a", u"b", 65, 66, 67, 68,
                   "n", u"w", u"x"),
        u"[4464][4464][-1][1][-5][ff][7   ][a  |00b][ABCD][nwx]");
}

TEST(FormatExpanderTest, NarrowFormats) {
    const std::string oneUmlaut = WideToNarrow(u"\u00e4");
    EXPECT_EQ(FormatText("%s: <%S> = \"%s\"", "CDB_GetLogDir", u"LogPfad", std::string("C:\\")),
              "CDB_GetLogDir: <LogPfad> = \"C:\\\"");
    EXPECT_EQ(FormatText("[%.0S][%.3S]", u"\u00e4", u"abcd"), "[][abc]");
    EXPECT_EQ(FormatText(("[%." + std::to_string(oneUmlaut.size()) + "S]").c_str(), u"\u00e4b"),
              "[" + oneUmlaut + "]");
    EXPECT_EQ(FormatText("%s", u"wide"), "");
    EXPECT_EQ(FormatText("%S", "narrow"), "");
    EXPECT_EQ(FormatText("[%c%lc%hs%-2c]", 65, 66, "n", 67), "[ABnC ]");
    EXPECT_EQ(
        FormatText("[%hd][%hu][%ld][%lu][%lld][%llx][%X][%5.3d][%-4d][%.3f][%5%][%03s]", 70000,
                   70000u, -1, 1u, int64_t{-5}, uint64_t{255}, 0xABu, 7, -7, 0.25, "b"),
        "[4464][4464][-1][1][-5][ff][AB][  007][-7  ][0.250][%][00b]");
}

// An invalid format, or an argument of the wrong type for its conversion, gives an empty text.
TEST(FormatExpanderTest, InvalidFormatsGiveAnEmptyText) {
    for (const std::u16string& text :
         {FormatText(u"%d", int64_t{1}), FormatText(u"%.3f", 1), FormatText(u"%s", "narrow"),
          FormatText(u"%wd", 1), FormatText(u"before %q after", 1), FormatText(u"%+d", 1),
          FormatText(u"%d and %d", 1), FormatText(u"%s", 42), FormatText(u"%999999d", 1),
          FormatText(u"%.65f", 1.0), FormatText(u"trailing %"),
          FormatText(static_cast<const char16_t*>(nullptr)), FormatText(u"%lls", u"x"),
          FormatText(u"%c", u"x"), FormatText(u"%\u00e4", 1), FormatText(u"%.9999999d", 1),
          FormatText(u"%u", 1.0), FormatText(u"%llc", 1), FormatText(u"%hs", u"x")}) {
        EXPECT_EQ(text, u"");
    }
    for (const std::string& text :
         {FormatText("%d", int64_t{1}), FormatText("%.3f", 1), FormatText("%wd", 1),
          FormatText("%q", 1), FormatText("%d"), FormatText("%.65f", 1.0), FormatText("%lls", "x"),
          FormatText("%c", "x"), FormatText("%u", 1.0), FormatText("%S", 1)}) {
        EXPECT_EQ(text, "");
    }
}

#ifndef _WIN32
// Malformed UTF-8 and lone surrogates become replacement characters, one per maximal subpart of an
// ill-formed sequence.
TEST(TextConversionTest, LinuxNarrowTextIsUtf8) {
    // Whole characters; overlong forms; stray bytes; a character cut short at the end.
    EXPECT_EQ(
        NarrowToWide("\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80|\xC0\xAF\xE0\x80\x80|\xFF\x80|a\xC3"),
        u"\u00e4\u20ac\U0001F600|\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD|\uFFFD\uFFFD|a\uFFFD");
    EXPECT_EQ(WideToNarrow(u"\u00e4\u20ac\U0001F600"), "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(WideToNarrow(std::u16string{u'a', char16_t(0xDC00), char16_t(0xD800), u'b'}),
              "a\xEF\xBF\xBD\xEF\xBF\xBD"
              "b");
}

TEST(TextConversionTest, NarrowPrefixEndsBetweenUtf8Characters) {
    // Stray continuation bytes are characters of their own; the lead announces one continuation
    // byte only.
    for (const auto& [text, maxBytes, expected] :
         {std::tuple<const char*, size_t, size_t>{"ab", 5, 2},
          {"a\xC3\xA4", 2, 1},
          {"a\xC3\xA4", 3, 3},
          {"\xF0\x9F\x98\x80", 3, 0},
          {"a\x80\x80", 2, 2},
          {"\xC3\xA4\x80", 2, 2}}) {
        EXPECT_EQ(zeph::platform::NarrowPrefixLength(text, maxBytes), expected)
            << text << " " << maxBytes;
    }
}
#endif

constexpr char16_t kComponent[] = u"ZEPH.Ext.PcSc";

struct ThrowingText {
    operator std::u16string_view() const { throw std::runtime_error("conversion failed"); }
};

class TraceInterfaceTest : public ::testing::Test {
  protected:
    void TearDown() override { SetHelperLibComponent(kHelperLibDefaultTraceComponent); }

    CapturingTraceSystem m_capture;
};

// Texts arrive in ISO 8859-1, cut at 4095 characters before they are converted; an invalid
// format, a character beyond ISO 8859-1 or an argument that throws leaves an empty text.
TEST_F(TraceInterfaceTest, DeliversTheTextsAsTheTraceSystemTakesThem) {
    const std::u16string longer(10000, u'y');
    TRC_WriteFormat(TRACE_ERROR, kComponent, u"%s::SCardTransmit lieferte Fehler %s!",
                    u"CZephExtensionPcSc::Transmit", u"<REMOVED_CARD>");
    TRC_WriteW(TRACE_INFO, kComponent, u"\u00c4nderung");
    TRC_WriteW(TRACE_INFO, kComponent, u"\u20ac");
    TRC_WriteW(TRACE_INFO, kComponent, u"");
    TRC_WriteFormat(TRACE_INFO, kComponent, u"%s", ThrowingText{});
    TRC_WriteFormat(TRACE_INFO, kComponent, u"%s", std::u16string(4096, u'x'));
    TRC_WriteFormat(TRACE_INFO, kComponent, longer.c_str());
    TRC_WriteW(TRACE_INFO, kComponent, longer.c_str());
    TRC_WriteW(TRACE_INFO, kComponent, (std::u16string(4095, u'z') + u"\u20ac").c_str());
    TRC_WriteFormat(TRACE_INFO, kComponent, u"%s %s", std::u16string(4094, u'z'), u"\u20ac");
    TRC_WriteW(TRACE_INFO, kComponent, (std::u16string(4094, u'z') + u"\u20ac").c_str());
    EXPECT_EQ(m_capture.Lines().front().level, TRACE_ERROR);
    EXPECT_EQ(
        m_capture.Texts(),
        (std::vector<std::string>{
            "CZephExtensionPcSc::Transmit::SCardTransmit lieferte Fehler <REMOVED_CARD>!",
            "\xC4nderung", "", "", std::string(4095, 'x'), std::string(4095, 'y'),
            std::string(4095, 'y'), std::string(4095, 'z'), std::string(4094, 'z') + " ", ""}));
}

// Components are cut at 127 characters; a missing or unconvertible component, or a null text,
// drops the line.
TEST_F(TraceInterfaceTest, ComponentsAreCutAndWithoutComponentOrTextNothingIsWritten) {
    for (const char16_t* component : {static_cast<const char16_t*>(nullptr), u"", u"\u20ac"}) {
        TRC_WriteFormat(TRACE_INFO, component, u"formatted");
        TRC_WriteW(TRACE_INFO, component, u"wide");
        EXPECT_FALSE(TRC_ShouldTraceCategoryW(TRACE_INFO, component));
    }
    TRC_Write(TRACE_INFO, nullptr, "narrow");
    TRC_WriteFormat(TRACE_INFO, kComponent, nullptr);
    TRC_WriteW(TRACE_INFO, kComponent, nullptr);
    TRC_Write(TRACE_INFO, "ZEPH.Ext.PcSc", nullptr);
    EXPECT_FALSE(TraceSystemLib::Instance().ShouldTraceCategory(TRACE_INFO, nullptr));
    const std::u16string component(200, u'C');
    TRC_WriteFormat(TRACE_INFO, component.c_str(), u"formatted");
    TRC_WriteW(TRACE_INFO, component.c_str(), u"wide");
    EXPECT_EQ(m_capture.Lines(),
              (std::vector<TraceLine>{{TRACE_INFO, std::string(127, 'C'), "formatted"},
                                      {TRACE_INFO, std::string(127, 'C'), "wide"}}));
}

// The extension's sink writes errors at level 2 and others at 16; the helper library's writes
// under its current component, which is cut at 63 characters and ignores null.
TEST_F(TraceInterfaceTest, SinksWriteErrorsAtLevel2AndOthersAt16UnderTheirComponent) {
    ExtensionTraceSink(true, u"CDB_GetLogDir: fehlgeschlagen");
    ExtensionTraceSink(false, u"CDB_GetLogDir: ok");
    HelperLibTraceSink(true, u"before");
    SetHelperLibComponent(kExtensionTraceComponent);
    HelperLibTraceSink(false, u"after");
    EXPECT_EQ(
        m_capture.Lines(),
        (std::vector<TraceLine>{{TRACE_ERROR, "ZEPH.Ext.PcSc", "CDB_GetLogDir: fehlgeschlagen"},
                                {TRACE_INFO, "ZEPH.Ext.PcSc", "CDB_GetLogDir: ok"},
                                {TRACE_ERROR, "ZEPH.Help.Lib", "before"},
                                {TRACE_INFO, "ZEPH.Ext.PcSc", "after"}}));
    SetHelperLibComponent(std::u16string(100, u'h').c_str());
    SetHelperLibComponent(nullptr);
    EXPECT_EQ(GetHelperLibComponent(), std::u16string(63, u'h'));
}

const std::string kUnwound =
    "\t Returnwert: Fehlerinfo: StackUnwinding ~MethodTrace: Es ist eine Exception aufgetreten";

std::atomic<int32_t> g_clock{0};

struct ScopeOptions {
    int32_t line = 774;
    const char16_t* annotation = u"";
    int32_t elapsedTicks = 47;
    bool setReturnOk = false;
    bool throwAtEnd = false;
};

// A traced operation of the extension, as call sites open their scope; an exception it throws
// is caught by its caller.
void Power(const ScopeOptions& options) {
    g_clock = 0;
    try {
        MethodTrace trace(TRACE_INFO, u"ZEPH.Ext.PcSc", u"CZephExtensionPcSc::Power",
                          u"D:\\src\\Extension", options.line, options.annotation);
        g_clock += options.elapsedTicks;
        if (options.setReturnOk) {
            trace.SetReturnOk();
        }
        if (options.throwAtEnd) {
            throw std::runtime_error("card removed");
        }
    } catch (const std::runtime_error&) {
    }
}

const std::string kPower = "CZephExtensionPcSc::Power";
const std::string kEntry = "16 ---> Beginn: " + kPower + " (774) D:\\src\\Extension";
const std::string kDeferred = "1 ---> Beginn (hh:mm:ss.mmm): " + kPower;
const std::string kExit = "<--- Ende: " + kPower + " (0.047 sec)";

// Each scope's entry and exit line, as "<level> <text>"; a scope of a component traced for
// exceptions and errors only writes only when an exception leaves it: both lines at level 1, the
// entry with the time of day and always with its annotation.
TEST(MethodTraceTest, LinesAreWrittenAsTheScopeEnds) {
    const struct {
        const char* name;
        ScopeOptions options;
        bool errorsOnly;
        std::string entry, exit;  // none: the scope writes nothing
    } scopes[] = {
        {"ReturnOk", ScopeOptions{.setReturnOk = true}, false, kEntry,
         "16 " + kExit + "\t Returnwert: ok"},
        {"Annotation", ScopeOptions{.line = 12, .annotation = u"Leser \u00e4"}, false,
         "16 ---> Beginn: " + kPower + " (12) 'Leser \xE4' D:\\src\\Extension", "16 " + kExit},
        // An exception replaces "ok" and moves the exit to level 1.
        {"Exception", ScopeOptions{.setReturnOk = true, .throwAtEnd = true}, false, kEntry,
         "1 " + kExit + kUnwound},
        {"ErrorsOnly", ScopeOptions{.setReturnOk = true}, true, "", ""},
        {"ErrorsOnlyException", ScopeOptions{.elapsedTicks = 312, .throwAtEnd = true}, true,
         kDeferred + " (774) '' D:\\src\\Extension",
         "1 <--- Ende: " + kPower + " (0.312 sec)" + kUnwound},
    };
    // A deferred entry line carries the time of day of the scope's start: "hh:mm:ss.mmm" in place.
    const std::regex timeOfDay(R"(^---> Beginn \(\d\d:\d\d:\d\d\.\d\d\d\): )");
    CapturingTraceSystem capture;
    zeph::platform::SetProcessClockForTesting([]() noexcept { return g_clock.load(); });
    for (const auto& scope : scopes) {
        SCOPED_TRACE(scope.name);
        capture.Clear();
        capture.SetLevels(scope.errorsOnly ? TRACE_EXCEPTION | TRACE_ERROR
                                           : CapturingTraceSystem::kAllLevels);
        Power(scope.options);
        std::vector<std::string> lines;
        for (const TraceLine& line : capture.Lines()) {
            EXPECT_EQ(line.category, "ZEPH.Ext.PcSc");
            lines.push_back(
                std::to_string(line.level) + " " +
                std::regex_replace(line.text, timeOfDay, "---> Beginn (hh:mm:ss.mmm): "));
        }
        EXPECT_EQ(lines, (scope.entry.empty() ? std::vector<std::string>{}
                                              : std::vector{scope.entry, scope.exit}));
    }
    zeph::platform::SetProcessClockForTesting(nullptr);
}

// A fresh loader whose finder searches the directories of a fake environment. The module and the
// executable lie in "Module" and "Host" below its root.
class LoaderScene {
  public:
    LoaderScene() {
        s_context = &m_context;
        TraceSystemLib::Instance().ResetForTesting();
        TraceSystemLib::Instance().SetFinder(&Find);
    }
    ~LoaderScene() {
        TraceSystemLib::Instance().ResetForTesting();
        TraceSystemLib::Instance().SetFinder(nullptr);
    }

    // A copy of a variant of the test library (null: a file that is no library) in the
    // directory; each copy is a library of its own, with counters of its own.
    std::string Place(const std::string& directory, const char* variant) {
        const std::string path = env.Make(directory) + kPathSeparator + kTraceSystemLibraryName;
        if (variant == nullptr) {
            std::ofstream(path) << "not a library";
        } else {
            std::filesystem::copy_file(
                std::filesystem::path(ZEPH_TEST_TRACELIB_DIR) / variant / kTraceSystemLibraryName,
                path);
        }
        return path;
    }
    // A counter of the copy, as TestTraceSystemInitCount: how often it was initialised (loading it
    // here does not initialise it).
    static int Counter(const std::string& library, const char* name = "TestTraceSystemInitCount") {
        void* const handle = zeph::trace::LoadDynamicLibrary(library);
        return reinterpret_cast<int (*)()>(zeph::trace::FindExport(handle, name))();
    }

    FakeDirectoryEnvironment env;

  private:
    static std::string Find() { return configdb::FindTraceSystemLibrary(*s_context); }
    static inline configdb::ConfigDbContext* s_context = nullptr;
    configdb::ConfigDbContext m_context{env};
};

// The program directory's library beats the executable directory's, which is not tried either when
// the first is found but refused: tracing then stays off for good.
TEST(TraceSystemLoader, TheProgramDirectorysLibraryEndsTheSearch) {
    const std::pair<const char*, const char*> cases[] = {{"taken", "complete"},
                                                         {"a file that is no library", nullptr},
                                                         {"without ExpDoneTraceSystem", "no_done"},
                                                         {"without ExpInitTraceSystem", "no_init"}};
    for (const auto& [name, variant] : cases) {
        SCOPED_TRACE(name);
        const bool taken = std::string_view(name) == "taken";
        LoaderScene scene;
        scene.env.SetRegistry("SOFTWARE\\TALPO Mora Compact", "ProgKey", scene.env.Make("Prog"));
        const std::string program = scene.Place("Prog", variant);
        const std::string host = scene.Place("Host", "complete");
        EXPECT_EQ(TRC_ShouldTrace(TRACE_INFO), taken);
        EXPECT_EQ(TRC_ShouldTraceCategory(TRACE_INFO, "ZEPH.Ext.PcSc"), taken);  // its own export
        EXPECT_EQ(TraceSystemLib::Instance().Load(), taken);
        EXPECT_EQ(LoaderScene::Counter(host), 0);
        if (variant != nullptr) {
            EXPECT_EQ(LoaderScene::Counter(program), taken ? 1 : 0);
        }
    }
}

// Two threads whose first lines race: the library is loaded and initialised once, no call
// reaches it before its initialisation has finished (the test library's is slow on purpose),
// and both lines arrive.
TEST(TraceSystemLoader, RacingFirstLinesLoadAndInitialiseOnce) {
    for (int round = 0; round < 5; ++round) {
        LoaderScene scene;
        const std::string library = scene.Place("Module", "complete");
        std::atomic<bool> go{false};
        auto writer = [&] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            TRC_WriteFormat(TRACE_INFO, u"ZEPH.Ext.PcSc", u"first line");
        };
        std::thread first(writer);
        std::thread second(writer);
        go = true;
        first.join();
        second.join();
        EXPECT_EQ(LoaderScene::Counter(library), 1);
        EXPECT_EQ(LoaderScene::Counter(library, "TestTraceSystemEarlyCalls"), 0);
        EXPECT_EQ(LoaderScene::Counter(library, "TestTraceSystemLines"), 2);
    }
}

}  // namespace
