// The extension object over the platform's PC/SC backend and sleep, connected the way reader
// discovery connects it, for the tests against the real stack. Kept apart from pcsc-lite's
// headers, which define the WinSCard names as macros with other values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CZephExtensionPcSc;

namespace realstack {

class RealStackExtension {
  public:
    struct Answer {
        uint32_t status = 0;
        std::vector<uint8_t> data;  // the response APDU, or the ATR
    };

    RealStackExtension();
    // Releases the context (and with it the card) as the host's power-down would, then destroys
    // the object through its first slot.
    ~RealStackExtension();
    RealStackExtension(const RealStackExtension&) = delete;
    RealStackExtension& operator=(const RealStackExtension&) = delete;

    // Establishes the context and connects the reader's card exclusively; false when either
    // fails.
    bool ConnectExclusively(const std::string& reader);
    // Permits reconnections, as the host's absence check does.
    void OpenGate();

    Answer Transmit(const std::vector<uint8_t>& command);
    Answer Power(uint32_t action);

    bool HoldsContext() const;
    bool HoldsCard() const;
    bool SharesExclusively() const;
    bool UsesT1() const;

  private:
    CZephExtensionPcSc* m_extension;
};

}  // namespace realstack
