// The exception barrier: what the line of a caught exception says for each kind of exception,
// under the boundary's component, and that the body's progress stays.
#include "tracing/ExceptionBarrier.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "CapturingTraceSystem.h"
#include "tracing/TraceLevels.h"

namespace {

TEST(ExceptionBarrier, TracesEachCaughtExceptionOnceAtLevelOneUnderItsComponent) {
    const struct {
        CaughtExceptionText text;
        std::function<void()> thrower;
        std::string line;
    } cases[] = {
        {CaughtExceptionText::Plain, [] { throw std::runtime_error("gone"); },
         "VH::Op::Exception gefangen!"},
        {CaughtExceptionText::StandardDescription, [] { throw std::runtime_error("gone"); },
         "VH::Op::Std::Exception gefangen! <gone>"},
        {CaughtExceptionText::StandardDescription, [] { throw std::runtime_error(""); },
         "VH::Op::Std::Exception gefangen! <Unknown exception>"},
        {CaughtExceptionText::StandardDescription, [] { throw 7; }, "VH::Op::Exception gefangen!"},
    };
    for (const auto& caught : cases) {
        SCOPED_TRACE(caught.line);
        const CapturingTraceSystem capture;
        int reached = 0;
        RunBehindExceptionBarrier(u"ZEPH.Test", u"VH::Op", caught.text, [&] {
            reached = 1;
            caught.thrower();
            reached = 2;
        });
        EXPECT_EQ(reached, 1);
        EXPECT_EQ(capture.Lines(),
                  (std::vector<TraceLine>{{TRACE_EXCEPTION, "ZEPH.Test", caught.line}}));
    }
}

}  // namespace
