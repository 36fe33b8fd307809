// What a simulated reader answers to SCardControl: a reader with firmware data, one stuck in a
// boot loader, one that refuses a code. Called under the simulator's lock.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace sim {

struct ControlAnswer {
    uint32_t result = 0;
    std::vector<uint8_t> output;
};

using ControlResponder =
    std::function<ControlAnswer(uint32_t code, std::span<const uint8_t> input)>;

}  // namespace sim
