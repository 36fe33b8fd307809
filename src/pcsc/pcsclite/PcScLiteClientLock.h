// pcsc-lite 1.9.9's client keeps each context's card handles in a list, and every call that takes
// a card handle walks the lists of all the process's contexts to find it. A connection adds to
// its context's list and a disconnection removes from it under that context's own lock only, and
// the removal walks all lists again without the process-wide lock: with several objects (each
// with contexts of its own) connecting and disconnecting at once, SCardDisconnect crashed inside
// the library. So the lists change only while this lock is held exclusively (contexts
// established and released, cards connected and disconnected), and the calls that look a handle
// up hold it shared. Status-change waits, cancels and reader listings take no card handle and no
// part in it.
#pragma once

#include <mutex>
#include <shared_mutex>

namespace zeph::platform::pcsclite {

std::shared_mutex& PcScLiteClientLock();

// Runs a pcsc-lite call that adds or removes a context or a card handle.
template <typename Call>
auto ChangingHandleLists(Call call) {
    const std::unique_lock lock(PcScLiteClientLock());
    return call();
}

// Runs a pcsc-lite call that looks a card handle up.
template <typename Call>
auto LookingUpHandle(Call call) {
    const std::shared_lock lock(PcScLiteClientLock());
    return call();
}

}  // namespace zeph::platform::pcsclite
