// File version 1.2.3.4, product version 5.6.7.8: the test library's version note.
#include "directories/VersionNote.h"

namespace {

ZEPH_VERSION_NOTE_SECTION const VersionNote kLibraryVersionNote =
    MakeVersionNote(VersionDoubleword(1, 2), VersionDoubleword(3, 4), VersionDoubleword(5, 6),
                    VersionDoubleword(7, 8));

}  // namespace
