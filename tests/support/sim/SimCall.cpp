#include "sim/SimCall.h"

namespace sim {

const char* CallName(Call call) {
    switch (call) {
        case Call::EstablishContext:
            return "EstablishContext";
        case Call::ReleaseContext:
            return "ReleaseContext";
        case Call::IsValidContext:
            return "IsValidContext";
        case Call::Cancel:
            return "Cancel";
        case Call::ListReaders:
            return "ListReaders";
        case Call::GetStatusChange:
            return "GetStatusChange";
        case Call::Connect:
            return "Connect";
        case Call::Reconnect:
            return "Reconnect";
        case Call::Disconnect:
            return "Disconnect";
        case Call::Status:
            return "Status";
        case Call::Transmit:
            return "Transmit";
        case Call::Control:
            return "Control";
        case Call::GetAttrib:
            return "GetAttrib";
        case Call::SetAttrib:
            return "SetAttrib";
        case Call::LocateCardsByATR:
            return "LocateCardsByATR";
        case Call::GetCardTypeProviderName:
            return "GetCardTypeProviderName";
        case Call::FreeMemory:
            return "FreeMemory";
    }
    return "?";
}

}  // namespace sim
