#include "HostCycle.h"

#include <thread>

#include "ApduHex.h"
#include "CardStateText.h"
#include "StatusText.h"

namespace {

constexpr std::chrono::milliseconds kRetryPause{1000};
constexpr std::chrono::milliseconds kStateQueryInterval{100};
constexpr size_t kAtrCapacity = 36;
// The largest response of an extended-length command: 65536 data bytes and the status word.
constexpr size_t kResponseCapacity = 65538;
constexpr size_t kReaderNameCapacity = 512;
constexpr size_t kStatusWordLength = 2;

const ZephWChar kAnyReader[] = {0};

}  // namespace

HostCycle::HostCycle(CZephExtensionAbstract& extension, const HostOptions& options, HostLog& log,
                     StopRequest& stop)
    : m_extension(extension), m_options(options), m_log(log), m_stop(stop) {}

unsigned HostCycle::Run() {
    unsigned completed = 0;
    while (!m_stop.Requested() && (!m_options.cycles || completed < *m_options.cycles)) {
        const unsigned cycle = completed + 1;
        uint32_t protocol = 0;
        const Presence presence = WaitForCard(cycle, protocol);
        if (presence != Presence::Connected) {
            // A cancellation that was asked for ends the run; anything else is retried.
            if (!m_stop.Requested()) {
                m_log.Line("cycle %u  IsPresent will be called again in %u ms", cycle,
                           static_cast<unsigned>(kRetryPause.count()));
                m_stop.WaitFor(kRetryPause);
            }
            continue;
        }
        if (UseCardUntilRemoved(cycle, protocol)) {
            ++completed;
            m_log.Line("cycle %u  done", cycle);
        }
    }
    return completed;
}

HostCycle::Presence HostCycle::WaitForCard(unsigned cycle, uint32_t& protocol) {
    m_log.Line("cycle %u  IsPresent: waiting for a card in any reader", cycle);
    uint8_t atr[kAtrCapacity] = {};
    uint64_t atrLength = sizeof(atr);
    const uint32_t status = m_extension.IsPresent(kAnyReader, atr, &atrLength, &protocol);
    const std::string text = StatusText(status);
    if (status == ZEPH_STATUS_SUCCESS) {
        m_log.Line("cycle %u  IsPresent -> %s: card connected, protocol %s", cycle, text.c_str(),
                   ProtocolText(protocol).c_str());
        const size_t shown = atrLength < sizeof(atr) ? static_cast<size_t>(atrLength) : sizeof(atr);
        m_log.Line("cycle %u           ATR %s", cycle, ToHex({atr, shown}).c_str());
        return Presence::Connected;
    }
    if (status == ZEPH_STATUS_PENDING) {
        m_log.Line("cycle %u  IsPresent -> %s: the wait was cancelled", cycle, text.c_str());
        return Presence::Cancelled;
    }
    m_log.Line("cycle %u  IsPresent -> %s: PC/SC failed", cycle, text.c_str());
    return Presence::Failed;
}

bool HostCycle::UseCardUntilRemoved(unsigned cycle, uint32_t protocol) {
    m_log.Line("cycle %u  IsAbsent: waiting for the card's removal on a second thread", cycle);
    bool removed = false;
    std::thread absence([&] {
        const uint32_t status = m_extension.IsAbsent();
        // IsAbsent reports no reason: a stop request before its return means Cancel ended it.
        removed = !m_stop.Requested();
        m_log.Line("cycle %u  IsAbsent -> %s: %s", cycle, StatusText(status).c_str(),
                   removed ? "card removed" : "the wait was cancelled");
    });
    Exchange(cycle, protocol);
    absence.join();
    return removed;
}

void HostCycle::Exchange(unsigned cycle, uint32_t protocol) {
    ShowReaderName(cycle);
    for (const std::vector<uint8_t>& apdu : m_options.apdus) {
        if (m_stop.Requested()) {
            return;
        }
        Send(cycle, protocol, apdu);
    }
    for (unsigned query = 0; query < m_options.stateQueries; ++query) {
        if (query > 0 && m_stop.WaitFor(kStateQueryInterval)) {
            return;
        }
        QueryState(cycle);
    }
    m_log.Line("cycle %u  exchange done; IsAbsent waits for the card's removal", cycle);
}

void HostCycle::ShowReaderName(unsigned cycle) {
    std::vector<uint8_t> name(kReaderNameCapacity);
    uint64_t length = name.size();
    const uint32_t status =
        m_extension.GetAttribute(SCARD_ATTR_ZEPH_READER_ACTUAL, name.data(), &length);
    if (status != ZEPH_STATUS_SUCCESS) {
        m_log.Line("cycle %u  GetAttribute(SCARD_ATTR_ZEPH_READER_ACTUAL) -> %s", cycle,
                   StatusText(status).c_str());
        return;
    }
    name.back() = 0;  // shown up to its zero, whatever the module wrote
    m_log.Line("cycle %u  GetAttribute(SCARD_ATTR_ZEPH_READER_ACTUAL) -> %s: reader \"%s\"", cycle,
               StatusText(status).c_str(), reinterpret_cast<const char*>(name.data()));
}

void HostCycle::Send(unsigned cycle, uint32_t protocol, const std::vector<uint8_t>& apdu) {
    const ZephSendHeader header{protocol, sizeof(ZephSendHeader)};
    std::vector<uint8_t> response(kResponseCapacity);
    uint64_t length = response.size();
    const uint32_t status =
        m_extension.Transmit(&header, apdu.data(), apdu.size(), response.data(), &length);
    const std::string command = ToHex(apdu);
    if (status != ZEPH_STATUS_SUCCESS) {
        m_log.Line("cycle %u  Transmit %s -> %s", cycle, command.c_str(),
                   StatusText(status).c_str());
        return;
    }
    const std::span<const uint8_t> received(response.data(),
                                            length < response.size() ? length : response.size());
    if (received.size() < kStatusWordLength) {
        m_log.Line("cycle %u  Transmit %s -> %s: response %s (no status word)", cycle,
                   command.c_str(), StatusText(status).c_str(), ToHex(received).c_str());
        return;
    }
    const auto data = received.first(received.size() - kStatusWordLength);
    std::string detail = "SW " + ToHex(received.last(kStatusWordLength));
    if (!data.empty()) {
        detail += ", data " + ToHex(data);
        if (const std::string text = PrintableText(data); !text.empty()) {
            detail += " = \"" + text + "\"";
        }
    }
    m_log.Line("cycle %u  Transmit %s -> %s: %s", cycle, command.c_str(),
               StatusText(status).c_str(), detail.c_str());
}

void HostCycle::QueryState(unsigned cycle) {
    uint32_t state = 0;
    uint32_t protocol = 0;
    const uint32_t status = m_extension.GetState(&state, &protocol);
    m_log.Line("cycle %u  GetState -> %s: state %s, protocol %s", cycle, StatusText(status).c_str(),
               CardStateText(state).c_str(), ProtocolText(protocol).c_str());
}
