#include "PcScLiteStandIn.h"

#include <cstring>

namespace standin {

using namespace zeph::platform::pcsclite;

StandInState g_state;

namespace {

constexpr char kReaders[] = "Stand-in Reader\0";
constexpr Long kCommError = static_cast<Long>(SCARD_F_COMM_ERROR);

Long Establish(Dword, const void*, const void*, LiteContext* context) {
    *context = 1;
    return 0;
}
Long Release(LiteContext) {
    const std::lock_guard lock(g_state.mutex);
    g_state.releasedWhileListing |= g_state.listing;
    return 0;
}
// Blocks until the test lets it return. The backend lists into a buffer of its own: memory that
// pcsc-lite allocates could not be freed once the context is released.
Long ListReaders(LiteContext, const char*, char* readers, Dword* length) {
    std::unique_lock lock(g_state.mutex);
    g_state.listing = true;
    g_state.changed.notify_all();
    g_state.changed.wait(lock, [] { return g_state.listMayReturn; });
    g_state.listing = false;
    if (readers == nullptr || *length == kLiteAutoAllocate || *length < sizeof(kReaders)) {
        return static_cast<Long>(SCARD_E_INVALID_PARAMETER);
    }
    std::memcpy(readers, kReaders, sizeof(kReaders));
    *length = sizeof(kReaders);
    return 0;
}
Long Connect(LiteContext, const char*, Dword, Dword, LiteHandle* card, Dword* protocol) {
    std::unique_lock lock(g_state.mutex);
    g_state.connecting = g_state.connectBlocks;
    g_state.changed.notify_all();
    g_state.changed.wait(lock, [] { return !g_state.connecting || g_state.listMayReturn; });
    *card = 1;
    *protocol = SCARD_PROTOCOL_T1;
    return 0;
}
// pcsc-lite no longer knows the card: the backend must forget it too.
Long ForgottenDisconnect(LiteHandle, Dword) {
    return static_cast<Long>(SCARD_E_INVALID_HANDLE);
}
// A card whose ATR is kAtrLength bytes of kAttributeByte.
Long Status(LiteHandle, char* name, Dword* nameLength, Dword* state, Dword* protocol,
            unsigned char* atr, Dword* atrLength) {
    std::memcpy(name, kReaders, sizeof(kReaders));
    *nameLength = sizeof(kReaders);
    *state = kLiteStateSpecific;
    *protocol = SCARD_PROTOCOL_T1;
    std::memset(atr, kAttributeByte, kAtrLength);
    *atrLength = kAtrLength;
    return 0;
}
Long FailedTransmit(LiteHandle, const LiteIoRequest*, const unsigned char*, Dword, LiteIoRequest*,
                    unsigned char*, Dword* length) {
    *length = kRubbish;
    return kCommError;
}
Long FailedControl(LiteHandle, Dword, const void*, Dword, void*, Dword, Dword* returned) {
    *returned = kRubbish;
    return kCommError;
}
// As pcsc-lite: a buffer above its largest is refused, a smaller one than the attribute is told
// the attribute's length. The attribute 1 fills pcsc-lite's largest buffer, any other fails.
Long GetAttrib(LiteHandle, Dword attribute, unsigned char* buffer, Dword* length) {
    if (attribute != 1) {
        *length = kRubbish;
        return kCommError;
    }
    if (*length > kLiteMaxBuffer) {
        return static_cast<Long>(SCARD_E_INSUFFICIENT_BUFFER);
    }
    const bool fits = *length >= kLiteMaxBuffer;
    *length = kLiteMaxBuffer;
    if (!fits) {
        return static_cast<Long>(SCARD_E_INSUFFICIENT_BUFFER);
    }
    std::memset(buffer, kAttributeByte, kLiteMaxBuffer);
    return 0;
}

}  // namespace

LiteFunctions StandIns() {
    LiteFunctions functions{};
    functions.establishContext = &Establish;
    functions.releaseContext = &Release;
    functions.listReaders = &ListReaders;
    functions.connect = &Connect;
    functions.disconnect = &ForgottenDisconnect;
    functions.status = &Status;
    functions.transmit = &FailedTransmit;
    functions.control = &FailedControl;
    functions.getAttrib = &GetAttrib;
    return functions;
}

}  // namespace standin
