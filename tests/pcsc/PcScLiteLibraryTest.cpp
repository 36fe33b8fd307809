#include "pcsc/pcsclite/PcScLiteLibrary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "pcsc/PcScConstants.h"
#include "pcsc/pcsclite/PcScLiteBackend.h"

namespace zeph::platform::pcsclite {
namespace {

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

TEST(PcScLiteLibrary, LoadingTurnsOffPcscLitesWaitOnSharingConflicts) {
    unsetenv("PCSCLITE_NO_BLOCKING");
    const PcScLiteLibrary library;
    ASSERT_TRUE(library.Loaded()) << library.Status();
    EXPECT_NE(std::getenv("PCSCLITE_NO_BLOCKING"), nullptr);
}

// The smart card database is the registry's, so provider names need neither pcscd nor a context.
TEST(PcScLiteBackend, CardTypeProvidersNeedNeitherPcscdNorAContext) {
    setenv("ZEPH_REGISTRY_FILE", "/nonexistent/zeph-registry.reg", 1);
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
