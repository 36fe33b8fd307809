#include "sim/ServiceState.h"

#include <vector>

#include "pcsc/PcScConstants.h"

namespace sim {

void ServiceState::Stop(const ContextTable& contexts, ConnectionTable& connections,
                        ScardContext survivor) {
    m_running = false;
    for (const ScardContext context : contexts.All()) {
        if (context != survivor) {
            m_deadContexts.insert(context);
        }
    }
    std::vector<ScardContext> closed;
    for (const auto& [card, connection] : connections.All()) {
        if (m_deadContexts.contains(connection.context)) {
            m_deadCards.insert(card);
            closed.push_back(connection.context);
        }
    }
    for (const ScardContext context : closed) {
        connections.CloseContext(context);
    }
}

std::optional<uint32_t> ServiceState::Refusal(Call call, ScardContext context,
                                              ScardHandle card) const {
    if (call == Call::FreeMemory || call == Call::GetCardTypeProviderName ||
        call == Call::ReleaseContext) {
        // Memory and the smart card database need no running service; a release lets the
        // application forget a context whatever became of it.
        return std::nullopt;
    }
    if (m_deadContexts.contains(context) || m_deadCards.contains(card)) {
        return SCARD_E_SERVICE_STOPPED;
    }
    if (!m_running && (call == Call::EstablishContext || context == 0) && card == 0) {
        return SCARD_E_NO_SERVICE;
    }
    return std::nullopt;
}

}  // namespace sim
