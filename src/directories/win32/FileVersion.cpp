#include "directories/win32/FileVersion.h"

#include <vector>

#include <windows.h>

#include "platform/TextConversion.h"

namespace {

FileVersionReading Failed(FileVersionReading::Step step) {
    return {step, GetLastError(), {}};
}

}  // namespace

// The buffer is twice the size the system names: the resource is read into it with that size,
// and some systems have written beyond the size they named.
FileVersionReading ReadVersionResource(const std::u16string& path) {
    const wchar_t* name = zeph::platform::AsWChar(path.c_str());
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(name, &ignored);
    if (size == 0) {
        return Failed(FileVersionReading::Step::NoSize);
    }
    std::vector<unsigned char> buffer(size_t{size} * 2);
    if (GetFileVersionInfoW(name, 0, size, buffer.data()) == 0) {
        return Failed(FileVersionReading::Step::ReadFailed);
    }
    void* block = nullptr;
    UINT length = 0;
    if (VerQueryValueW(buffer.data(), L"\\", &block, &length) == 0 || block == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return Failed(FileVersionReading::Step::NoRootBlock);
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
    FileVersionReading reading{FileVersionReading::Step::Read, 0, {}};
    reading.fixed = {fixed->dwSignature, fixed->dwFileVersionMS, fixed->dwFileVersionLS,
                     fixed->dwProductVersionMS, fixed->dwProductVersionLS};
    return reading;
}
