// A C++ host built for the MSVC ABI (clang --target=x86_64-pc-windows-msvc) without a C runtime:
// it loads the module from the directory it runs in through its export with the host interface
// header, whose offset assertions thus hold under that ABI too, reads the public data, calls every
// operation once without a card and destroys the object with delete, which reaches slot 0 through
// the header's virtual destructor. Each failed check is printed; the exit code is 0 when all held,
// 1 when one failed, 2 when the module gave no object.
#include "zeph/ZephExtensionAbi.h"

extern "C" {
__declspec(dllimport) void* LoadLibraryA(const char* name);
__declspec(dllimport) ZephGetNewInstanceFn GetProcAddress(void* module, const char* name);
__declspec(dllimport) void* GetStdHandle(uint32_t which);
__declspec(dllimport) int WriteFile(void* file, const void* data, uint32_t size, uint32_t* written,
                                    void* overlapped);
[[noreturn]] __declspec(dllimport) void ExitProcess(uint32_t code);
}

namespace {

constexpr uint32_t kStdOutput = 0xFFFFFFF5u;  // STD_OUTPUT_HANDLE
int g_failures = 0;
int g_foreignDeletes = 0;

void Print(const char* text) {
    uint32_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    uint32_t written = 0;
    WriteFile(GetStdHandle(kStdOutput), text, length, &written, nullptr);
}

void Expect(bool condition, const char* what) {
    if (!condition) {
        Print("FAILED: ");
        Print(what);
        Print("\n");
        ++g_failures;
    }
}

bool IsPcScObject(const CZephExtensionAbstract* x) {
    const char* name = x->m_szShortName;
    return name[0] == 'P' && name[1] == 'c' && name[2] == 'S' && name[3] == 'c' && name[4] == '\0';
}

void CallEveryOperation(CZephExtensionAbstract& x) {
    static const ZephWChar noReader[] = {0};
    const ZephSendHeader header = {2, 8};
    const uint8_t apdu[] = {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
    uint8_t buffer[64];
    uint32_t atrLength = sizeof(buffer), state = 99, protocol = 99;
    uint64_t length = sizeof(buffer);

    Expect(x.SetProtocol(2, &protocol) == ZEPH_STATUS_NO_MEDIA && protocol == 0,
           "SetProtocol without a card: no media, protocol 0");
    Expect(x.Power(ZEPH_POWER_WARM_RESET, buffer, &atrLength) == ZEPH_STATUS_SUCCESS,
           "Power without a card: success");
    Expect(x.GetAttribute(0x00010100, buffer, &length) == ZEPH_STATUS_NOT_SUPPORTED,
           "GetAttribute without a card: not supported");
    Expect(x.SetAttribute(0x00010100, buffer, 1) == ZEPH_STATUS_NOT_SUPPORTED,
           "SetAttribute without a card: not supported");
    Expect(x.Transmit(&header, apdu, sizeof(apdu), buffer, &length) == ZEPH_STATUS_NO_MEDIA,
           "Transmit without a card: no media");
    x.Cancel();
    // After Cancel the wait ends at once: pending with a PC/SC service, an invalid device state
    // where none can be reached.
    const uint32_t present = x.IsPresent(noReader, buffer, &length, &protocol);
    Expect(present == ZEPH_STATUS_PENDING || present == ZEPH_STATUS_INVALID_DEVICE_STATE,
           "IsPresent after Cancel returns without waiting");
    Expect(x.IsAbsent() == ZEPH_STATUS_SUCCESS, "IsAbsent without a card: success");
    Expect(x.GetState(&state, &protocol) == ZEPH_STATUS_SUCCESS && state == 1 && protocol == 0,
           "GetState without a card: absent, protocol 0");
    Expect(x.Control(0x42000037u, nullptr, 0, buffer, &length) == ZEPH_STATUS_NOT_SUPPORTED,
           "Control without a card: not supported");
}

}  // namespace

// The host allocates nothing: its operator delete is reached only if delete took the host's path
// instead of slot 0, with the module's memory, which it counts and does not free.
void operator delete(void*) noexcept {
    ++g_foreignDeletes;
}

extern "C" void HostMain() {
    void* module = LoadLibraryA("ZEPH_Ext_PcSc.dll");
    ZephGetNewInstanceFn factory =
        module != nullptr ? GetProcAddress(module, ZEPH_EXT_FACTORY_NAME) : nullptr;
    CZephExtensionAbstract* x = factory != nullptr ? factory() : nullptr;
    if (x == nullptr) {
        Print("no object from the export of ZEPH_Ext_PcSc.dll in the working directory\n");
        ExitProcess(2);
    }
    Expect(IsPcScObject(x) && x->m_bHostFlag == 0 && x->m_bAtrFilter == 1 && x->m_nHostValue == 0 &&
               x->m_pfnNotify == nullptr && x->m_pNotifyContext == nullptr,
           "public data as the host reads it: PcSc, flag 0, ATR filter 1, value 0, no callback");
    CallEveryOperation(*x);
    delete x;
    Expect(g_foreignDeletes == 0,
           "delete reached slot 0: the host's operator delete saw no object");
    Print(g_failures == 0 ? "all operations and deletes answered as expected\n"
                          : "host checks failed\n");
    ExitProcess(g_failures == 0 ? 0 : 1);
}
