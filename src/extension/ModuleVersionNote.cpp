// The module's version on Linux, in its ELF version note: file and product version are both the
// project's version, major.minor.patch.tweak, as CMake passes it.
#include "directories/VersionNote.h"

namespace {

constexpr uint32_t kMostSignificant = VersionDoubleword(ZEPH_VERSION_MAJOR, ZEPH_VERSION_MINOR);
constexpr uint32_t kLeastSignificant = VersionDoubleword(ZEPH_VERSION_PATCH, ZEPH_VERSION_TWEAK);

ZEPH_VERSION_NOTE_SECTION const VersionNote kModuleVersionNote =
    MakeVersionNote(kMostSignificant, kLeastSignificant, kMostSignificant, kLeastSignificant);

}  // namespace
