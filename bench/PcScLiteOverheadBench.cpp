// The pcsc-lite backend's own cost per Transmit, without pcscd: the backend over stand-in entry
// points beside the same stand-in called directly. The real stack's noise (two cores shared by
// pcscd, the card and the benchmark) is far larger than this difference; the figure tells what
// share of a real round trip (PcScLiteBench.cpp) the backend takes.
#include <benchmark/benchmark.h>

#include "pcsc/PcScConstants.h"
#include "pcsc/pcsclite/PcScLiteBackend.h"
#include "pcsc/pcsclite/PcScLiteLibrary.h"

namespace {

using zeph::platform::pcsclite::Dword;
using zeph::platform::pcsclite::LiteContext;
using zeph::platform::pcsclite::LiteFunctions;
using zeph::platform::pcsclite::LiteHandle;
using zeph::platform::pcsclite::LiteIoRequest;
using zeph::platform::pcsclite::Long;
using zeph::platform::pcsclite::PcScLiteBackend;
using zeph::platform::pcsclite::PcScLiteLibrary;

const uint8_t kSelectMasterFile[] = {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};

Long StubEstablish(Dword, const void*, const void*, LiteContext* context) {
    *context = 1;
    return 0;
}
Long StubRelease(LiteContext) {
    return 0;
}
Long StubConnect(LiteContext, const char*, Dword, Dword, LiteHandle* card, Dword* protocol) {
    *card = 1;
    *protocol = 2;
    return 0;
}
Long StubDisconnect(LiteHandle, Dword) {
    return 0;
}
[[gnu::noinline]] Long StubTransmit(LiteHandle, const LiteIoRequest*, const unsigned char*, Dword,
                                    LiteIoRequest*, unsigned char* receive, Dword* length) {
    receive[0] = 0x90;
    receive[1] = 0x00;
    *length = 2;
    return 0;
}

LiteFunctions StubFunctions() {
    LiteFunctions functions{};
    functions.establishContext = &StubEstablish;
    functions.releaseContext = &StubRelease;
    functions.connect = &StubConnect;
    functions.disconnect = &StubDisconnect;
    functions.transmit = &StubTransmit;
    return functions;
}

void TransmitCost_StandInCalledDirectly(benchmark::State& state) {
    auto transmit = &StubTransmit;
    const LiteIoRequest pci{2, sizeof(LiteIoRequest)};
    unsigned char answer[258];
    for (auto _ : state) {
        benchmark::DoNotOptimize(transmit);
        Dword length = sizeof(answer);
        benchmark::DoNotOptimize(transmit(1, &pci, kSelectMasterFile, sizeof(kSelectMasterFile),
                                          nullptr, answer, &length));
        benchmark::DoNotOptimize(answer);
    }
}
BENCHMARK(TransmitCost_StandInCalledDirectly);

void TransmitCost_BackendOverStandIn(benchmark::State& state) {
    const PcScLiteLibrary library(StubFunctions());
    PcScLiteBackend backend(library);
    ScardContext context = 0;
    ScardHandle card = 0;
    uint32_t protocol = 0;
    backend.EstablishContext(SCARD_SCOPE_SYSTEM, &context);
    backend.Connect(context, u"Stand-in", SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, &card, &protocol);
    const PcScIoRequest pci{SCARD_PROTOCOL_T1, sizeof(PcScIoRequest)};
    uint8_t answer[258];
    for (auto _ : state) {
        uint32_t length = sizeof(answer);
        benchmark::DoNotOptimize(backend.Transmit(
            card, &pci, kSelectMasterFile, sizeof(kSelectMasterFile), nullptr, answer, &length));
        benchmark::DoNotOptimize(answer);
    }
    backend.Disconnect(card, SCARD_LEAVE_CARD);
    backend.ReleaseContext(context);
}
BENCHMARK(TransmitCost_BackendOverStandIn);

}  // namespace
