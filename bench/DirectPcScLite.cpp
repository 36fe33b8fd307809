#include "DirectPcScLite.h"

#include <PCSC/winscard.h>

DirectPcScLite::~DirectPcScLite() {
    if (m_card != 0) {
        SCardDisconnect(m_card, SCARD_LEAVE_CARD);
    }
    if (m_context != 0) {
        SCardReleaseContext(m_context);
    }
}

bool DirectPcScLite::Connect(const std::string& reader, std::string* error) {
    LONG result = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &m_context);
    if (result == SCARD_S_SUCCESS) {
        DWORD protocol = 0;
        result = SCardConnect(m_context, reader.c_str(), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1,
                              &m_card, &protocol);
    }
    if (result != SCARD_S_SUCCESS) {
        *error = std::string("pcsc-lite: ") + pcsc_stringify_error(result);
    }
    return result == SCARD_S_SUCCESS;
}

long DirectPcScLite::Transmit(const std::vector<uint8_t>& command, uint8_t* answer,
                              uint32_t* answerLength) {
    DWORD length = *answerLength;
    const LONG result = SCardTransmit(m_card, SCARD_PCI_T1, command.data(),
                                      static_cast<DWORD>(command.size()), nullptr, answer, &length);
    *answerLength = static_cast<uint32_t>(length);
    return result;
}
