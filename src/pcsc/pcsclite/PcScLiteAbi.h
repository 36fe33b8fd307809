// The binary interface of pcsc-lite's client library (libpcsclite.so.1) as this module calls it.
// Declared here rather than taken from <PCSC/winscard.h>: the library is loaded at run time, so
// the module builds and starts on machines without pcsc-lite, and pcsc-lite's macros (which
// reuse the WinSCard names with other values) stay out of the module's code.
//
// On LP64 Linux pcsc-lite's DWORD is `unsigned long` and LONG is `long` (8 bytes each), its
// contexts and card handles are LONG, and its reader state record is 80 bytes with a 33-byte ATR.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zeph::platform::pcsclite {

using Dword = unsigned long;
using Long = long;
using LiteContext = long;
using LiteHandle = long;

constexpr size_t kLiteAtrCapacity = 33;
// pcsc-lite 1.9.9 knows at most this many readers, and a status change takes at most this
// many entries.
constexpr size_t kLiteMaxReaders = 16;
// Reader names take at most this many bytes with their terminating zero.
constexpr size_t kLiteMaxReaderName = 128;
// pcsc-lite refuses a larger buffer for an attribute.
constexpr size_t kLiteMaxBuffer = 264;
constexpr Dword kLiteAutoAllocate = static_cast<Dword>(-1);
constexpr Dword kLiteInfinite = 0xFFFFFFFF;

// Values where pcsc-lite differs from WinSCard.
constexpr Dword kLiteProtocolRaw = 0x0004;
constexpr uint32_t kLiteUnsupportedFeature = 0x8010001F;
constexpr uint32_t kLiteControlCodeBase = 0x42000000;

// Card states of SCardStatus: a bit field in pcsc-lite.
constexpr Dword kLiteStateUnknown = 0x0001;
constexpr Dword kLiteStateAbsent = 0x0002;
constexpr Dword kLiteStatePresent = 0x0004;
constexpr Dword kLiteStateSwallowed = 0x0008;
constexpr Dword kLiteStatePowered = 0x0010;
constexpr Dword kLiteStateNegotiable = 0x0020;
constexpr Dword kLiteStateSpecific = 0x0040;

struct LiteReaderState {
    const char* szReader;
    void* pvUserData;
    Dword dwCurrentState;
    Dword dwEventState;
    Dword cbAtr;
    unsigned char rgbAtr[kLiteAtrCapacity];
};

struct LiteIoRequest {
    Dword dwProtocol;
    Dword cbPciLength;
};

#if defined(__x86_64__) || defined(__aarch64__)
static_assert(sizeof(Dword) == 8 && sizeof(Long) == 8, "pcsc-lite uses long on LP64");
static_assert(sizeof(LiteReaderState) == 80, "pcsc-lite SCARD_READERSTATE is 80 bytes on LP64");
static_assert(offsetof(LiteReaderState, rgbAtr) == 40, "ATR follows the three DWORDs");
static_assert(sizeof(LiteIoRequest) == 16, "pcsc-lite SCARD_IO_REQUEST is 16 bytes on LP64");
#endif

// The entry points, with pcsc-lite's signatures.
struct LiteFunctions {
    Long (*establishContext)(Dword scope, const void* reserved1, const void* reserved2,
                             LiteContext* context);
    Long (*releaseContext)(LiteContext context);
    Long (*isValidContext)(LiteContext context);
    Long (*cancel)(LiteContext context);
    Long (*listReaders)(LiteContext context, const char* groups, char* readers, Dword* length);
    Long (*freeMemory)(LiteContext context, const void* memory);
    Long (*getStatusChange)(LiteContext context, Dword timeout, LiteReaderState* states,
                            Dword count);
    Long (*connect)(LiteContext context, const char* reader, Dword shareMode, Dword protocols,
                    LiteHandle* card, Dword* activeProtocol);
    Long (*reconnect)(LiteHandle card, Dword shareMode, Dword protocols, Dword initialization,
                      Dword* activeProtocol);
    Long (*disconnect)(LiteHandle card, Dword disposition);
    Long (*status)(LiteHandle card, char* readerNames, Dword* readerLength, Dword* state,
                   Dword* protocol, unsigned char* atr, Dword* atrLength);
    Long (*transmit)(LiteHandle card, const LiteIoRequest* sendPci, const unsigned char* send,
                     Dword sendLength, LiteIoRequest* receivePci, unsigned char* receive,
                     Dword* receiveLength);
    Long (*control)(LiteHandle card, Dword code, const void* input, Dword inputLength, void* output,
                    Dword outputCapacity, Dword* returned);
    Long (*getAttrib)(LiteHandle card, Dword id, unsigned char* buffer, Dword* length);
    Long (*setAttrib)(LiteHandle card, Dword id, const unsigned char* buffer, Dword length);
};

}  // namespace zeph::platform::pcsclite
