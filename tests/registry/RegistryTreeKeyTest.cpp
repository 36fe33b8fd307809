// The portable backends' own rules: how the 32-bit view maps onto the tree (RegistryConformance
// holds the 64-bit view and the plain redirection to every backend) and the limits of key paths.
#include "registry/RegistryTreeKey.h"

#include <gtest/gtest.h>

#include "MemoryRegistry.h"

namespace {

TEST(RegistryViewPath, OnlySoftwareIsRedirectedInTheThirtyTwoBitView) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"SOFTWARE\\Vendor", u"SOFTWARE\\WOW6432Node\\Vendor"},
        {u"software\\Vendor", u"software\\WOW6432Node\\Vendor"},
        {u"SOFTWARE", u"SOFTWARE\\WOW6432Node"},
        {u"SOFTWARE\\Wow6432Node\\Vendor", u"SOFTWARE\\Wow6432Node\\Vendor"},
        {u"SOFTWAREX\\Vendor", u"SOFTWAREX\\Vendor"},
    };
    for (const auto& [subKey, path] : cases) {
        EXPECT_EQ(LocalMachinePathInView(subKey, RegistryView::Bit32),
                  std::u16string(u"HKEY_LOCAL_MACHINE\\").append(path));
    }
    EXPECT_EQ(LocalMachinePathInView(u"", RegistryView::Bit32), u"HKEY_LOCAL_MACHINE");
}

TEST(RegistryTreeKey, PathsEndAtNulAndMayEndWithOneBackslashAndTheHiveAlwaysExists) {
    MemoryRegistry registry;
    RegistryKey key;
    const auto open = [&](std::u16string_view path) {
        return registry.OpenLocalMachineKey(path, RegistryView::Bit64, kKeyRead, key);
    };
    uint32_t count = 7;
    ASSERT_EQ(open(u""), kRegistrySuccess);
    EXPECT_EQ(key.SubKeyCount(count), kRegistrySuccess);
    EXPECT_EQ(count, 0u);
    registry.CreateKey(u"SOFTWARE\\Vendor");
    constexpr char16_t kCut[] = u"SOFTWARE\\Vendor\0\\Missing";
    EXPECT_EQ(open(std::u16string_view(kCut, std::size(kCut) - 1)), kRegistrySuccess);
    EXPECT_EQ(open(u"SOFTWARE\\Vendor\\"), kRegistrySuccess);
    EXPECT_EQ(open(u"SOFTWARE\\\\Vendor"), kRegistryFileNotFound);
}

TEST(RegistryPathLimits, KeyNamesOfMoreThan255CharactersAndPathsDeeperThan512AreInvalid) {
    EXPECT_TRUE(SplitRegistryPath(std::u16string(255, u'k')));
    EXPECT_FALSE(SplitRegistryPath(std::u16string(256, u'k')));
    std::u16string deep = u"HKEY_LOCAL_MACHINE";
    for (int level = 0; level < 512; ++level) {
        deep += u"\\k";
    }
    EXPECT_TRUE(SplitRegistryPath(deep));
    EXPECT_FALSE(SplitRegistryPath(deep + u"\\k"));
    RegistryTree tree;
    EXPECT_EQ(tree.CreateKey(deep + u"\\k"), nullptr);
    EXPECT_TRUE(tree.Empty());
}

}  // namespace
