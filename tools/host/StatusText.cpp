#include "StatusText.h"

#include <cstdio>

#include "zeph/ZephExtensionAbi.h"

std::string StatusText(uint32_t status) {
    const char* name = nullptr;
    switch (status) {
        case ZEPH_STATUS_SUCCESS:
            name = "STATUS_SUCCESS";
            break;
        case ZEPH_STATUS_PENDING:
            name = "STATUS_PENDING";
            break;
        case ZEPH_STATUS_NOT_SUPPORTED:
            name = "STATUS_NOT_SUPPORTED";
            break;
        case ZEPH_STATUS_NO_MEDIA:
            name = "STATUS_NO_MEDIA";
            break;
        case ZEPH_STATUS_INVALID_DEVICE_STATE:
            name = "STATUS_INVALID_DEVICE_STATE";
            break;
        case ZEPH_E_POINTER:
            name = "E_POINTER";
            break;
        default:
            break;
    }
    char text[64];
    std::snprintf(text, sizeof(text), "0x%08X%s%s", static_cast<unsigned>(status),
                  name != nullptr ? " " : "", name != nullptr ? name : "");
    return text;
}
