// Text the PC/SC platform allocated for the caller (a reader list, a reader name, a provider
// name). The holder frees it with the platform's own call when it goes out of scope or is reset.
#pragma once

#include <cstdint>

#include "pcsc/PcScHandles.h"

class PcScApi;

class PcScMemory {
  public:
    PcScMemory() = default;
    ~PcScMemory() { Reset(); }
    PcScMemory(const PcScMemory&) = delete;
    PcScMemory& operator=(const PcScMemory&) = delete;

    // Takes ownership of text that `owner` allocated under `context`; `length` counts UTF-16
    // units including the terminating zero(s).
    void Adopt(PcScApi* owner, ScardContext context, const char16_t* text, uint32_t length);
    // Frees the text now.
    void Reset();

    const char16_t* Text() const { return m_text; }
    uint32_t Length() const { return m_length; }
    bool Empty() const { return m_text == nullptr; }

  private:
    PcScApi* m_owner = nullptr;
    ScardContext m_context = 0;
    const char16_t* m_text = nullptr;
    uint32_t m_length = 0;
};
