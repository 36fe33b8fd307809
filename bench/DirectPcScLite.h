// A card connection made with pcsc-lite directly, the baseline of the backend benchmark. Kept
// apart because pcsc-lite's headers define the WinSCard names as macros with other values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class DirectPcScLite {
  public:
    DirectPcScLite() = default;
    ~DirectPcScLite();
    DirectPcScLite(const DirectPcScLite&) = delete;
    DirectPcScLite& operator=(const DirectPcScLite&) = delete;

    // Connects to the reader's card in shared mode with T=1; false with `error` set otherwise.
    bool Connect(const std::string& reader, std::string* error);
    // One command and its answer; the pcsc-lite result.
    long Transmit(const std::vector<uint8_t>& command, uint8_t* answer, uint32_t* answerLength);

  private:
    long m_context = 0;
    long m_card = 0;
};
