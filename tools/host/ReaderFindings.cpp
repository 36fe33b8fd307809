#include "ReaderFindings.h"

#include <algorithm>
#include <iterator>

#include "extension/ReaderNames.h"
#include "extension/SmartTokenFirmware.h"
#include "identification/ReaderKinds.h"
#include "pcsc/AtrMask.h"
#include "pcsc/PcScConstants.h"
#include "platform/TextConversion.h"

namespace {

// Ends the examination's context on every path.
class ExaminationContext {
  public:
    explicit ExaminationContext(PcScApi& pcsc) : m_pcsc(pcsc) {
        result = pcsc.EstablishContext(SCARD_SCOPE_SYSTEM, &handle);
    }
    ~ExaminationContext() {
        if (result == SCARD_S_SUCCESS) {
            m_pcsc.ReleaseContext(handle);
        }
    }
    ExaminationContext(const ExaminationContext&) = delete;
    ExaminationContext& operator=(const ExaminationContext&) = delete;

    ScardContext handle = 0;
    uint32_t result = 0;

  private:
    PcScApi& m_pcsc;
};

std::vector<std::u16string> ReaderNames(const PcScMemory& list) {
    std::vector<std::u16string> names;
    for (const char16_t* name = list.Text(); name != nullptr && *name != 0;
         name += names.back().size() + 1) {
        names.emplace_back(name);
    }
    return names;
}

std::string VirtualKind(std::u16string_view reader) {
    if (ZEPH_Helper::VH_IsVirtualReader(reader)) {
        return "reader";
    }
    if (ZEPH_Helper::VH_IsVirtualReplicator(reader)) {
        return "replicator";
    }
    return ZEPH_Helper::VH_IsVirtualMinidriver(reader) ? "minidriver" : "";
}

// The module's own order of checks for a reader it watches.
ReaderVerdict Judge(const ReaderFinding& reader, const std::u16string& name,
                    const std::u16string& manualReader) {
    if (!reader.virtualKind.empty()) {
        return ReaderVerdict::IgnoredVirtual;
    }
    if ((reader.state & SCARD_STATE_EMPTY) != 0) {
        return ReaderVerdict::Empty;
    }
    if ((reader.state & SCARD_STATE_PRESENT) == 0) {
        return ReaderVerdict::Unavailable;
    }
    if (!manualReader.empty() && !ReaderNamesEqualIgnoringCase(manualReader, name)) {
        return ReaderVerdict::NotManualReader;
    }
    if ((reader.state & SCARD_STATE_ATRMATCH) == 0) {
        return ReaderVerdict::ForeignAtr;
    }
    return (reader.state & SCARD_STATE_EXCLUSIVE) != 0 ? ReaderVerdict::HeldExclusively
                                                       : ReaderVerdict::Accepted;
}

// Marks the readers whose card a mask accepts, through the platform or, where it cannot locate
// cards by ATR, with the same comparison in this tool.
bool LocateCards(PcScApi& pcsc, ScardContext context, const std::vector<PcScAtrMask>& masks,
                 std::vector<PcScReaderState>& states) {
    const uint32_t result =
        pcsc.LocateCardsByATR(context, masks.data(), static_cast<uint32_t>(masks.size()),
                              states.data(), static_cast<uint32_t>(states.size()));
    if (result != SCARD_E_UNSUPPORTED_FEATURE) {
        return false;
    }
    for (PcScReaderState& state : states) {
        const bool matches = std::ranges::any_of(masks, [&](const PcScAtrMask& mask) {
            return AtrMatches(mask, state.rgbAtr, state.cbAtr);
        });
        if (matches && (state.dwEventState & SCARD_STATE_PRESENT) != 0) {
            state.dwEventState |= SCARD_STATE_ATRMATCH;
        }
    }
    return true;
}

ReaderFinding Finding(const PcScReaderState& state, const std::u16string& name,
                      const std::vector<PcScAtrMask>& masks, const std::u16string& manualReader) {
    ReaderFinding reader;
    reader.name = zeph::platform::WideToNarrow(name);
    reader.virtualKind = VirtualKind(name);
    reader.smartToken = IsSmartTokenReader(name);
    reader.state = state.dwEventState & 0xFFFF & ~SCARD_STATE_CHANGED;  // what changed is ours
    if ((state.dwEventState & SCARD_STATE_PRESENT) != 0) {
        reader.atr.assign(state.rgbAtr, state.rgbAtr + std::min(state.cbAtr, SCARD_ATR_CAPACITY));
    }
    reader.verdict = Judge(reader, name, manualReader);
    if (reader.verdict == ReaderVerdict::ForeignAtr) {
        reader.differences = NearestMaskDifferences(masks, reader.atr);
    }
    return reader;
}

}  // namespace

const char* ReaderVerdictText(ReaderVerdict verdict) {
    switch (verdict) {
        case ReaderVerdict::Accepted:
            return "accepted";
        case ReaderVerdict::Empty:
            return "empty";
        case ReaderVerdict::ForeignAtr:
            return "foreign ATR";
        case ReaderVerdict::HeldExclusively:
            return "held exclusively";
        case ReaderVerdict::IgnoredVirtual:
            return "ignored virtual reader";
        case ReaderVerdict::NotManualReader:
            return "manual reader setting elsewhere";
        case ReaderVerdict::Unavailable:
            return "unavailable";
    }
    return "unavailable";
}

PcScFindings ExamineReaders(PcScApi& pcsc, const std::vector<PcScAtrMask>& masks,
                            const std::u16string& manualReader) {
    PcScFindings findings;
    ExaminationContext context(pcsc);
    findings.serviceError = context.result;
    if (context.result != SCARD_S_SUCCESS) {
        return findings;
    }
    PcScMemory list;
    const uint32_t listed = pcsc.ListReaders(context.handle, u"SCard$AllReaders", list);
    if (listed != SCARD_S_SUCCESS) {
        if (listed != SCARD_E_NO_READERS_AVAILABLE && listed != SCARD_E_READER_UNAVAILABLE) {
            findings.serviceError = listed;
        }
        return findings;
    }
    const std::vector<std::u16string> names = ReaderNames(list);
    std::vector<PcScReaderState> states(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        states[i].szReader = names[i].c_str();
    }
    const uint32_t queried = pcsc.GetStatusChange(context.handle, 0, states.data(),
                                                  static_cast<uint32_t>(states.size()));
    if (queried != SCARD_S_SUCCESS && queried != SCARD_E_TIMEOUT) {
        findings.serviceError = queried;
        return findings;
    }
    findings.masksComparedInTool = LocateCards(pcsc, context.handle, masks, states);
    for (size_t i = 0; i < names.size(); ++i) {
        findings.readers.push_back(Finding(states[i], names[i], masks, manualReader));
    }
    return findings;
}

std::vector<AtrDifference> NearestMaskDifferences(const std::vector<PcScAtrMask>& masks,
                                                  const std::vector<uint8_t>& atr) {
    std::vector<AtrDifference> nearest;
    bool first = true;
    for (const PcScAtrMask& mask : masks) {
        std::vector<AtrDifference> differences;
        const uint32_t length = std::min<uint32_t>(mask.cbAtr, SCARD_ATR_CAPACITY);
        for (uint32_t i = 0; i < std::max<size_t>(length, atr.size()); ++i) {
            const int card = i < atr.size() ? atr[i] : -1;
            const int expected = i < length ? (mask.rgbAtr[i] & mask.rgbMask[i]) : -1;
            const uint8_t bits = i < length ? mask.rgbMask[i] : 0;
            if (card < 0 || expected < 0 || (card & bits) != expected) {
                differences.push_back({i, card, expected, bits});
            }
        }
        if (first || differences.size() < nearest.size()) {
            nearest = std::move(differences);
            first = false;
        }
    }
    return nearest;
}

std::string StateFlagNames(uint32_t state) {
    static constexpr struct {
        uint32_t bit;
        const char* name;
    } kFlags[] = {{SCARD_STATE_IGNORE, "IGNORE"},      {SCARD_STATE_CHANGED, "CHANGED"},
                  {SCARD_STATE_UNKNOWN, "UNKNOWN"},    {SCARD_STATE_UNAVAILABLE, "UNAVAILABLE"},
                  {SCARD_STATE_EMPTY, "EMPTY"},        {SCARD_STATE_PRESENT, "PRESENT"},
                  {SCARD_STATE_ATRMATCH, "ATRMATCH"},  {SCARD_STATE_EXCLUSIVE, "EXCLUSIVE"},
                  {SCARD_STATE_INUSE, "INUSE"},        {SCARD_STATE_MUTE, "MUTE"},
                  {SCARD_STATE_UNPOWERED, "UNPOWERED"}};
    std::string names;
    for (const auto& flag : kFlags) {
        if ((state & flag.bit) != 0) {
            names.append(names.empty() ? "" : "|").append(flag.name);
        }
    }
    return names.empty() ? "UNAWARE" : names;
}
