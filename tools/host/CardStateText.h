// Names of the card states and protocols the module reports to the host (the WinSCard values on
// every platform).
#pragma once

#include <cstdint>
#include <string>

// "6 SCARD_SPECIFIC"
std::string CardStateText(uint32_t state);
// "2 T=1", "3 T=0|T=1", "0 none"
std::string ProtocolText(uint32_t protocol);
