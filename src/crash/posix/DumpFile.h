// The dump file as the writer fills it: records appended one after the other at 4-byte aligned
// offsets, memory of the process copied straight from its addresses, and the header patched in
// at the end. Plain system calls only; the first failed write fails the whole file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crash/posix/MiniDumpFormat.h"

namespace ExceptionTranslator::minidump {

class DumpFile {
  public:
    explicit DumpFile(int fd) noexcept : fd_(fd) {}

    bool Ok() const noexcept { return ok_; }

    // Appends the bytes and returns where they start.
    LocationDescriptor Append(const void* data, size_t size) noexcept;
    template <typename Record>
    LocationDescriptor AppendRecord(const Record& record) noexcept {
        return Append(&record, sizeof(Record));
    }

    // Appends `size` bytes of this process's memory from `address`; pages that cannot be read
    // come out as zeros.
    LocationDescriptor AppendMemory(uint64_t address, size_t size) noexcept;

    // Overwrites bytes written before (the header and the directory).
    void WriteAt(Rva rva, const void* data, size_t size) noexcept;

  private:
    void Write(const void* data, size_t size) noexcept;
    void WriteZeros(size_t size) noexcept;
    void Align() noexcept;

    int fd_;
    uint64_t offset_ = 0;
    bool ok_ = true;
};

}  // namespace ExceptionTranslator::minidump
