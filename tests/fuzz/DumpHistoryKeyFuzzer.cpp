// libFuzzer target of the dump history's sort key. The input is a file name, one byte a unit.
// Besides crashes and undefined behaviour, it checks the key against sscanf and snprintf of the
// C library on the 19 characters after "_AppCrashDump_".
#include <algorithm>
#include <cstdio>
#include <string>

#include "FuzzCheck.h"
#include "crash/DumpHistoryKey.h"

namespace {

constexpr std::string_view kMarker = "_AppCrashDump_";

// The key as the C library reads and writes the date.
std::string ReferenceKey(std::string_view date) {
    int field[6] = {};  // day, month, year, hour, minute, second
    std::sscanf(std::string(date).c_str(), "%2d.%2d.%4d.%2d.%2d.%2d", &field[0], &field[1],
                &field[2], &field[3], &field[4], &field[5]);
    char key[64];
    std::snprintf(key, sizeof key, "%02d%02d%02d%02d%02d%02d", field[2], field[1], field[0],
                  field[3], field[4], field[5]);
    return key;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    const std::u16string key =
        ExceptionTranslator::DumpHistoryKey(std::u16string(data, data + size));
    const size_t marker = name.find(kMarker);
    const std::string reference = marker == std::string_view::npos
                                      ? ""
                                      : ReferenceKey(name.substr(marker + kMarker.size(), 19));
    Check(std::equal(key.begin(), key.end(), reference.begin(), reference.end()));
    return 0;
}
