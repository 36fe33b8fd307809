#include "pcsc/pcsclite/PcScLiteClientLock.h"

namespace zeph::platform::pcsclite {

std::shared_mutex& PcScLiteClientLock() {
    static std::shared_mutex lock;
    return lock;
}

}  // namespace zeph::platform::pcsclite
