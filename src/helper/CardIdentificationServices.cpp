#include "helper/CardIdentificationServices.h"

#include "platform/PlatformPcSc.h"

namespace ZEPH_Helper {

CardIdentificationServices PlatformCardIdentificationServices() {
    return {PlatformPcSc(), PlatformRegistry()};
}

}  // namespace ZEPH_Helper
