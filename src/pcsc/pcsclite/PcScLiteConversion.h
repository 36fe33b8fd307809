// Translation of values and records between pcsc-lite and the module's WinSCard view.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pcsc/AtrMask.h"
#include "pcsc/PcScApi.h"
#include "pcsc/pcsclite/PcScLiteAbi.h"

namespace zeph::platform::pcsclite {

// pcsc-lite's LONG result as WinSCard's 32-bit code; 0x8010001F becomes
// SCARD_E_UNSUPPORTED_FEATURE (0x80100022), the only code whose value differs.
uint32_t ToWinResult(Long result);

// WinSCard's result of an exchange that pcsc-lite answered with `result` (already WinSCard's code)
// and `received` bytes, for a command sent with `protocol` (WinSCard's value). Both of pcsc-lite's
// ways of telling that the reader's I/O failed become ERROR_IO_DEVICE, as WinSCard reports it:
// SCARD_E_NOT_TRANSACTED (the reader driver reported a communication error), and a T=0 or T=1
// exchange reported as a success with less than the two status bytes every response of those
// protocols ends in (what a driver answers that lost the card in the middle of the exchange).
uint32_t ToWinTransmitResult(uint32_t result, uint32_t protocol, Dword received);

// Protocol masks: SCARD_PROTOCOL_RAW is 0x10000 in WinSCard and 4 in pcsc-lite.
Dword ToLiteProtocols(uint32_t protocols);
uint32_t FromLiteProtocol(Dword protocol);

// pcsc-lite's card state bit field as WinSCard's ordinal (pcsc/CardStateBits.h).
uint32_t CardStateOrdinal(Dword liteState, Dword liteProtocol);

// A length pcsc-lite reported back, at most `capacity`: after a failed exchange pcsc-lite may
// leave anything in it, and the caller must never be told of more bytes than its buffer holds.
uint32_t BoundedLength(Dword reported, Dword capacity);

LiteIoRequest ToLiteIoRequest(const PcScIoRequest& request);
PcScIoRequest FromLiteIoRequest(const LiteIoRequest& request);

// Reader names of a UTF-8 multi-string of `length` bytes (each name zero-terminated, an empty
// name ends the list).
std::vector<std::string> SplitMultiString(const char* multi, size_t length);
// The names as a UTF-16 multi-string: each name zero-terminated, then one more zero; an empty
// list is two zeros.
std::u16string ToWideMultiString(const std::vector<std::string>& names);

// True when `name` is the PnP pseudo-reader (compared without regard to ASCII case, as both
// WinSCard and pcsc-lite do).
bool IsPnPNotificationName(std::string_view name);

}  // namespace zeph::platform::pcsclite
