#include "sim/FaultQueue.h"

#include "pcsc/PcScConstants.h"

namespace sim {

void FaultQueue::Inject(Call call, const std::vector<uint32_t>& results) {
    std::deque<uint32_t>& queue = m_queues[call];
    queue.insert(queue.end(), results.begin(), results.end());
}

std::optional<uint32_t> FaultQueue::TakeFailure(Call call) {
    const auto found = m_queues.find(call);
    if (found == m_queues.end() || found->second.empty()) {
        return std::nullopt;
    }
    const uint32_t result = found->second.front();
    found->second.pop_front();
    if (result == SCARD_S_SUCCESS) {
        return std::nullopt;
    }
    return result;
}

}  // namespace sim
