// A sleep that does not sleep: it records the pauses asked for, so tests of retries and back-off
// check the waits without spending them.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/Sleeper.h"

class RecordingSleeper final : public Sleeper {
  public:
    void SleepMs(uint32_t milliseconds) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pauses.push_back(milliseconds);
    }
    std::vector<uint32_t> Pauses() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_pauses;
    }

  private:
    mutable std::mutex m_mutex;
    std::vector<uint32_t> m_pauses;
};
