#include "pcsc/pcsclite/PcScLiteConversion.h"

#include <algorithm>
#include <cstring>

#include "pcsc/CardStateBits.h"
#include "pcsc/PcScConstants.h"
#include "platform/TextConversion.h"

namespace zeph::platform::pcsclite {

uint32_t ToWinResult(Long result) {
    const auto code = static_cast<uint32_t>(static_cast<unsigned long>(result));
    return code == kLiteUnsupportedFeature ? SCARD_E_UNSUPPORTED_FEATURE : code;
}

uint32_t ToWinTransmitResult(uint32_t result, uint32_t protocol, Dword received) {
    constexpr Dword kStatusWordLength = 2;
    const bool statusWordProtocol = (protocol & (SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1)) != 0;
    const bool noResponse =
        result == SCARD_S_SUCCESS && statusWordProtocol && received < kStatusWordLength;
    return result == SCARD_E_NOT_TRANSACTED || noResponse ? ERROR_IO_DEVICE_RESULT : result;
}

Dword ToLiteProtocols(uint32_t protocols) {
    Dword lite = protocols & ~SCARD_PROTOCOL_RAW;
    if ((protocols & SCARD_PROTOCOL_RAW) != 0) {
        lite |= kLiteProtocolRaw;
    }
    return lite;
}

uint32_t FromLiteProtocol(Dword protocol) {
    auto win = static_cast<uint32_t>(protocol & ~kLiteProtocolRaw);
    if ((protocol & kLiteProtocolRaw) != 0) {
        win |= SCARD_PROTOCOL_RAW;
    }
    return win;
}

uint32_t CardStateOrdinal(Dword liteState, Dword liteProtocol) {
    return OrdinalOfStateBits(static_cast<uint32_t>(liteState),
                              static_cast<uint32_t>(liteProtocol));
}

uint32_t BoundedLength(Dword reported, Dword capacity) {
    return static_cast<uint32_t>(std::min(reported, capacity));
}

LiteIoRequest ToLiteIoRequest(const PcScIoRequest& request) {
    return {ToLiteProtocols(request.dwProtocol), sizeof(LiteIoRequest)};
}

PcScIoRequest FromLiteIoRequest(const LiteIoRequest& request) {
    return {FromLiteProtocol(request.dwProtocol), sizeof(PcScIoRequest)};
}

std::vector<std::string> SplitMultiString(const char* multi, size_t length) {
    std::vector<std::string> names;
    size_t pos = 0;
    while (multi != nullptr && pos < length && multi[pos] != '\0') {
        const size_t size = strnlen(multi + pos, length - pos);
        names.emplace_back(multi + pos, size);
        pos += size + 1;
    }
    return names;
}

std::u16string ToWideMultiString(const std::vector<std::string>& names) {
    std::u16string multi;
    for (const std::string& name : names) {
        multi += NarrowToWide(name);
        multi.push_back(u'\0');
    }
    multi.push_back(u'\0');
    if (names.empty()) {
        multi.push_back(u'\0');
    }
    return multi;
}

bool IsPnPNotificationName(std::string_view name) {
    constexpr std::string_view kPnP = "\\\\?PnP?\\Notification";
    if (name.size() != kPnP.size()) {
        return false;
    }
    for (size_t i = 0; i < name.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(name[i]) != lower(kPnP[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace zeph::platform::pcsclite
