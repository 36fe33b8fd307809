// libFuzzer target of the Smart Token's firmware check: the version in the file the reader
// returns (the input), and the reader name test (the input as UTF-16LE units). Besides crashes
// and reads past the file, it checks the version against the rule of the header: no version
// without a tag byte, else the bytes from two after the first tag to the first zero or the end.
#include <algorithm>
#include <string>

#include "FuzzCheck.h"
#include "extension/SmartTokenFirmware.h"

namespace {

void CheckVersion(std::span<const uint8_t> file) {
    const std::optional<std::string> version = FindFirmwareVersion(file);
    const auto tag = std::find(file.begin(), file.end(), uint8_t{0x0F});
    Check(version.has_value() == (tag != file.end()));
    if (!version) {
        return;
    }
    const size_t start = std::min(static_cast<size_t>(tag - file.begin()) + 2, file.size());
    size_t end = start;
    while (end < file.size() && file[end] != 0) {
        ++end;
    }
    Check(*version == std::string(file.begin() + static_cast<std::ptrdiff_t>(start),
                                  file.begin() + static_cast<std::ptrdiff_t>(end)));
}

// A reader of the model is named by the model's prefix and something more.
void CheckReaderName(const uint8_t* data, size_t size) {
    std::u16string name(size / 2, u'\0');
    for (size_t i = 0; i < name.size(); ++i) {
        name[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    }
    constexpr std::u16string_view kPrefix = u"KOBIL Systems Smart Token";
    if (IsSmartTokenReader(name)) {
        Check(name.size() > kPrefix.size() && name.starts_with(kPrefix));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckVersion({data, size});
    CheckReaderName(data, size);
    return 0;
}
