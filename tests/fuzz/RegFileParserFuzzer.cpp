// libFuzzer target of the registry file parser. Besides crashes, undefined behaviour and leaks,
// it checks what the parser promises: a malformed file yields a diagnostic and nothing of its
// content, and whatever the parser kept can be opened and read through the registry seam.
#include <memory>

#include "FuzzCheck.h"
#include "registry/RegFileParser.h"
#include "registry/RegistryTreeKey.h"

namespace {

constexpr RegFileLimits kLimits{64u << 10, 4u << 10, 16u << 10};

// Opens every key below HKEY_LOCAL_MACHINE down to a small depth and reads every value the
// enumeration meets through the seam.
void ReadAll(const std::shared_ptr<const RegistryTree>& tree, const std::u16string& path,
             int depth) {
    std::unique_ptr<RegistryKeyBackend> backend;
    if (OpenRegistryTreeKey(tree, path, RegistryView::Bit64, kKeyRead, backend) != 0) {
        return;
    }
    const RegistryKey key(std::move(backend));
    uint32_t count = 0;
    Check(key.SubKeyCount(count) == kRegistrySuccess);
    for (uint32_t i = 0; i < count && depth > 0; ++i) {
        std::u16string name;
        Check(key.EnumSubKey(i, name) == kRegistrySuccess);
        ReadAll(tree, path.empty() ? name : path + u"\\" + name, depth - 1);
    }
    RegistryValue value;
    const uint32_t result = key.ReadValue(u"", value);
    Check(result == kRegistrySuccess || result == kRegistryFileNotFound);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    RegFileParseResult result = ParseRegFile(content, "fuzz.reg", kLimits);
    if (result.diagnostic) {
        Check(result.tree.Empty());
        Check(!result.diagnostic->what.empty());
        return 0;
    }
    const auto tree = std::make_shared<const RegistryTree>(std::move(result.tree));
    ReadAll(tree, u"", 4);
    return 0;
}
