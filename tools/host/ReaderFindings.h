// What the module would decide about each PC/SC reader right now, found without connecting a card:
// one status query with a zero timeout over every reader, then the module's ATR filter over the
// readers that hold a card. Read-only: the context lives for the examination only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pcsc/PcScApi.h"

enum class ReaderVerdict {
    Accepted,         // a card the module would take now
    Empty,            // no card
    ForeignAtr,       // a card no mask accepts
    HeldExclusively,  // another application holds the card exclusively
    IgnoredVirtual,   // one of the maker's virtual readers, which the module leaves out
    NotManualReader,  // the manual reader setting names another reader
    Unavailable,      // the reader answers no state (unavailable, mute, unknown)
};

// "accepted", "empty", "foreign ATR", "held exclusively", "ignored virtual reader",
// "manual reader setting elsewhere", "unavailable".
const char* ReaderVerdictText(ReaderVerdict verdict);

// One byte where a card's ATR differs from the nearest mask; a missing byte is -1.
struct AtrDifference {
    uint32_t index;
    int card;
    int expected;  // the reference byte under the mask
    uint8_t mask;
};

struct ReaderFinding {
    std::string name;
    std::string virtualKind;  // "reader", "replicator", "minidriver" of the maker; empty else
    bool smartToken = false;  // the boot-loader reader of the outside vendor's token
    uint32_t state = 0;       // SCARD_STATE_* bits as the status query reported them
    std::vector<uint8_t> atr;
    ReaderVerdict verdict = ReaderVerdict::Empty;
    std::vector<AtrDifference> differences;  // against the nearest mask, for a foreign ATR
};

struct PcScFindings {
    uint32_t serviceError = 0;         // 0: the service answered
    bool masksComparedInTool = false;  // the platform cannot locate cards by ATR
    std::vector<ReaderFinding> readers;
};

// Examines every reader; `manualReader` is the host's manual reader setting (empty: none).
PcScFindings ExamineReaders(PcScApi& pcsc, const std::vector<PcScAtrMask>& masks,
                            const std::u16string& manualReader);

// The differences between an ATR and the mask it comes nearest to (fewest differing bytes).
std::vector<AtrDifference> NearestMaskDifferences(const std::vector<PcScAtrMask>& masks,
                                                  const std::vector<uint8_t>& atr);

// The state bits by name, joined with '|': "PRESENT|INUSE"; "UNAWARE" for none.
std::string StateFlagNames(uint32_t state);
