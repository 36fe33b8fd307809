// The names of the readers pcsc-lite knows (at most 16 with pcsc-lite 1.9.9).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pcsc/pcsclite/PcScLiteAbi.h"

namespace zeph::platform::pcsclite {

// WinSCard result; with no readers SCARD_E_NO_READERS_AVAILABLE and an empty list.
uint32_t ListLiteReaders(const LiteFunctions& lite, LiteContext context,
                         std::vector<std::string>* names);

}  // namespace zeph::platform::pcsclite
