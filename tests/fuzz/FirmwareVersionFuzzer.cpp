// libFuzzer target of the Smart Token's firmware check: the version in the file the reader
// returns (the input). Besides crashes and reads past the file, it checks the version against the
// rule of the header: no version without a tag byte, else the bytes from two after the first tag
// to the first zero or the end.
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
    const auto start = tag + std::min<std::ptrdiff_t>(2, file.end() - tag);
    Check(*version == std::string(start, std::find(start, file.end(), uint8_t{0})));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckVersion({data, size});
    return 0;
}
