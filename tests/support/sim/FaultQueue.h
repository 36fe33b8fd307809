// Results queued per kind of call: the next calls of that kind return them, one each, before the
// simulator behaves normally again. A queued SCARD_S_SUCCESS lets its call through unchanged,
// so that a failure can be placed after some good calls.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "sim/SimCall.h"

namespace sim {

class FaultQueue {
  public:
    void Inject(Call call, const std::vector<uint32_t>& results);
    // The failure the next call of this kind must return, if one is queued.
    std::optional<uint32_t> TakeFailure(Call call);
    void Clear() { m_queues.clear(); }

  private:
    std::map<Call, std::deque<uint32_t>> m_queues;
};

}  // namespace sim
