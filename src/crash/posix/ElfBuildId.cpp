#include "crash/posix/ElfBuildId.h"

#include <elf.h>

#include <cstring>

namespace ExceptionTranslator::minidump {
namespace {

constexpr uint32_t kMaxBuildId = 64;

bool Readable(uint64_t address, uint64_t size, const Mapping* mappings, size_t count) noexcept {
    const Mapping* mapping = FindMapping(mappings, count, address);
    return mapping != nullptr && mapping->readable && size <= mapping->end - address;
}

template <typename Record>
const Record* RecordAt(uint64_t address, const Mapping* mappings, size_t count) noexcept {
    return Readable(address, sizeof(Record), mappings, count)
               ? reinterpret_cast<const Record*>(address)
               : nullptr;
}

uint64_t Padded(uint64_t size) noexcept {
    return (size + 3) & ~uint64_t{3};
}

// The build id among the notes of [address, address + size).
BuildId FindInNotes(uint64_t address, uint64_t size) noexcept {
    const uint64_t end = address + size;
    while (end - address >= sizeof(Elf64_Nhdr)) {
        const auto* note = reinterpret_cast<const Elf64_Nhdr*>(address);
        const uint64_t name = address + sizeof(Elf64_Nhdr);
        const uint64_t description = name + Padded(note->n_namesz);
        if (description > end || Padded(note->n_descsz) > end - description) {
            break;
        }
        if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4 &&
            std::memcmp(reinterpret_cast<const void*>(name), "GNU", 4) == 0 &&
            note->n_descsz <= kMaxBuildId) {
            return {reinterpret_cast<const uint8_t*>(description), note->n_descsz};
        }
        address = description + Padded(note->n_descsz);
    }
    return {};
}

// The difference between the module's addresses in memory and those its headers give.
uint64_t LoadBias(uint64_t base, const Elf64_Phdr* headers, size_t headerCount) noexcept {
    for (size_t i = 0; i < headerCount; ++i) {
        if (headers[i].p_type == PT_LOAD) {
            return base - (headers[i].p_vaddr - headers[i].p_offset);
        }
    }
    return base;
}

}  // namespace

BuildId FindBuildId(uint64_t base, const Mapping* mappings, size_t count) noexcept {
    const auto* header = RecordAt<Elf64_Ehdr>(base, mappings, count);
    if (header == nullptr || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 ||
        header->e_ident[EI_CLASS] != ELFCLASS64 || header->e_phentsize != sizeof(Elf64_Phdr) ||
        !Readable(base + header->e_phoff, header->e_phnum * sizeof(Elf64_Phdr), mappings, count)) {
        return {};
    }
    const auto* headers = reinterpret_cast<const Elf64_Phdr*>(base + header->e_phoff);
    const uint64_t bias = LoadBias(base, headers, header->e_phnum);
    for (size_t i = 0; i < header->e_phnum; ++i) {
        const Elf64_Phdr& notes = headers[i];
        if (notes.p_type != PT_NOTE ||
            !Readable(bias + notes.p_vaddr, notes.p_memsz, mappings, count)) {
            continue;
        }
        const BuildId id = FindInNotes(bias + notes.p_vaddr, notes.p_memsz);
        if (id.size > 0) {
            return id;
        }
    }
    return {};
}

}  // namespace ExceptionTranslator::minidump
