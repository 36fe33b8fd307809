// How a reader's state reads in a SCARD_READERSTATEW entry, and when it differs from what the
// caller last saw.
//
// Reported bits: SCARD_STATE_UNAVAILABLE, or SCARD_STATE_EMPTY, or SCARD_STATE_PRESENT with
// SCARD_STATE_MUTE, SCARD_STATE_EXCLUSIVE and SCARD_STATE_INUSE as they apply; the reader's event
// count in bits 16 and up. An entry differs when these bits differ from the caller's current
// state, or when the caller's non-zero event count differs from the reader's; the caller's
// SCARD_STATE_CHANGED and SCARD_STATE_ATRMATCH take no part. Differing entries get
// SCARD_STATE_CHANGED.
//
// Special entries: one with SCARD_STATE_IGNORE in its current state is left as it is; an unknown
// name reads SCARD_STATE_UNKNOWN | SCARD_STATE_IGNORE, with SCARD_STATE_CHANGED unless the caller
// knew it as unknown; the PnP pseudo-reader carries the number of readers in bits 16 and up and
// differs when the caller's number does.
#pragma once

#include <cstdint>

#include "pcsc/PcScApi.h"
#include "sim/ConnectionTable.h"
#include "sim/ReaderTable.h"

namespace sim {

// The reader's reported bits and event count.
uint32_t ReaderState(const SimReader& reader, const ConnectionTable& connections);

// Writes the entry's event state (and ATR) from the simulated world; true when it differs from
// the caller's current state.
bool UpdateEntry(PcScReaderState& entry, const ReaderTable& readers,
                 const ConnectionTable& connections);

}  // namespace sim
