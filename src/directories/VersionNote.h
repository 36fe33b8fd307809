// The version of a Linux library: an ELF note in a section of its own, carrying the same fixed
// block as a Windows version resource. The module writes it (extension/ModuleVersionNote.cpp);
// ReadFileVersion finds it in a file by walking the file's note sections.
#pragma once

#include <cstdint>

// The note's owner name, with its terminator: the name field takes 5 bytes, padded to 8.
inline constexpr char kVersionNoteName[] = "ZEPH";
inline constexpr uint32_t kVersionNoteNameSize = sizeof(kVersionNoteName);
inline constexpr uint32_t kVersionNoteType = 1;
// The signature of a valid fixed block, as in a version resource.
inline constexpr uint32_t kVersionSignature = 0xFEEF04BD;

// One note as it lies in the section: header, padded name, then the descriptor, which is the
// five fields of FixedFileVersion in their order.
struct VersionNote {
    uint32_t nameSize;
    uint32_t descriptorSize;
    uint32_t type;
    char name[8];
    uint32_t signature;
    uint32_t fileVersionMS;
    uint32_t fileVersionLS;
    uint32_t productVersionMS;
    uint32_t productVersionLS;
};
inline constexpr uint32_t kVersionNoteDescriptorSize = 5 * sizeof(uint32_t);
static_assert(sizeof(VersionNote) == 12 + 8 + kVersionNoteDescriptorSize);

// Two parts of a four-part version a.b.c.d, 16 bits each, as one doubleword: (a, b) gives the
// most significant doubleword, (c, d) the least significant one.
constexpr uint32_t VersionDoubleword(uint32_t high, uint32_t low) {
    return (high << 16) | (low & 0xFFFFu);
}

constexpr VersionNote MakeVersionNote(uint32_t fileMS, uint32_t fileLS, uint32_t productMS,
                                      uint32_t productLS) noexcept {
    return {kVersionNoteNameSize,
            kVersionNoteDescriptorSize,
            kVersionNoteType,
            {'Z', 'E', 'P', 'H', '\0', '\0', '\0', '\0'},
            kVersionSignature,
            fileMS,
            fileLS,
            productMS,
            productLS};
}

// Places the note of this library in its note section; used once per library.
#define ZEPH_VERSION_NOTE_SECTION __attribute__((section(".note.zeph.version"), used, aligned(4)))
