#include "pcsc/pcsclite/PcScLiteReaderList.h"

#include <algorithm>

#include "pcsc/PcScConstants.h"
#include "pcsc/pcsclite/PcScLiteConversion.h"

namespace zeph::platform::pcsclite {
namespace {

// Room for as many readers with names as long as pcsc-lite allows, and the list's end.
constexpr Dword kListCapacity = kLiteMaxReaders * kLiteMaxReaderName + 1;
// A reader that appears between asking for the length and listing needs another round.
constexpr int kAttempts = 3;

}  // namespace

// The list goes into the backend's own buffer, never into memory pcsc-lite allocates: that
// would have to be freed through the context, which fails once the context is gone.
uint32_t ListLiteReaders(const LiteFunctions& lite, LiteContext context,
                         std::vector<std::string>* names) {
    names->clear();
    Dword capacity = kListCapacity;
    uint32_t result = SCARD_E_INSUFFICIENT_BUFFER;
    for (int attempt = 0; attempt < kAttempts && result == SCARD_E_INSUFFICIENT_BUFFER; ++attempt) {
        std::vector<char> multi(capacity);
        Dword length = capacity;
        result = ToWinResult(lite.listReaders(context, nullptr, multi.data(), &length));
        if (result == SCARD_S_SUCCESS) {
            *names = SplitMultiString(multi.data(), std::min(length, capacity));
        } else if (result == SCARD_E_INSUFFICIENT_BUFFER) {
            result = ToWinResult(lite.listReaders(context, nullptr, nullptr, &capacity));
            result = result == SCARD_S_SUCCESS ? SCARD_E_INSUFFICIENT_BUFFER : result;
        }
    }
    return result;
}

}  // namespace zeph::platform::pcsclite
