// Initialisation: the helper library takes the extension's component name.
#include "identification/HelperInitialize.h"

#include "HelperFixture.h"

namespace {

TEST_F(HelperTest, InitializeGivesTheHelperLibraryTheExtensionsComponent) {
    ASSERT_EQ(GetHelperLibComponent(), u"ZEPH.Help.Lib");
    EXPECT_TRUE(ZEPH_Helper::VH_Initialize());
    EXPECT_TRUE(ZEPH_Helper::VH_Initialize());
    EXPECT_EQ(GetHelperLibComponent(), u"ZEPH.Ext.PcSc");
    const std::vector<TraceLine> lines = capture.Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text.rfind("---> Beginn: ZEPH_Helper::VH_Initialize (", 0), 0u);
    EXPECT_EQ(lines[1].text.rfind("<--- Ende: ZEPH_Helper::VH_Initialize (", 0), 0u);
    for (const TraceLine& line : lines) {
        EXPECT_EQ(line, (TraceLine{TRACE_INFO, "ZEPH.Ext.PcSc", line.text}));
    }
}

}  // namespace
