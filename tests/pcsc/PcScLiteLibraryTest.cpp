// Loading pcsc-lite at run time. (The records the module declares for it meet the installed
// pcsc-lite in every real-stack test.)
#include <PCSC/reader.h>
#include <PCSC/winscard.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "ScopedVariable.h"
#include "pcsc/pcsclite/PcScLiteAbi.h"
#include "pcsc/pcsclite/PcScLiteBackend.h"
#include "pcsc/pcsclite/PcScLiteLibrary.h"

namespace zeph::platform::pcsclite {
namespace {

// A library that is missing, or lacks pcsc-lite's entry points, leaves a backend without service.
TEST(PcScLiteLibrary, UnusableLibraryLeavesABackendThatAnswersNoService) {
    const std::pair<const char*, const char*> rows[] = {
        {"libpcsclite-not-installed.so.1", "pcsc-lite is not available"},
        {"libm.so.6", "lacks an entry point"}};
    for (const auto& [path, status] : rows) {
        const PcScLiteLibrary library(path);
        EXPECT_FALSE(library.Loaded());
        EXPECT_NE(library.Status().find(status), std::string::npos) << library.Status();
        PcScLiteBackend backend(library);
        ScardContext context = 7;
        EXPECT_EQ(backend.EstablishContext(SCARD_SCOPE_SYSTEM, &context), SCARD_E_NO_SERVICE);
        EXPECT_EQ(context, 0u);
        EXPECT_EQ(backend.IsValidContext(context), SCARD_E_INVALID_HANDLE);
        PcScMemory readers;
        EXPECT_EQ(backend.ListReaders(context, nullptr, readers), SCARD_E_INVALID_HANDLE);
        EXPECT_TRUE(readers.Empty());
    }
}

// The values no real-stack test meets (a layout or a value every call uses breaks those tests).
TEST(PcScLiteAbi, ValuesOfRareCasesAreThoseOfTheInstalledHeaders) {
    const PcScLiteLibrary library;
    const PcScLiteBackend backend(library);
    EXPECT_EQ(kLiteMaxReaders, static_cast<size_t>(PCSCLITE_MAX_READERS_CONTEXTS));
    EXPECT_EQ(kLiteMaxReaderName, static_cast<size_t>(MAX_READERNAME));
    EXPECT_EQ(kLiteMaxBuffer, static_cast<size_t>(MAX_BUFFER_SIZE));
    EXPECT_EQ(kLiteProtocolRaw, static_cast<Dword>(SCARD_PROTOCOL_RAW));
    EXPECT_EQ(kLiteStateSwallowed, static_cast<Dword>(SCARD_SWALLOWED));
    EXPECT_EQ(kLiteStateNegotiable, static_cast<Dword>(SCARD_NEGOTIABLE));
    EXPECT_EQ(backend.ControlCode(3400), static_cast<uint32_t>(SCARD_CTL_CODE(3400)));
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
