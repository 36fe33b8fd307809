// The calls of the PC/SC seam, as the simulator's journal and fault queue name them.
#pragma once

#include <cstdint>

namespace sim {

enum class Call : uint8_t {
    EstablishContext,
    ReleaseContext,
    IsValidContext,
    Cancel,
    ListReaders,
    GetStatusChange,
    Connect,
    Reconnect,
    Disconnect,
    Status,
    Transmit,
    Control,
    GetAttrib,
    SetAttrib,
    LocateCardsByATR,
    GetCardTypeProviderName,
    FreeMemory,
};

// The call's name as the platform spells it, e.g. "Connect"; for test failure messages.
const char* CallName(Call call);

}  // namespace sim
