#include "StatusText.h"

#include <cstdio>

#include "zeph/ZephExtensionAbi.h"

namespace {

struct KnownStatus {
    uint32_t value;
    const char* name;
};

// The module's own statuses, and the PC/SC results that Transmit and Control pass on.
constexpr KnownStatus kKnownStatuses[] = {
    {ZEPH_STATUS_SUCCESS, "STATUS_SUCCESS"},
    {ZEPH_STATUS_PENDING, "STATUS_PENDING"},
    {ZEPH_STATUS_NOT_SUPPORTED, "STATUS_NOT_SUPPORTED"},
    {ZEPH_STATUS_NO_MEDIA, "STATUS_NO_MEDIA"},
    {ZEPH_STATUS_INVALID_DEVICE_STATE, "STATUS_INVALID_DEVICE_STATE"},
    {ZEPH_E_POINTER, "E_POINTER"},
    {0x80100001u, "SCARD_F_INTERNAL_ERROR"},
    {0x80100002u, "SCARD_E_CANCELLED"},
    {0x80100003u, "SCARD_E_INVALID_HANDLE"},
    {0x80100004u, "SCARD_E_INVALID_PARAMETER"},
    {0x80100008u, "SCARD_E_INSUFFICIENT_BUFFER"},
    {0x8010000Au, "SCARD_E_TIMEOUT"},
    {0x8010000Bu, "SCARD_E_SHARING_VIOLATION"},
    {0x8010000Cu, "SCARD_E_NO_SMARTCARD"},
    {0x8010000Fu, "SCARD_E_PROTO_MISMATCH"},
    {0x80100016u, "SCARD_E_NOT_TRANSACTED"},
    {0x80100017u, "SCARD_E_READER_UNAVAILABLE"},
    {0x8010001Du, "SCARD_E_NO_SERVICE"},
    {0x80100066u, "SCARD_W_UNRESPONSIVE_CARD"},
    {0x80100067u, "SCARD_W_UNPOWERED_CARD"},
    {0x80100068u, "SCARD_W_RESET_CARD"},
    {0x80100069u, "SCARD_W_REMOVED_CARD"},
};

}  // namespace

std::string StatusText(uint32_t status) {
    const char* name = nullptr;
    for (const KnownStatus& known : kKnownStatuses) {
        if (known.value == status) {
            name = known.name;
        }
    }
    char text[64];
    std::snprintf(text, sizeof(text), "0x%08X%s%s", static_cast<unsigned>(status),
                  name != nullptr ? " " : "", name != nullptr ? name : "");
    return text;
}
