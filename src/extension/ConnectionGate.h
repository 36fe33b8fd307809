// One card connection sequence at a time for each reader in the process. The objects of the
// module each have a PC/SC context of their own, so to PC/SC they are separate applications;
// pcsc-lite checks a reader's sharing state at the start of SCardConnect and updates it at the
// end, so two objects connecting to one reader at once could both end up "exclusive", and the
// fallback's reconnect with a reset, which the service carries out before it checks the sharing,
// would reset the card under a sibling. Running the sequences for one reader one after the other
// keeps each reader with exactly one of the process's objects; other readers are not held up.
#pragma once

#include <mutex>
#include <string>

namespace zeph::extension {

// The gate of this reader; it lives as long as the process.
std::mutex& ConnectionGate(const std::u16string& reader);

}  // namespace zeph::extension
