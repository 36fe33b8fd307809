// APDU exchange and reader control codes on the connected card.
#include <limits>

#include "extension/ExtensionTrace.h"
#include "extension/HostLength.h"
#include "pcsc/LogNames.h"
#include "extension/ZephExtensionPcSc.h"
#include "pcsc/PcScConstants.h"

namespace {

constexpr int kTransmitAttempts = 3;
constexpr uint32_t kRetryStepMs = 100;
constexpr uint64_t kLargestCount = std::numeric_limits<uint32_t>::max();

// A buffer capacity beyond what PC/SC can express is offered as the largest count it can: PC/SC
// then never writes past the host's buffer.
uint32_t CapacityForPcSc(uint64_t capacity) {
    return static_cast<uint32_t>(capacity < kLargestCount ? capacity : kLargestCount);
}

// Buffers the reader could be told to read or write through a null pointer, and an input longer
// than PC/SC can carry, are refused before PC/SC is called: a failed send on pcsc-lite leaves the
// connection to the service out of step for the rest of the context's life.
bool ControlArgumentsValid(const uint8_t* input, uint64_t inputLength, const uint8_t* output,
                           uint64_t capacity) {
    return (input != nullptr || inputLength == 0) && (output != nullptr || capacity == 0) &&
           inputLength <= kLargestCount;
}

// The length as a signed 32-bit number for the trace line's "%d".
int32_t TraceCount(uint64_t count) {
    return static_cast<int32_t>(static_cast<uint32_t>(count));
}

}  // namespace

uint32_t CZephExtensionPcSc::Transmit(const ZephSendHeader* sendHeader, const uint8_t* send,
                                      uint64_t sendLength, uint8_t* receive,
                                      uint64_t* receiveLength) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Transmit";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_NO_MEDIA;
    RunGuarded(kName, [&] {
        if (m_hCard.load() == 0 || sendHeader == nullptr || send == nullptr || receive == nullptr ||
            receiveLength == nullptr) {
            return;
        }
        // A command longer than PC/SC can carry would be cut short silently: refuse it.
        if (sendLength > kLargestCount) {
            TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                            u"%s::SCardTransmit lieferte Fehler %s!", kName,
                            ErrorName(SCARD_E_INVALID_PARAMETER));
            status = SCARD_E_INVALID_PARAMETER;
            return;
        }
        AccessLock access(m_csWinScardAccess);
        if (m_hCard.load() == 0) {
            return;  // disconnected by another thread while this one waited for the lock
        }
        uint32_t received = 0;
        const uint64_t capacity = *receiveLength;
        const uint32_t result =
            TransmitWithRetries(*sendHeader, send, static_cast<uint32_t>(sendLength), receive,
                                CapacityForPcSc(capacity), received);
        *receiveLength = LengthForHost(result, received, capacity, 0);
        received = static_cast<uint32_t>(*receiveLength);
        TRC_WriteFormat(TRACE_INFO, kExtensionComponent,
                        u"%s::Input fuer Transmit <%d> Bytes - Outputbuffer <%d> Bytes", kName,
                        TraceCount(sendLength), TraceCount(received));
        if (result != SCARD_S_SUCCESS) {
            TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                            u"%s::SCardTransmit lieferte Fehler %s!", kName, ErrorName(result));
            status = result;
            return;
        }
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::Output <%d> Bytes netto", kName,
                        TraceCount(received));
        status = ZEPH_STATUS_SUCCESS;
    });
    return status;
}

// Up to three attempts; a device input/output error is retried after 300, 200 and 100 ms. Every
// attempt offers the receive buffer's full capacity: a failed attempt may have changed the count.
uint32_t CZephExtensionPcSc::TransmitWithRetries(const ZephSendHeader& sendHeader,
                                                 const uint8_t* send, uint32_t sendLength,
                                                 uint8_t* receive, uint32_t capacity,
                                                 uint32_t& received) {
    const PcScIoRequest sendPci{sendHeader.dwProtocol, sendHeader.cbPciLength};
    uint32_t result = SCARD_S_SUCCESS;
    for (int remaining = kTransmitAttempts; remaining > 0; --remaining) {
        PcScIoRequest receivePci = sendPci;
        received = capacity;
        ++m_dwTransmitCount;
        result = m_pcsc.Transmit(m_hCard.load(), &sendPci, send, sendLength, &receivePci, receive,
                                 &received);
        if (result != ERROR_IO_DEVICE_RESULT) {
            break;
        }
        const uint32_t waitMs = static_cast<uint32_t>(remaining) * kRetryStepMs;
        TRC_WriteFormat(
            TRACE_ERROR, kExtensionComponent,
            u"%s::Fehler %s. Es wird %d msec gewartet und dann der Transmit erneut versucht...",
            u"CZephExtensionPcSc::Transmit", ErrorName(result), waitMs);
        m_sleeper.SleepMs(waitMs);
    }
    return result;
}

uint32_t CZephExtensionPcSc::Control(uint32_t code, const uint8_t* input, uint64_t inputLength,
                                     uint8_t* output, uint64_t* outputLength) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::Control";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_NOT_SUPPORTED;
    RunGuarded(kName, [&] {
        if (m_hCard.load() == 0) {
            return;
        }
        AccessLock access(m_csWinScardAccess);
        if (m_hCard.load() == 0) {
            return;  // disconnected by another thread while this one waited for the lock
        }
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                        u"%s::Input fuer Control <%d> Bytes - Outputbuffer <%d> Bytes", kName,
                        TraceCount(inputLength),
                        outputLength != nullptr ? TraceCount(*outputLength) : -1);
        uint32_t returned = 0;
        ++m_dwControlCount;
        const uint64_t capacity = outputLength != nullptr ? *outputLength : 0;
        const uint32_t result =
            ControlArgumentsValid(input, inputLength, output, capacity)
                ? m_pcsc.Control(m_hCard.load(), code, input, static_cast<uint32_t>(inputLength),
                                 output, CapacityForPcSc(capacity), &returned)
                : SCARD_E_INVALID_PARAMETER;
        returned = static_cast<uint32_t>(LengthForHost(result, returned, capacity, 0));
        if (result != SCARD_S_SUCCESS) {
            returned = 0;
            TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                            u"%s::SCardControl lieferte Fehler %s!", kName, ErrorName(result));
        } else {
            TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                            u"%s::SCardControl lieferte <%d> Bytes netto", kName, returned);
        }
        if (outputLength != nullptr) {
            *outputLength = returned;
        }
        status = result == SCARD_S_SUCCESS ? ZEPH_STATUS_SUCCESS : result;
    });
    return status;
}
