// The Smart Token reader's firmware check: an empty reader of that model is asked for its
// firmware version through reader control commands; a reader that has none to tell is still in
// its boot loader and is switched out of it.
#include <array>

#include "extension/ExtensionTrace.h"
#include "extension/SmartTokenFirmware.h"
#include "extension/ZephExtensionPcSc.h"
#include "pcsc/PcScConstants.h"

namespace {

constexpr const char16_t* kName = u"CZephExtensionPcSc::Helper_SwitchBootLoaderForSmartToken";
constexpr uint32_t kReaderCommandFunction = 55;
constexpr size_t kResponseCapacity = 256;
constexpr std::array<uint8_t, 7> kSelectFirmwareFile = {0x00, 0xA4, 0x00, 0x00, 0x02, 0x00, 0x20};
constexpr std::array<uint8_t, 5> kReadBinary = {0x00, 0xB0, 0x00, 0x00, 0x00};
constexpr std::array<uint8_t, 9> kSwitchBootLoader = {0x80, 0xFF, 0x7F, 0x80, 0x04,
                                                      0x51, 0x3A, 0x7C, 0x29};

}  // namespace

void CZephExtensionPcSc::Helper_SwitchBootLoaderForSmartToken(const std::u16string& reader) {
    ZEPH_EXTENSION_METHOD_TRACE(trace, kName);
    if (!IsSmartTokenReader(reader)) {
        return;
    }
    TRC_WriteFormat(TRACE_INFO, kExtensionComponent, u"%s::KOBIL Smart Token gefunden", kName);
    if (!Helper_SCardConnect(reader, true)) {
        return;
    }
    // The reader is disconnected again on every path, an exception included.
    struct DisconnectOnExit {
        CZephExtensionPcSc& self;
        ~DisconnectOnExit() { self.Helper_SCardDisConnect(SCARD_LEAVE_CARD); }
    } disconnect{*this};
    CheckSmartTokenFirmware();
}

void CZephExtensionPcSc::CheckSmartTokenFirmware() {
    const uint32_t code = m_pcsc.ControlCode(kReaderCommandFunction);
    std::array<uint8_t, kResponseCapacity> response{};
    uint64_t length = response.size();
    if (Control(code, kSelectFirmwareFile.data(), kSelectFirmwareFile.size(), response.data(),
                &length) != ZEPH_STATUS_SUCCESS) {
        return;
    }
    length = response.size();
    if (Control(code, kReadBinary.data(), kReadBinary.size(), response.data(), &length) !=
        ZEPH_STATUS_SUCCESS) {
        return;
    }
    const std::span<const uint8_t> file(response.data(), std::min<size_t>(length, response.size()));
    if (const std::optional<std::string> version = FindFirmwareVersion(file)) {
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent, u"%s::gelesene Firmwareversion = <%S>",
                        kName, *version);
        return;
    }
    TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                    u"%s::Firmwareversion konnte nicht gelesen werden!", kName);
    TRC_WriteFormat(TRACE_WARNING, kExtensionComponent,
                    u"%s::Es wird nun versucht den Bootloader-Modus des Lesers umzuschalten!",
                    kName);
    length = response.size();
    const uint32_t status =
        Control(code, kSwitchBootLoader.data(), kSwitchBootLoader.size(), response.data(), &length);
    if (status != ZEPH_STATUS_SUCCESS) {
        TRC_WriteFormat(TRACE_ERROR, kExtensionComponent,
                        u"%s::Reset des Gerätes war nicht möglich!", kName);
    } else {
        TRC_WriteFormat(TRACE_DETAIL, kExtensionComponent,
                        u"%s::Reset des Gerätes war erfolgreich!", kName);
    }
}
