#include "platform/posix/PcScLiteReaderList.h"

#include "platform/PcScConstants.h"
#include "platform/posix/PcScLiteConversion.h"

namespace zeph::platform::pcsclite {

uint32_t ListLiteReaders(const LiteFunctions& lite, LiteContext context,
                         std::vector<std::string>* names) {
    names->clear();
    char* multi = nullptr;
    Dword length = kLiteAutoAllocate;
    const uint32_t result =
        ToWinResult(lite.listReaders(context, nullptr, reinterpret_cast<char*>(&multi), &length));
    if (result != SCARD_S_SUCCESS) {
        return result;
    }
    *names = SplitMultiString(multi, length);
    lite.freeMemory(context, multi);
    return SCARD_S_SUCCESS;
}

}  // namespace zeph::platform::pcsclite
