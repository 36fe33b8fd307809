#include "identification/HelperTracerRegistration.h"

namespace ZEPH_Helper {

void RegisterHelperLibTracerIfNone() noexcept {}

}  // namespace ZEPH_Helper
