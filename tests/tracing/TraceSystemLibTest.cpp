#include "tracing/TraceSystemLib.h"

#include <gtest/gtest.h>

#include "CapturingTraceSystem.h"
#include "tracing/TraceLevels.h"

namespace {

TEST(TraceSystemLibTest, WithoutALibraryLoadingFailsAndQueriesAreFalse) {
    TraceSystemLib& traceSystem = TraceSystemLib::Instance();
    {
        CapturingTraceSystem capture;
        EXPECT_TRUE(traceSystem.ShouldTrace(TRACE_INFO));
    }  // removing the test trace system restores the state after static initialisation
    EXPECT_FALSE(traceSystem.ShouldTrace(TRACE_INFO));
    EXPECT_FALSE(traceSystem.ShouldTraceCategory(TRACE_INFO, "ZEPH.Ext.PcSc"));
    EXPECT_FALSE(traceSystem.Load());
}

TEST(TraceSystemLibTest, NullOrEmptyCategoryOrNullTextNeverReachesTheTraceSystem) {
    CapturingTraceSystem capture;
    TraceSystemLib& traceSystem = TraceSystemLib::Instance();
    EXPECT_FALSE(traceSystem.ShouldTraceCategory(TRACE_INFO, nullptr));
    EXPECT_FALSE(traceSystem.ShouldTraceCategory(TRACE_INFO, ""));
    traceSystem.Write(TRACE_INFO, nullptr, "text");
    traceSystem.Write(TRACE_INFO, "", "text");
    traceSystem.Write(TRACE_INFO, "Category", nullptr);
    EXPECT_EQ(capture.ShouldTraceCategoryCalls(), 0u);
    EXPECT_EQ(capture.WriteCalls(), 0u);
}

}  // namespace
