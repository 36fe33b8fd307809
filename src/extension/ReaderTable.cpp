#include "extension/ReaderTable.h"

#include "extension/ExtensionTrace.h"
#include "identification/ReaderKinds.h"
#include "pcsc/PcScConstants.h"

namespace {

constexpr const char16_t* kName = u"CZephExtensionPcSc::IsPresent";

// The maker's virtual readers are ignored; every reader is traced with its kind.
bool IsMakersVirtualReader(const char16_t* reader) {
    const char16_t* format = nullptr;
    if (ZEPH_Helper::VH_IsVirtualReader(reader)) {
        format = u"%s::ZEPH-Leser <%s> erkannt";
    } else if (ZEPH_Helper::VH_IsVirtualReplicator(reader)) {
        format = u"%s::ZEPH-Replikator <%s> erkannt";
    } else if (ZEPH_Helper::VH_IsVirtualMinidriver(reader)) {
        format = u"%s::ZEPH-Minitreiber <%s> erkannt";
    }
    TRC_WriteFormat(TRACE_INFO, kExtensionComponent,
                    format != nullptr ? format : u"%s::Leser <%s> erkannt", kName, reader);
    return format != nullptr;
}

}  // namespace

void FillReaderTable(const char16_t* readers, uint32_t length, ReaderTable& table) {
    table.names.assign(readers != nullptr ? readers : u"", readers != nullptr ? length : 0);
    table.names.append(2, u'\0');  // a list cut short still ends
    table.entries = {};
    table.readerCount = 0;
    for (const char16_t* name = table.names.c_str();
         *name != 0 && table.readerCount < ReaderTable::kCapacity;) {
        PcScReaderState& entry = table.entries[table.readerCount++];
        entry.szReader = name;
        const uint32_t state =
            IsMakersVirtualReader(name) ? SCARD_STATE_IGNORE : SCARD_STATE_UNAWARE;
        entry.dwCurrentState = state;
        entry.dwEventState = state;
        entry.cbAtr = SCARD_ATR_CAPACITY;
        while (*name != 0) {
            ++name;
        }
        ++name;
    }
    table.count = table.readerCount;
    if (table.readerCount < ReaderTable::kCapacity) {
        TRC_WriteFormat(TRACE_INFO, kExtensionComponent, u"%s::aktiviere Erkennung neuer Leser",
                        kName);
        PcScReaderState& notification = table.entries[table.count++];
        notification.szReader = kPnPNotificationReader;
        notification.dwCurrentState = table.readerCount << 16;
    }
}
