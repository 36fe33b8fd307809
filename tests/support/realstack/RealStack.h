// The one real Linux PC/SC stack of the tests and the benchmarks: a private directory
// (TempDirectory) with pcscd's configuration and an empty registry file, which
// ZEPH_REGISTRY_FILE names for this process and every program it starts while the stack lives;
// a private pcscd with one vpcd reader, a pcsc-lite context of the stack's own (another
// application on the same reader), and zeph_vcard cards. Children are stopped by pid when it
// goes, and the environment is restored. pcscd always serves /run/pcscd/pcscd.comm, so the stack
// starts only inside the private namespaces of run-in-namespace.sh.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ScopedVariable.h"
#include "TempDirectory.h"

namespace realstack {

class PcscContext;  // PcscHandles.h: pcsc-lite's headers stay out of the module's files

// The sockets among the process's descriptors: each pcsc-lite context holds one.
size_t OpenSockets();

struct VirtualCardOptions {
    std::string atr;                 // hex; empty for the card's predefined ATR
    std::vector<std::string> files;  // "FID=HEX" each
    std::string dropOn;              // hex command prefix the card drops the connection on
};

// A zeph_vcard process, driven through its standard input and followed through the event lines
// it prints (VirtualCard.h lists them).
class VirtualCardProcess : public ChildProcess {
  public:
    static constexpr std::chrono::milliseconds kEventTimeout{5000};

    // Starts the card; it connects to vpcd on its own (see WaitForEvent("connected")).
    VirtualCardProcess(uint16_t port, const VirtualCardOptions& options);
    // The card leaves the reader (closes its connection), or enters it again; each waits for
    // the card to confirm.
    bool Remove() { return Write("remove\n") && WaitForEvent("removed"); }
    bool Insert() { return Write("insert\n") && WaitForEvent("connected"); }
    // Waits for the next event line starting with prefix.
    bool WaitForEvent(std::string_view prefix) { return WaitForLine(prefix, kEventTimeout); }
};

class RealStack {
  public:
    static constexpr std::chrono::milliseconds kStateTimeout{5000};

    // Throws std::runtime_error, with pcscd's log, when the stack cannot be started. With
    // noBlocking, PCSCLITE_NO_BLOCKING is set from the start, so that pcsc-lite reports a sharing
    // conflict at once; the pcsc-lite backend has to set it by itself.
    // vpcdReaders: vpcd readers of two slots each; slot s is served on port kVpcdPort + s.
    explicit RealStack(bool noBlocking = true, unsigned vpcdReaders = 1);
    ~RealStack();

    static constexpr uint16_t kVpcdPort = 0x8C7B;

    // The first slot of the first reader; the others are "Virtual PCD 00 01", "... 01 00", ...
    const std::string& ReaderName() const { return m_reader; }
    const PcscContext& Context() const { return *m_context; }
    pid_t PcscdPid() const { return m_pcscd->Pid(); }
    // Starts a card and waits until it has connected to vpcd; throws otherwise.
    VirtualCardProcess& StartCard(const VirtualCardOptions& options = {}, unsigned slot = 0);
    // Starts a card and waits until PC/SC shows it present; throws otherwise.
    VirtualCardProcess& InsertCard(const VirtualCardOptions& options = {});
    // Polls the reader's state until every bit of wanted (SCARD_STATE_...) is set; false at the
    // deadline.
    bool WaitForState(unsigned long wanted) const;
    // Ends every card; true when each ended cleanly (a card that did not crashed or leaked).
    bool StopCards();
    // Stops pcscd, which ends every context and card connection; the stack's context goes too.
    void StopPcscd();
    // Starts pcscd with the reader and waits until it lists it; the stack gets a new context.
    void StartPcscd();
    // pcscd's log and the cards' events, for failure messages.
    std::string Logs() const;

  private:
    const std::string m_reader = "Virtual PCD 00 00";
    const unsigned m_vpcdReaders;
    TempDirectory m_directory;
    ScopedVariable m_registryFile;
    std::optional<ScopedVariable> m_noBlocking;
    std::unique_ptr<ChildProcess> m_pcscd;
    std::unique_ptr<PcscContext> m_context;
    std::vector<std::unique_ptr<VirtualCardProcess>> m_cards;
};

}  // namespace realstack
