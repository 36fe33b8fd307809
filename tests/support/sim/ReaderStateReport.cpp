#include "sim/ReaderStateReport.h"

#include <algorithm>
#include <string_view>

#include "pcsc/PcScConstants.h"

namespace sim {

namespace {

constexpr uint32_t kReportedBits = SCARD_STATE_UNKNOWN | SCARD_STATE_UNAVAILABLE |
                                   SCARD_STATE_EMPTY | SCARD_STATE_PRESENT | SCARD_STATE_EXCLUSIVE |
                                   SCARD_STATE_INUSE | SCARD_STATE_MUTE;

uint32_t CountOf(uint32_t state) {
    return state >> 16;
}

bool UpdatePnP(PcScReaderState& entry, size_t readerCount) {
    const auto count = static_cast<uint32_t>(readerCount);
    const bool changed = CountOf(entry.dwCurrentState) != count;
    entry.dwEventState = count << 16 | (changed ? SCARD_STATE_CHANGED : 0);
    return changed;
}

bool UpdateUnknown(PcScReaderState& entry) {
    const bool changed = (entry.dwCurrentState & SCARD_STATE_UNKNOWN) == 0;
    entry.dwEventState =
        SCARD_STATE_UNKNOWN | SCARD_STATE_IGNORE | (changed ? SCARD_STATE_CHANGED : 0);
    entry.cbAtr = 0;
    return changed;
}

void CopyAtr(PcScReaderState& entry, const SimReader& reader) {
    if (!reader.card || reader.card->mute || reader.unavailable) {
        entry.cbAtr = 0;
        return;
    }
    const size_t length = std::min<size_t>(reader.card->atr.size(), SCARD_ATR_CAPACITY);
    std::copy_n(reader.card->atr.begin(), length, entry.rgbAtr);
    entry.cbAtr = static_cast<uint32_t>(length);
}

bool UpdateKnown(PcScReaderState& entry, const SimReader& reader,
                 const ConnectionTable& connections) {
    const uint32_t state = ReaderState(reader, connections);
    const uint32_t current = entry.dwCurrentState;
    const bool countDiffers = CountOf(current) != 0 && CountOf(current) != CountOf(state);
    const bool changed = (current & kReportedBits) != (state & kReportedBits) || countDiffers;
    entry.dwEventState = state | (changed ? SCARD_STATE_CHANGED : 0);
    CopyAtr(entry, reader);
    return changed;
}

}  // namespace

uint32_t ReaderState(const SimReader& reader, const ConnectionTable& connections) {
    uint32_t bits = SCARD_STATE_EMPTY;
    if (reader.unavailable) {
        bits = SCARD_STATE_UNAVAILABLE;
    } else if (reader.card) {
        bits = SCARD_STATE_PRESENT | connections.SharingState(reader.id);
        bits |= reader.card->mute ? SCARD_STATE_MUTE : 0;
    }
    return static_cast<uint32_t>(reader.eventCount) << 16 | bits;
}

bool UpdateEntry(PcScReaderState& entry, const ReaderTable& readers,
                 const ConnectionTable& connections) {
    if ((entry.dwCurrentState & SCARD_STATE_IGNORE) != 0) {
        return false;
    }
    const std::u16string_view name = entry.szReader != nullptr ? entry.szReader : u"";
    if (name == kPnPNotificationReader) {
        return UpdatePnP(entry, readers.Count());
    }
    const SimReader* reader = readers.Find(name);
    return reader == nullptr ? UpdateUnknown(entry) : UpdateKnown(entry, *reader, connections);
}

}  // namespace sim
