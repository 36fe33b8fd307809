// Reader attributes: read and written on the connected reader, and the module's own attribute
// with the physical reader's name.
#include <cstring>

#include "extension/ExtensionTrace.h"
#include "extension/HostLength.h"
#include "extension/ZephExtensionPcSc.h"
#include "pcsc/LogNames.h"
#include "pcsc/PcScConstants.h"
#include "platform/HostMemory.h"
#include "platform/TextConversion.h"

uint32_t CZephExtensionPcSc::GetAttribute(uint32_t id, uint8_t* buffer, uint64_t* length) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::GetAttribute";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_NOT_SUPPORTED;
    RunGuarded(kName, [&] {
        if (buffer == nullptr || length == nullptr) {
            TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                            u"%s::Fehler Datenpuffer oder Länge == NULL", kName);
            status = ZEPH_E_POINTER;
            return;
        }
        if (m_hCard.load() == 0 && id != SCARD_ATTR_ZEPH_READER_ACTUAL) {
            TRC_WriteFormat(
                TRACE_WARNING, kExtensionComponent,
                u"%s::Attribut <%s> soll gelesen werden, aber es ist keine Karte gesteckt!", kName,
                AttributeName(id));
            return;
        }
        TRC_WriteFormat(TRACE_INFO, kExtensionComponent,
                        u"%s::Attribut <%s> soll gelesen werden...", kName, AttributeName(id));
        AccessLock access(m_csWinScardAccess);
        status = id == SCARD_ATTR_ZEPH_READER_ACTUAL ? CopyReaderName(buffer, *length)
                                                     : ReadReaderAttribute(id, buffer, *length);
    });
    return status;
}

// A capacity beyond what PC/SC can express is offered as the largest count it can. The host's
// length is updated in place, also after a failure (a buffer too small learns the size needed).
// A card that another thread disconnected meanwhile is not asked.
uint32_t CZephExtensionPcSc::ReadReaderAttribute(uint32_t id, uint8_t* buffer, uint64_t& length) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::GetAttribute";
    constexpr uint64_t kLargestCount = 0xFFFFFFFFu;
    const ScardHandle card = m_hCard.load();
    if (card == 0) {
        return ZEPH_STATUS_NOT_SUPPORTED;
    }
    const uint64_t capacity = length;
    uint32_t count = static_cast<uint32_t>(capacity < kLargestCount ? capacity : kLargestCount);
    const uint32_t result = m_pcsc.GetAttrib(card, id, buffer, &count);
    length = LengthForHost(result, count, capacity, capacity);
    if (result != SCARD_S_SUCCESS) {
        TRC_WriteFormat(TRACE_ERROR, kExtensionComponent, u"%s::SCardGetAttrib lieferte Fehler %s!",
                        kName, ErrorName(result));
        return ZEPH_STATUS_NOT_SUPPORTED;
    }
    TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::SCardGetAttrib lieferte <%d> Bytes",
                    kName, static_cast<uint32_t>(length));
    return ZEPH_STATUS_SUCCESS;
}

// The physical reader's name as narrow text with its terminating zero. The capacity is measured
// against the converted bytes, which outnumber the characters for names beyond ASCII.
uint32_t CZephExtensionPcSc::CopyReaderName(uint8_t* buffer, uint64_t& length) {
    const std::string name = zeph::platform::WideToNarrow(m_strReaderName);
    if (length < name.size() + 1) {
        return ZEPH_STATUS_NOT_SUPPORTED;
    }
    zeph::platform::CopyToHostMemory(buffer, name.c_str(), name.size() + 1);
    length = name.size() + 1;
    TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                    u"%s::SCARD_ATTR_ZEPH_READER_ACTUAL lieferte <%S>",
                    u"CZephExtensionPcSc::GetAttribute", name);
    return ZEPH_STATUS_SUCCESS;
}

uint32_t CZephExtensionPcSc::SetAttribute(uint32_t id, const uint8_t* buffer, uint32_t length) {
    static constexpr const char16_t* kName = u"CZephExtensionPcSc::SetAttribute";
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    uint32_t status = ZEPH_STATUS_NOT_SUPPORTED;
    RunGuarded(kName, [&] {
        if (buffer == nullptr) {
            TRC_WriteFormat(TRACE_WARNING, kExtensionComponent, u"%s::Fehler Datenpuffer == NULL",
                            kName);
            status = ZEPH_E_POINTER;
            return;
        }
        TRC_WriteFormat(TRACE_INFO, kExtensionComponent,
                        u"%s::Attribut %s soll geschrieben werden...", kName, AttributeName(id));
        AccessLock access(m_csWinScardAccess);
        if (m_hCard.load() == 0) {
            TRC_WriteFormat(
                TRACE_WARNING, kExtensionComponent,
                u"%s::Attribut <%s> soll geschrieben werden, aber es ist keine Karte gesteckt",
                kName, AttributeName(id));
            return;
        }
        const uint32_t result = m_pcsc.SetAttrib(m_hCard.load(), id, buffer, length);
        if (result != SCARD_S_SUCCESS) {
            TRC_WriteFormat(TRACE_ERROR, kExtensionComponent, u"%s::SetAttrib lieferte Fehler %s!",
                            kName, ErrorName(result));
            return;
        }
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::SetAttrib OK", kName);
        status = ZEPH_STATUS_SUCCESS;
    });
    return status;
}
