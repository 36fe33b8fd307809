// The portable backends' own rules: how the 32-bit view maps onto the tree, keys that keep the
// content they were opened in, and the limits of key paths.
#include "registry/RegistryTreeKey.h"

#include <gtest/gtest.h>

#include "MemoryRegistry.h"

namespace {

TEST(RegistryViewPath, OnlySoftwareIsRedirectedInTheThirtyTwoBitView) {
    const auto in32 = [](std::u16string_view subKey) {
        return LocalMachinePathInView(subKey, RegistryView::Bit32);
    };
    EXPECT_EQ(in32(u"SOFTWARE\\Vendor"), u"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Vendor");
    EXPECT_EQ(in32(u"software\\Vendor"), u"HKEY_LOCAL_MACHINE\\software\\WOW6432Node\\Vendor");
    EXPECT_EQ(in32(u"SOFTWARE"), u"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node");
    EXPECT_EQ(in32(u"SOFTWARE\\Wow6432Node\\Vendor"),
              u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor");
    EXPECT_EQ(in32(u"SOFTWAREX\\Vendor"), u"HKEY_LOCAL_MACHINE\\SOFTWAREX\\Vendor");
    EXPECT_EQ(in32(u"SYSTEM\\Vendor"), u"HKEY_LOCAL_MACHINE\\SYSTEM\\Vendor");
    EXPECT_EQ(in32(u""), u"HKEY_LOCAL_MACHINE");
    EXPECT_EQ(LocalMachinePathInView(u"SOFTWARE\\Vendor", RegistryView::Bit64),
              u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor");
}

class MemoryRegistryTest : public ::testing::Test {
  protected:
    uint32_t Open(std::u16string_view path, RegistryKey& key) {
        return registry.OpenLocalMachineKey(path, RegistryView::Bit64, kKeyRead, key);
    }

    MemoryRegistry registry;
};

TEST_F(MemoryRegistryTest, OpenedKeyKeepsTheContentItWasOpenedIn) {
    registry.SetBinary(u"SOFTWARE\\Vendor", u"V", {1});
    RegistryKey before;
    ASSERT_EQ(Open(u"SOFTWARE\\Vendor", before), kRegistrySuccess);
    registry.SetBinary(u"SOFTWARE\\Vendor", u"V", {2, 2});
    registry.DeleteKey(u"SOFTWARE");

    RegistryValue value;
    ASSERT_EQ(before.ReadValue(u"V", value), kRegistrySuccess);
    EXPECT_EQ(value.data, std::vector<uint8_t>{1});
    RegistryKey after;
    EXPECT_EQ(Open(u"SOFTWARE\\Vendor", after), kRegistryFileNotFound);
}

TEST_F(MemoryRegistryTest, PathsEndAtNulAndMayEndWithOneBackslash) {
    registry.CreateKey(u"SOFTWARE\\Vendor");
    RegistryKey key;
    constexpr char16_t kCut[] = u"SOFTWARE\\Vendor\0\\Missing";
    EXPECT_EQ(Open(std::u16string_view(kCut, std::size(kCut) - 1), key), kRegistrySuccess);
    EXPECT_EQ(Open(u"SOFTWARE\\Vendor\\", key), kRegistrySuccess);
    EXPECT_EQ(Open(u"SOFTWARE\\\\Vendor", key), kRegistryFileNotFound);
    EXPECT_EQ(Open(u"", key), kRegistrySuccess);
}

TEST_F(MemoryRegistryTest, HiveExistsInAnEmptyRegistry) {
    RegistryKey key;
    ASSERT_EQ(Open(u"", key), kRegistrySuccess);
    uint32_t count = 7;
    EXPECT_EQ(key.SubKeyCount(count), kRegistrySuccess);
    EXPECT_EQ(count, 0u);
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
