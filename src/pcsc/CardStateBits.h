// A card state as pcsc-lite reports it, a bit field (unknown 0x1, absent 0x2, present 0x4,
// swallowed 0x8, powered 0x10, negotiable 0x20, specific 0x40), as WinSCard's ordinal
// SCARD_UNKNOWN (0) ... SCARD_SPECIFIC (6): an absent card wins, otherwise the most advanced
// state that is set. pcsc-lite keeps reporting "negotiable" after a protocol has been set;
// WinSCard then says SCARD_SPECIFIC, so a card with an active protocol counts as specific.
// The pcsc-lite backend reads its states through it, and so does the WinSCard backend under Wine,
// whose SCardStatusW passes pcsc-lite's bit field through.
#pragma once

#include <cstdint>

uint32_t OrdinalOfStateBits(uint32_t bits, uint32_t protocol);
