// The module declares pcsc-lite's binary interface itself (it loads the library at run time);
// this compares those declarations with the headers of the installed pcsc-lite.
#include <PCSC/reader.h>
#include <PCSC/winscard.h>
#include <gtest/gtest.h>

#include <cstddef>

#include "pcsc/pcsclite/PcScLiteAbi.h"
#include "pcsc/pcsclite/PcScLiteBackend.h"
#include "pcsc/pcsclite/PcScLiteLibrary.h"

namespace zeph::platform::pcsclite {
namespace {

TEST(PcScLiteAbi, RecordsHaveTheLayoutOfTheInstalledHeaders) {
    EXPECT_EQ(sizeof(Dword), sizeof(DWORD));
    EXPECT_EQ(sizeof(Long), sizeof(LONG));
    EXPECT_EQ(sizeof(LiteContext), sizeof(SCARDCONTEXT));
    EXPECT_EQ(sizeof(LiteHandle), sizeof(SCARDHANDLE));
    EXPECT_EQ(sizeof(LiteReaderState), sizeof(SCARD_READERSTATE));
    EXPECT_EQ(offsetof(LiteReaderState, dwCurrentState),
              offsetof(SCARD_READERSTATE, dwCurrentState));
    EXPECT_EQ(offsetof(LiteReaderState, dwEventState), offsetof(SCARD_READERSTATE, dwEventState));
    EXPECT_EQ(offsetof(LiteReaderState, cbAtr), offsetof(SCARD_READERSTATE, cbAtr));
    EXPECT_EQ(offsetof(LiteReaderState, rgbAtr), offsetof(SCARD_READERSTATE, rgbAtr));
    EXPECT_EQ(kLiteAtrCapacity, static_cast<size_t>(MAX_ATR_SIZE));
    EXPECT_EQ(sizeof(LiteIoRequest), sizeof(SCARD_IO_REQUEST));
}

TEST(PcScLiteAbi, ValuesAreThoseOfTheInstalledHeaders) {
    EXPECT_EQ(kLiteAutoAllocate, SCARD_AUTOALLOCATE);
    EXPECT_EQ(kLiteInfinite, static_cast<Dword>(INFINITE));
    EXPECT_EQ(kLiteMaxReaders, static_cast<size_t>(PCSCLITE_MAX_READERS_CONTEXTS));
    EXPECT_EQ(kLiteMaxReaderName, static_cast<size_t>(MAX_READERNAME));
    EXPECT_EQ(kLiteMaxBuffer, static_cast<size_t>(MAX_BUFFER_SIZE));
    EXPECT_EQ(kLiteProtocolRaw, static_cast<Dword>(SCARD_PROTOCOL_RAW));
    EXPECT_EQ(kLiteUnsupportedFeature, static_cast<uint32_t>(SCARD_E_UNSUPPORTED_FEATURE));
    EXPECT_EQ(kLiteControlCodeBase + 1, static_cast<uint32_t>(SCARD_CTL_CODE(1)));
    EXPECT_EQ(kLiteStateUnknown, static_cast<Dword>(SCARD_UNKNOWN));
    EXPECT_EQ(kLiteStateAbsent, static_cast<Dword>(SCARD_ABSENT));
    EXPECT_EQ(kLiteStatePresent, static_cast<Dword>(SCARD_PRESENT));
    EXPECT_EQ(kLiteStateSwallowed, static_cast<Dword>(SCARD_SWALLOWED));
    EXPECT_EQ(kLiteStatePowered, static_cast<Dword>(SCARD_POWERED));
    EXPECT_EQ(kLiteStateNegotiable, static_cast<Dword>(SCARD_NEGOTIABLE));
    EXPECT_EQ(kLiteStateSpecific, static_cast<Dword>(SCARD_SPECIFIC));
}

TEST(PcScLiteAbi, ControlCodeIsPcscLitesCtlCode) {
    const PcScLiteLibrary library;
    PcScLiteBackend backend(library);
    EXPECT_EQ(backend.ControlCode(1), static_cast<uint32_t>(SCARD_CTL_CODE(1)));
    EXPECT_EQ(backend.ControlCode(3400), static_cast<uint32_t>(SCARD_CTL_CODE(3400)));
}

}  // namespace
}  // namespace zeph::platform::pcsclite
