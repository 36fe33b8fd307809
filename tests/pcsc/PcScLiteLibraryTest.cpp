// Loading pcsc-lite at run time, and the binary interface the module declares for it compared
// with the headers of the installed pcsc-lite.
#include <PCSC/reader.h>
#include <PCSC/winscard.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <string>

#include "ScopedVariable.h"
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

TEST(PcScLiteLibrary, MissingLibraryLeavesABackendThatAnswersNoService) {
    const PcScLiteLibrary library("libpcsclite-not-installed.so.1");
    EXPECT_FALSE(library.Loaded());
    EXPECT_NE(library.Status().find("pcsc-lite is not available"), std::string::npos)
        << library.Status();

    PcScLiteBackend backend(library);
    ScardContext context = 7;
    EXPECT_EQ(backend.EstablishContext(SCARD_SCOPE_SYSTEM, &context), SCARD_E_NO_SERVICE);
    EXPECT_EQ(context, 0u);
    EXPECT_EQ(backend.IsValidContext(context), SCARD_E_INVALID_HANDLE);
    PcScMemory readers;
    EXPECT_EQ(backend.ListReaders(context, nullptr, readers), SCARD_E_INVALID_HANDLE);
    EXPECT_TRUE(readers.Empty());
}

TEST(PcScLiteLibrary, LibraryWithoutTheEntryPointsIsNotUsed) {
    const PcScLiteLibrary library("libm.so.6");
    EXPECT_FALSE(library.Loaded());
    EXPECT_NE(library.Status().find("lacks an entry point"), std::string::npos) << library.Status();
}

// The smart card database is the registry's, so provider names need neither pcscd nor a context.
TEST(PcScLiteBackend, CardTypeProvidersNeedNeitherPcscdNorAContext) {
    const ScopedVariable registry("ZEPH_REGISTRY_FILE", "/nonexistent/zeph-registry.reg");
    const PcScLiteLibrary library("libpcsclite-not-installed.so.1");
    PcScLiteBackend backend(library);
    PcScMemory provider;
    EXPECT_EQ(backend.GetCardTypeProviderName(0, u"No Such Card Type", 2, provider),
              SCARD_E_UNKNOWN_CARD);
    EXPECT_TRUE(provider.Empty());
    EXPECT_EQ(backend.GetCardTypeProviderName(0x1234, u"No Such Card Type", 2, provider),
              SCARD_E_INVALID_HANDLE);
}

}  // namespace
}  // namespace zeph::platform::pcsclite
