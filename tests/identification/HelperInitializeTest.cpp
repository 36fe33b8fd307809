// Initialisation: the helper library takes the extension's component name for its traces.
#include "identification/HelperInitialize.h"

#include "HelperFixture.h"

namespace {

TEST_F(HelperTest, InitializeGivesTheHelperLibraryTheExtensionsComponent) {
    ASSERT_EQ(GetHelperLibComponent(), u"ZEPH.Help.Lib");
    EXPECT_TRUE(ZEPH_Helper::VH_Initialize());
    EXPECT_TRUE(ZEPH_Helper::VH_Initialize());
    EXPECT_EQ(GetHelperLibComponent(), u"ZEPH.Ext.PcSc");
    ASSERT_FALSE(capture.Lines().empty());
    for (const TraceLine& line : capture.Lines()) {
        EXPECT_EQ(line.category, "ZEPH.Ext.PcSc");
    }
}

}  // namespace
