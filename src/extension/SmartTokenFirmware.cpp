#include "extension/SmartTokenFirmware.h"

#include <algorithm>

namespace {
constexpr std::u16string_view kSmartTokenPrefix = u"KOBIL Systems Smart Token";
constexpr std::u16string_view kSmartTokenEnd = u"KOBIL Systems Smart Token XX";
constexpr uint8_t kFirmwareVersionTag = 0x0F;
}  // namespace

bool IsSmartTokenReader(std::u16string_view reader) {
    return reader > kSmartTokenPrefix && reader < kSmartTokenEnd;
}

std::optional<std::string> FindFirmwareVersion(std::span<const uint8_t> file) {
    const auto tag = std::find(file.begin(), file.end(), kFirmwareVersionTag);
    if (tag == file.end()) {
        return std::nullopt;
    }
    const size_t textStart = static_cast<size_t>(tag - file.begin()) + 2;
    if (textStart >= file.size()) {
        return std::string();
    }
    const auto begin = file.begin() + static_cast<std::ptrdiff_t>(textStart);
    const auto end = std::find(begin, file.end(), uint8_t{0});
    return std::string(begin, end);
}
