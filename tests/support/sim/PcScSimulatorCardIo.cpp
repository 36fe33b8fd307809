// The simulator's calls on an open card handle: status, APDUs, reader control and attributes.
#include <algorithm>

#include "PcScSimulator.h"

namespace {

// Bytes into a caller's buffer whose capacity `length` holds; a null buffer asks for the length.
uint32_t CopyOut(const std::vector<uint8_t>& bytes, uint8_t* buffer, uint32_t& length) {
    const bool fits = length >= bytes.size();
    if (buffer != nullptr && fits) {
        std::copy(bytes.begin(), bytes.end(), buffer);
    }
    length = static_cast<uint32_t>(bytes.size());
    return buffer == nullptr || fits ? SCARD_S_SUCCESS : SCARD_E_INSUFFICIENT_BUFFER;
}

}  // namespace

uint32_t PcScSimulator::Status(ScardHandle card, PcScMemory& readerName, uint32_t* state,
                               uint32_t* protocol, uint8_t* atr, uint32_t* atrLength) {
    readerName.Reset();
    // The card state ordinal and protocol; absent after the card's removal.
    uint32_t cardState = SCARD_ABSENT;
    uint32_t cardProtocol = SCARD_PROTOCOL_UNDEFINED;
    const uint32_t result = PerformOnCard(Call::Status, card, [&](auto& connection, auto& reader) {
        if (atrLength != nullptr) {
            if (const uint32_t copied = CopyOut(
                    reader.card ? reader.card->atr : std::vector<uint8_t>(), atr, *atrLength);
                copied != 0) {
                return copied;
            }
        }
        if (reader.card) {
            cardState = connection.protocol != 0 ? SCARD_SPECIFIC : SCARD_POWERED;
        }
        cardProtocol = connection.protocol;
        Hand(readerName, connection.context, reader.name + u'\0' + u'\0');
        return SCARD_S_SUCCESS;
    });
    if (result == SCARD_S_SUCCESS || result == SCARD_W_REMOVED_CARD) {
        if (state != nullptr) {
            *state = cardState;
        }
        if (protocol != nullptr) {
            *protocol = cardProtocol;
        }
    }
    return result;
}

uint32_t PcScSimulator::Transmit(ScardHandle card, const PcScIoRequest* sendPci,
                                 const uint8_t* send, uint32_t sendLength,
                                 PcScIoRequest* receivePci, uint8_t* receive,
                                 uint32_t* receiveLength) {
    return PerformOnCard(Call::Transmit, card, [&](auto& connection, auto& reader) {
        if (!reader.card) {
            return SCARD_W_REMOVED_CARD;
        }
        if ((sendPci->dwProtocol & connection.protocol) == 0) {
            return SCARD_E_PROTO_MISMATCH;
        }
        // The card runs the command even when its answer does not fit.
        const std::vector<uint8_t> response = reader.card->responder.Respond({send, sendLength});
        if (const uint32_t copied = CopyOut(response, receive, *receiveLength); copied != 0) {
            return copied;
        }
        if (receivePci != nullptr) {
            *receivePci = {connection.protocol, sizeof(PcScIoRequest)};
        }
        return SCARD_S_SUCCESS;
    });
}

uint32_t PcScSimulator::Control(ScardHandle card, uint32_t code, const uint8_t* input,
                                uint32_t inputLength, uint8_t* output, uint32_t outputCapacity,
                                uint32_t* returned) {
    return PerformOnCard(Call::Control, card, [&](auto&, auto& reader) {
        *returned = 0;
        if (!reader.control) {
            return SCARD_E_UNSUPPORTED_FEATURE;
        }
        const sim::ControlAnswer answer = reader.control(code, {input, inputLength});
        if (answer.result != SCARD_S_SUCCESS) {
            return answer.result;
        }
        const size_t capacity = output != nullptr ? outputCapacity : 0;
        if (answer.output.size() > capacity) {
            return SCARD_E_INSUFFICIENT_BUFFER;
        }
        std::copy(answer.output.begin(), answer.output.end(), output);
        *returned = static_cast<uint32_t>(answer.output.size());
        return SCARD_S_SUCCESS;
    });
}

uint32_t PcScSimulator::GetAttrib(ScardHandle card, uint32_t id, uint8_t* buffer,
                                  uint32_t* length) {
    return PerformOnCard(Call::GetAttrib, card, [&](auto&, auto& reader) {
        const auto found = reader.attributes.find(id);
        return found != reader.attributes.end() ? CopyOut(found->second, buffer, *length)
                                                : SCARD_E_UNSUPPORTED_FEATURE;
    });
}

uint32_t PcScSimulator::SetAttrib(ScardHandle card, uint32_t id, const uint8_t* buffer,
                                  uint32_t length) {
    return PerformOnCard(Call::SetAttrib, card, [&](auto&, auto& reader) {
        const auto found = reader.attributes.find(id);
        if (found == reader.attributes.end()) {
            return SCARD_E_UNSUPPORTED_FEATURE;
        }
        found->second.assign(buffer, buffer + length);
        return SCARD_S_SUCCESS;
    });
}
