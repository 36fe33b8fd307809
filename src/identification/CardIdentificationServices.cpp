#include "identification/CardIdentificationServices.h"

#include "pcsc/PlatformPcSc.h"

namespace ZEPH_Helper {

CardIdentificationServices PlatformCardIdentificationServices() {
    return {PlatformPcSc(), PlatformRegistry()};
}

}  // namespace ZEPH_Helper
