// The records of a minidump file for x86-64, laid out byte for byte as debuggers read them
// (little-endian, 4-byte packing), with the stream types and constants the Linux writer uses.
#pragma once

#include <cstdint>

namespace ExceptionTranslator::minidump {

using Rva = uint32_t;  // a file offset

inline constexpr uint32_t kSignature = 0x504d444d;  // "MDMP"
inline constexpr uint32_t kVersion = 0xa793;

enum StreamType : uint32_t {
    kThreadListStream = 3,
    kModuleListStream = 4,
    kMemoryListStream = 5,
    kExceptionStream = 6,
    kSystemInfoStream = 7,
    kMiscInfoStream = 15,
    kLinuxCpuInfoStream = 0x47670003,
    kLinuxProcStatusStream = 0x47670004,
    kLinuxCmdLineStream = 0x47670006,
    kLinuxEnvironStream = 0x47670007,
    kLinuxAuxvStream = 0x47670008,
    kLinuxMapsStream = 0x47670009,
};

inline constexpr uint16_t kArchitectureAmd64 = 9;
inline constexpr uint32_t kPlatformLinux = 0x8201;

inline constexpr uint32_t kContextAmd64 = 0x00100000;
inline constexpr uint32_t kContextControl = kContextAmd64 | 0x1;
inline constexpr uint32_t kContextInteger = kContextAmd64 | 0x2;
inline constexpr uint32_t kContextSegments = kContextAmd64 | 0x4;
inline constexpr uint32_t kContextFloatingPoint = kContextAmd64 | 0x8;

inline constexpr uint32_t kMiscProcessId = 0x1;

#pragma pack(push, 4)

struct LocationDescriptor {
    uint32_t dataSize = 0;
    Rva rva = 0;
};

struct MemoryDescriptor {
    uint64_t startOfMemoryRange = 0;
    LocationDescriptor memory;
};

struct Header {
    uint32_t signature = kSignature;
    uint32_t version = kVersion;
    uint32_t numberOfStreams = 0;
    Rva streamDirectoryRva = 0;
    uint32_t checkSum = 0;
    uint32_t timeDateStamp = 0;
    uint64_t flags = 0;
};

struct Directory {
    uint32_t streamType = 0;
    LocationDescriptor location;
};

struct SystemInfo {
    uint16_t processorArchitecture = kArchitectureAmd64;
    uint16_t processorLevel = 0;
    uint16_t processorRevision = 0;
    uint8_t numberOfProcessors = 0;
    uint8_t productType = 0;
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint32_t buildNumber = 0;
    uint32_t platformId = kPlatformLinux;
    Rva csdVersionRva = 0;
    uint16_t suiteMask = 0;
    uint16_t reserved2 = 0;
    uint32_t vendorId[3] = {};  // the x86 processor information of the CPU information union
    uint32_t versionInformation = 0;
    uint32_t featureInformation = 0;
    uint32_t amdExtendedCpuFeatures = 0;
};

struct Uint128 {
    uint64_t low = 0;
    uint64_t high = 0;
};

// The FXSAVE image of the x87, MMX and SSE state.
struct XmmSaveArea {
    uint8_t bytes[512] = {};
};

struct ContextAmd64 {
    uint64_t pHome[6] = {};
    uint32_t contextFlags = 0;
    uint32_t mxCsr = 0;
    uint16_t segCs = 0;
    uint16_t segDs = 0;
    uint16_t segEs = 0;
    uint16_t segFs = 0;
    uint16_t segGs = 0;
    uint16_t segSs = 0;
    uint32_t eFlags = 0;
    uint64_t dr0 = 0, dr1 = 0, dr2 = 0, dr3 = 0, dr6 = 0, dr7 = 0;
    uint64_t rax = 0, rcx = 0, rdx = 0, rbx = 0, rsp = 0, rbp = 0, rsi = 0, rdi = 0;
    uint64_t r8 = 0, r9 = 0, r10 = 0, r11 = 0, r12 = 0, r13 = 0, r14 = 0, r15 = 0;
    uint64_t rip = 0;
    XmmSaveArea fltSave;
    Uint128 vectorRegister[26];
    uint64_t vectorControl = 0;
    uint64_t debugControl = 0;
    uint64_t lastBranchToRip = 0;
    uint64_t lastBranchFromRip = 0;
    uint64_t lastExceptionToRip = 0;
    uint64_t lastExceptionFromRip = 0;
};

struct Thread {
    uint32_t threadId = 0;
    uint32_t suspendCount = 0;
    uint32_t priorityClass = 0;
    uint32_t priority = 0;
    uint64_t teb = 0;
    MemoryDescriptor stack;
    LocationDescriptor threadContext;
};

struct Exception {
    uint32_t exceptionCode = 0;
    uint32_t exceptionFlags = 0;
    uint64_t exceptionRecord = 0;
    uint64_t exceptionAddress = 0;
    uint32_t numberParameters = 0;
    uint32_t unusedAlignment = 0;
    uint64_t exceptionInformation[15] = {};
};

struct ExceptionStream {
    uint32_t threadId = 0;
    uint32_t alignment = 0;
    Exception exceptionRecord;
    LocationDescriptor threadContext;
};

struct FixedFileInfo {
    uint32_t fields[13] = {};
};

struct Module {
    uint64_t baseOfImage = 0;
    uint32_t sizeOfImage = 0;
    uint32_t checkSum = 0;
    uint32_t timeDateStamp = 0;
    Rva moduleNameRva = 0;
    FixedFileInfo versionInfo;
    LocationDescriptor cvRecord;
    LocationDescriptor miscRecord;
    uint64_t reserved0 = 0;
    uint64_t reserved1 = 0;
};

struct MiscInfo {
    uint32_t sizeOfInfo = sizeof(MiscInfo);
    uint32_t flags1 = 0;
    uint32_t processId = 0;
    uint32_t processCreateTime = 0;
    uint32_t processUserTime = 0;
    uint32_t processKernelTime = 0;
};

#pragma pack(pop)

static_assert(sizeof(Header) == 32);
static_assert(sizeof(Directory) == 12);
static_assert(sizeof(SystemInfo) == 56);
static_assert(sizeof(ContextAmd64) == 1232);
static_assert(sizeof(Thread) == 48);
static_assert(sizeof(ExceptionStream) == 168);
static_assert(sizeof(Module) == 108);
static_assert(sizeof(MemoryDescriptor) == 16);
static_assert(sizeof(MiscInfo) == 24);

}  // namespace ExceptionTranslator::minidump
