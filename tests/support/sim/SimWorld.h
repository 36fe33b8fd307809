// The simulator's world: the names of its calls and their journal entries, the readers with their
// cards, the open contexts and card handles, the memory it hands out and whether the service runs.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pcsc/PcScApi.h"
#include "pcsc/PcScConstants.h"
#include "vcard/ApduResponder.h"

namespace sim {

// The calls of the PC/SC seam, as the journal and the fault queue name them.
enum class Call : uint8_t {
    EstablishContext,
    ReleaseContext,
    IsValidContext,
    Cancel,
    ListReaders,
    GetStatusChange,
    Connect,
    Reconnect,
    Disconnect,
    Status,
    Transmit,
    Control,
    GetAttrib,
    SetAttrib,
    LocateCardsByATR,
    GetCardTypeProviderName,
    FreeMemory,
};

// The call's name as the journal's text shows it, e.g. "Connect".
inline const char* CallName(Call call) {
    static const char* const kNames[] = {
        "EstablishContext", "ReleaseContext",  "IsValidContext",   "Cancel",
        "ListReaders",      "GetStatusChange", "Connect",          "Reconnect",
        "Disconnect",       "Status",          "Transmit",         "Control",
        "GetAttrib",        "SetAttrib",       "LocateCardsByATR", "GetCardTypeProviderName",
        "FreeMemory"};
    static_assert(std::size(kNames) == static_cast<size_t>(Call::FreeMemory) + 1);
    return kNames[static_cast<size_t>(call)];
}

// One journaled call, in the order the calls returned. Fields a call does not have stay 0.
struct JournalEntry {
    Call call = Call::EstablishContext;
    ScardContext context = 0;
    ScardHandle card = 0;
    uint32_t shareMode = 0;  // Connect, Reconnect
    // Reconnect: the initialisation; Disconnect: the disposition.
    uint32_t disposition = 0;
};

// What a reader answers to SCardControl; called under the simulator's lock.
struct ControlAnswer {
    uint32_t result = 0;
    std::vector<uint8_t> output;
};
using ControlResponder =
    std::function<ControlAnswer(uint32_t code, std::span<const uint8_t> input)>;

// A card in a reader: T=1 only, answering like the project's virtual card without files.
struct SimCard {
    std::vector<uint8_t> atr;
    vcard::ApduResponder responder{{}, 0x6D00};
};

struct SimReader {
    std::u16string name;
    std::optional<SimCard> card;
    // Card insertions and removals so far; reported in bits 16 and up of the reader's state.
    uint16_t eventCount = 0;
    std::map<uint32_t, std::vector<uint8_t>> attributes;
    ControlResponder control;
};

// The readers in the order they were added; the named one or null.
using Readers = std::vector<SimReader>;
template <typename AnyReaders>
auto* FindReader(AnyReaders& readers, std::u16string_view name) {
    const auto found = std::find_if(readers.begin(), readers.end(),
                                    [name](const SimReader& r) { return r.name == name; });
    return found == readers.end() ? nullptr : &*found;
}

// What the next call on a handle learns first.
enum class HandleWarning : uint8_t {
    None,
    Reset,       // another connection reset the card: reported once
    Removed,     // the card was taken out: reported until the handle is reconnected or closed
    ReaderGone,  // the reader was removed: reported until the handle is closed
};

struct SimConnection {
    ScardContext context = 0;
    std::u16string readerName{};
    uint32_t shareMode = 0;
    uint32_t protocol = 0;
    HandleWarning warning = HandleWarning::None;

    bool Live() const {
        return warning != HandleWarning::Removed && warning != HandleWarning::ReaderGone;
    }
};

// Whether a connection in this share mode keeps every other connection from its reader.
inline bool Alone(uint32_t shareMode) {
    return shareMode == SCARD_SHARE_EXCLUSIVE || shareMode == SCARD_SHARE_DIRECT;
}

// The open card handles. An exclusive or direct connection admits no other connection to its
// reader, a shared one admits shared ones only; handles whose card or reader has gone no longer
// count (so a reader added again under an old name is a new reader to them). A direct connection
// needs no card and never gets the removed-card or reset warnings.
class ConnectionTable {
  public:
    ScardHandle Open(SimConnection connection) {
        m_connections.emplace(m_nextHandle, std::move(connection));
        return m_nextHandle++;
    }
    SimConnection* Find(ScardHandle handle) {
        const auto found = m_connections.find(handle);
        return found == m_connections.end() ? nullptr : &found->second;
    }
    void Close(ScardHandle handle) { m_connections.erase(handle); }
    // Closes the context's connections, or those to one reader; how many.
    size_t CloseContext(ScardContext context, std::u16string_view reader = {}) {
        return std::erase_if(m_connections, [&](const auto& e) {
            return e.second.context == context && (reader.empty() || e.second.readerName == reader);
        });
    }
    // SCARD_STATE_EXCLUSIVE and/or SCARD_STATE_INUSE as the reader's live connections imply.
    uint32_t SharingState(std::u16string_view reader) const {
        uint32_t state = 0;
        for (const auto& [handle, other] : m_connections) {
            if (other.readerName == reader && other.Live()) {
                state |= Alone(other.shareMode) ? SCARD_STATE_EXCLUSIVE : SCARD_STATE_INUSE;
            }
        }
        return state;
    }
    // Marks the reader's live card (not direct) connections but `except`; ReaderGone marks all.
    void Warn(std::u16string_view reader, HandleWarning warning, ScardHandle except = 0) {
        for (auto& [handle, connection] : m_connections) {
            if (connection.readerName == reader && (warning == HandleWarning::ReaderGone ||
                                                    (handle != except && connection.Live() &&
                                                     connection.shareMode != SCARD_SHARE_DIRECT))) {
                connection.warning = warning;
            }
        }
    }
    const std::map<ScardHandle, SimConnection>& All() const { return m_connections; }

  private:
    std::map<ScardHandle, SimConnection> m_connections;
    ScardHandle m_nextHandle = 0xCA000001;
};

// Text handed out as platform-allocated memory. A block lives until FreeMemory returns it or,
// as WinSCard does, until the context it was allocated under is released: a caller still reading
// it then reads freed memory, which AddressSanitizer reports.
class MemoryLedger {
  public:
    const char16_t* Allocate(ScardContext context, const std::u16string& text) {
        auto block = std::make_unique<char16_t[]>(text.size());
        std::copy(text.begin(), text.end(), block.get());
        const char16_t* address = block.get();
        m_blocks.emplace(address, Block{context, std::move(block)});
        return address;
    }
    // False (and counted) for a pointer never handed out or freed already: a double free.
    bool Free(const void* block) {
        const bool known = m_blocks.erase(block) == 1;
        m_invalidFrees += known ? 0 : 1;
        return known;
    }
    void ReleaseContext(ScardContext context) {
        std::erase_if(m_blocks,
                      [&](const auto& e) { return context != 0 && e.second.context == context; });
    }
    size_t Outstanding() const { return m_blocks.size(); }
    size_t InvalidFrees() const { return m_invalidFrees; }

  private:
    struct Block {
        ScardContext context;
        std::unique_ptr<char16_t[]> text;
    };
    std::map<const void*, Block> m_blocks;
    size_t m_invalidFrees = 0;
};

}  // namespace sim
