#include "directories/posix/ElfVersionNote.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "directories/VersionNote.h"

namespace {

// Note sections of real libraries are a few hundred bytes; larger ones are not looked into.
constexpr uint64_t kMaxNoteSectionSize = uint64_t{64} * 1024;

class ElfFile {
  public:
    explicit ElfFile(const std::string& path) : m_fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ElfFile() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    ElfFile(const ElfFile&) = delete;
    ElfFile& operator=(const ElfFile&) = delete;

    bool IsOpen() const { return m_fd >= 0; }

    uint64_t Size() const {
        struct stat status {};
        return fstat(m_fd, &status) == 0 && status.st_size > 0
                   ? static_cast<uint64_t>(status.st_size)
                   : 0;
    }

    // Reads exactly `size` bytes at `offset`; false for a short read or an error.
    bool ReadAt(uint64_t offset, void* into, size_t size) const {
        auto* bytes = static_cast<char*>(into);
        while (size > 0) {
            const ssize_t got = pread(m_fd, bytes, size, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return false;
            }
            bytes += got;
            offset += static_cast<uint64_t>(got);
            size -= static_cast<size_t>(got);
        }
        return true;
    }

  private:
    int m_fd;
};

// True when [offset, offset + size) lies within a file of `fileSize` bytes.
bool Within(uint64_t offset, uint64_t size, uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

bool IsLittleEndianElf64(const Elf64_Ehdr& header) {
    return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
           header.e_ident[EI_CLASS] == ELFCLASS64 && header.e_ident[EI_DATA] == ELFDATA2LSB;
}

uint32_t Word(const std::vector<unsigned char>& bytes, size_t at) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof(value));
    return value;
}

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

FileVersionReading Malformed() {
    return {FileVersionReading::Step::NoRootBlock, ENOEXEC, {}};
}

FileVersionReading Found(const std::vector<unsigned char>& bytes, size_t descriptor) {
    FileVersionReading reading{FileVersionReading::Step::Read, 0, {}};
    reading.fixed = {Word(bytes, descriptor), Word(bytes, descriptor + 4),
                     Word(bytes, descriptor + 8), Word(bytes, descriptor + 12),
                     Word(bytes, descriptor + 16)};
    return reading;
}

// Walks the notes of one section; nullopt when the version note is not among them.
std::optional<FileVersionReading> FindInNotes(const std::vector<unsigned char>& bytes,
                                              uint64_t alignment) {
    constexpr size_t kHeader = 3 * sizeof(uint32_t);
    uint64_t at = 0;
    while (at + kHeader <= bytes.size()) {
        const uint64_t nameSize = Word(bytes, at);
        const uint64_t descriptorSize = Word(bytes, at + 4);
        const uint32_t type = Word(bytes, at + 8);
        const uint64_t descriptor = AlignUp(at + kHeader + nameSize, alignment);
        const uint64_t next = AlignUp(descriptor + descriptorSize, alignment);
        if (descriptor > bytes.size() || descriptorSize > bytes.size() - descriptor) {
            return std::nullopt;  // a note that runs past its section ends the walk
        }
        const char* name = reinterpret_cast<const char*>(bytes.data() + at + kHeader);
        if (type == kVersionNoteType && nameSize == kVersionNoteNameSize &&
            std::memcmp(name, kVersionNoteName, kVersionNoteNameSize) == 0) {
            return descriptorSize == kVersionNoteDescriptorSize ? Found(bytes, descriptor)
                                                                : Malformed();
        }
        at = next;
    }
    return std::nullopt;
}

std::optional<FileVersionReading> FindInSection(const ElfFile& file, uint64_t fileSize,
                                                const Elf64_Shdr& section) {
    if (section.sh_type != SHT_NOTE || section.sh_size > kMaxNoteSectionSize ||
        !Within(section.sh_offset, section.sh_size, fileSize)) {
        return std::nullopt;
    }
    std::vector<unsigned char> bytes(section.sh_size);
    if (!file.ReadAt(section.sh_offset, bytes.data(), bytes.size())) {
        return std::nullopt;
    }
    return FindInNotes(bytes, section.sh_addralign == 8 ? 8 : 4);
}

FileVersionReading NotFound(uint32_t error) {
    return {FileVersionReading::Step::NoSize, error, {}};
}

}  // namespace

FileVersionReading ReadElfVersionNote(const std::string& path) {
    const ElfFile file(path);
    if (!file.IsOpen()) {
        return NotFound(static_cast<uint32_t>(errno));
    }
    const uint64_t fileSize = file.Size();
    Elf64_Ehdr header{};
    if (!file.ReadAt(0, &header, sizeof(header)) || !IsLittleEndianElf64(header) ||
        header.e_shentsize < sizeof(Elf64_Shdr) ||
        !Within(header.e_shoff, uint64_t{header.e_shnum} * header.e_shentsize, fileSize)) {
        return NotFound(ENOEXEC);
    }
    for (uint64_t index = 0; index < header.e_shnum; ++index) {
        Elf64_Shdr section{};
        if (!file.ReadAt(header.e_shoff + index * header.e_shentsize, &section, sizeof(section))) {
            return NotFound(ENOEXEC);
        }
        if (auto reading = FindInSection(file, fileSize, section)) {
            return *reading;
        }
    }
    return NotFound(ENOEXEC);
}
