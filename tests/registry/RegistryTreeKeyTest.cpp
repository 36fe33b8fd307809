// The portable backends' own rules: key paths end at a NUL and have limits of length and depth
// (RegistryConformance holds every backend to the answers of the Windows registry).
#include "registry/RegistryTreeKey.h"

#include <gtest/gtest.h>

#include "MemoryRegistry.h"

namespace {

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
