#include "Utf8Text.h"

#include "platform/TextConversion.h"

namespace zeph::tools {

std::string PlatformTextToUtf8(std::string_view text) {
#ifdef _WIN32
    return zeph::platform::WideToUtf8(zeph::platform::NarrowToWide(text));
#else
    return std::string(text);
#endif
}

}  // namespace zeph::tools
