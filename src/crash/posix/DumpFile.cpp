#include "crash/posix/DumpFile.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace ExceptionTranslator::minidump {
namespace {

constexpr size_t kPageSize = 4096;
constexpr uint8_t kZeros[kPageSize] = {};

// write(2) straight to the kernel: memory of the faulting process may lie next to poisoned bytes
// of a sanitizer, whose wrapper of write would report them instead of copying.
ssize_t RawWrite(int fd, const void* data, size_t size) noexcept {
    return syscall(SYS_write, fd, data, size);
}

}  // namespace

LocationDescriptor DumpFile::Append(const void* data, size_t size) noexcept {
    Align();
    const LocationDescriptor location{static_cast<uint32_t>(size), static_cast<Rva>(offset_)};
    Write(data, size);
    return location;
}

LocationDescriptor DumpFile::AppendMemory(uint64_t address, size_t size) noexcept {
    Align();
    const LocationDescriptor location{static_cast<uint32_t>(size), static_cast<Rva>(offset_)};
    while (ok_ && size > 0) {
        const size_t toPageEnd = kPageSize - address % kPageSize;
        const size_t chunk = size < toPageEnd ? size : toPageEnd;
        const ssize_t written = RawWrite(fd_, reinterpret_cast<const void*>(address), chunk);
        if (written > 0) {
            offset_ += static_cast<uint64_t>(written);
            address += static_cast<uint64_t>(written);
            size -= static_cast<size_t>(written);
        } else if (written < 0 && errno == EFAULT) {
            WriteZeros(chunk);
            address += chunk;
            size -= chunk;
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else {
            ok_ = false;
        }
    }
    return location;
}

void DumpFile::WriteAt(Rva rva, const void* data, size_t size) noexcept {
    if (!ok_ || lseek(fd_, static_cast<off_t>(rva), SEEK_SET) < 0) {
        ok_ = false;
        return;
    }
    const uint64_t end = offset_;
    offset_ = rva;
    Write(data, size);
    if (ok_ && lseek(fd_, static_cast<off_t>(end), SEEK_SET) < 0) {
        ok_ = false;
    }
    offset_ = end;
}

void DumpFile::Write(const void* data, size_t size) noexcept {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (ok_ && size > 0) {
        const ssize_t written = RawWrite(fd_, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            ok_ = false;
            return;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
        offset_ += static_cast<uint64_t>(written);
    }
    if (offset_ > std::numeric_limits<Rva>::max()) {
        ok_ = false;  // beyond what a 32-bit offset reaches
    }
}

void DumpFile::WriteZeros(size_t size) noexcept {
    while (ok_ && size > 0) {
        const size_t chunk = size < kPageSize ? size : kPageSize;
        Write(kZeros, chunk);
        size -= chunk;
    }
}

void DumpFile::Align() noexcept {
    WriteZeros((4 - offset_ % 4) % 4);
}

}  // namespace ExceptionTranslator::minidump
