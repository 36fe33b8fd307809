// What a simulated card answers to APDUs. The simulator calls it under its own lock, so a
// responder must not call back into the simulator.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <vector>

namespace sim {

class CardResponder {
  public:
    virtual ~CardResponder() = default;
    // The response APDU, status word included.
    virtual std::vector<uint8_t> Respond(std::span<const uint8_t> command) = 0;
    // The card was powered up or reset: forget any selection or session state.
    virtual void Reset() {}
};

using ApduFunction = std::function<std::vector<uint8_t>(std::span<const uint8_t> command)>;

// A responder without state of its own.
std::shared_ptr<CardResponder> RespondWith(ApduFunction respond);

// The project's virtual card: SELECT by file id (00 A4 00 0C 02 3F 00 -> 90 00, unknown file ->
// 6A 82), READ BINARY from `files` (file id -> contents), everything else `otherStatus`.
std::shared_ptr<CardResponder> VirtualCardResponder(
    const std::map<uint16_t, std::vector<uint8_t>>& files = {}, uint16_t otherStatus = 0x6D00);

}  // namespace sim
