// A card as the simulator holds it while it sits in a reader.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "pcsc/PcScConstants.h"
#include "sim/CardResponder.h"

namespace sim {

struct SimCard {
    std::vector<uint8_t> atr{};
    // The protocols the card offers; a connection gets T=1 when both sides offer it, else T=0.
    uint32_t protocols = SCARD_PROTOCOL_T1;
    // Null: the virtual card with no elementary files.
    std::shared_ptr<CardResponder> responder{};
    // A card that does not answer the reset: reported SCARD_STATE_MUTE, connections refused.
    bool mute = false;
};

}  // namespace sim
