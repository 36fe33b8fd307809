#include "tracing/TraceSinks.h"

#include <gtest/gtest.h>

#include "CapturingTraceSystem.h"
#include "tracing/TraceLevels.h"

namespace {

class TraceSinksTest : public ::testing::Test {
  protected:
    void TearDown() override { SetHelperLibComponent(kHelperLibDefaultTraceComponent); }

    CapturingTraceSystem m_capture;
};

TEST_F(TraceSinksTest, ExtensionSinkWritesErrorsAtLevel2AndOthersAt16) {
    ExtensionTraceSink(true, u"CDB_GetLogDir: fehlgeschlagen");
    ExtensionTraceSink(false, u"CDB_GetLogDir: ok");
    EXPECT_EQ(
        m_capture.Lines(),
        (std::vector<TraceLine>{{TRACE_ERROR, "ZEPH.Ext.PcSc", "CDB_GetLogDir: fehlgeschlagen"},
                                {TRACE_INFO, "ZEPH.Ext.PcSc", "CDB_GetLogDir: ok"}}));
}

TEST_F(TraceSinksTest, HelperLibSinkWritesUnderItsCurrentComponent) {
    HelperLibTraceSink(true, u"before");
    SetHelperLibComponent(kExtensionTraceComponent);
    HelperLibTraceSink(false, u"after");
    EXPECT_EQ(m_capture.Lines(), (std::vector<TraceLine>{{TRACE_ERROR, "ZEPH.Help.Lib", "before"},
                                                         {TRACE_INFO, "ZEPH.Ext.PcSc", "after"}}));
}

TEST_F(TraceSinksTest, HelperLibComponentIsCutAt63CharactersAndIgnoresNull) {
    SetHelperLibComponent(std::u16string(100, u'h').c_str());
    EXPECT_EQ(GetHelperLibComponent(), std::u16string(63, u'h'));
    SetHelperLibComponent(nullptr);
    EXPECT_EQ(GetHelperLibComponent(), std::u16string(63, u'h'));
}

}  // namespace
