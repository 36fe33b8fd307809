/* Loads the module as a C host would and calls every slot of the virtual table through the
   export, checking the public data a host reads and the status a fresh object answers with.
   With "fault" after the module it reads the module's own attribute into a pointer the host got
   wrong instead: the module's crash handler must turn the fault into an error (and a dump). */
#include <stdio.h>
#include <string.h>

#include "zeph/ZephExtensionAbi.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

/* The position of every slot as a C compiler sees it (the header asserts the records' layout). */
#define SLOT_AT(name, index) \
    _Static_assert(offsetof(ZephExtensionVtbl, name) == (index) * sizeof(void*), #name)
SLOT_AT(ScalarDeletingDestructor, 0);
SLOT_AT(SetProtocol, 1);
SLOT_AT(Power, 2);
SLOT_AT(GetAttribute, 3);
SLOT_AT(SetAttribute, 4);
SLOT_AT(Transmit, 5);
SLOT_AT(IsPresent, 6);
SLOT_AT(IsAbsent, 7);
SLOT_AT(GetState, 8);
SLOT_AT(Cancel, 9);
SLOT_AT(Control, 10);

static int failures = 0;

static void Expect(int condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

static ZephGetNewInstanceFn LoadFactory(const char* path) {
    ZephGetNewInstanceFn factory = NULL;
#ifdef _WIN32
    HMODULE module = LoadLibraryA(path);
    FARPROC symbol = module != NULL ? GetProcAddress(module, ZEPH_EXT_FACTORY_NAME) : NULL;
#else
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    void* symbol = module != NULL ? dlsym(module, ZEPH_EXT_FACTORY_NAME) : NULL;
#endif
    if (symbol != NULL) {
        memcpy(&factory, &symbol, sizeof(factory));
    }
    return factory;
}

static void CallEverySlot(ZephExtension* x) {
    const ZephExtensionVtbl* slots = x->lpVtbl;
    static const ZephWChar noReader[] = {0};
    const ZephSendHeader header = {2, 8};
    const uint8_t apdu[] = {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
    uint8_t buffer[64];
    uint32_t atrLength = sizeof(buffer), state = 99, protocol = 99, present;
    uint64_t length = sizeof(buffer);

    Expect(slots->SetProtocol(x, 2, &protocol) == ZEPH_STATUS_NO_MEDIA && protocol == 0,
           "slot 1 SetProtocol without a card: no media, protocol 0");
    Expect(slots->Power(x, ZEPH_POWER_WARM_RESET, buffer, &atrLength) == ZEPH_STATUS_SUCCESS,
           "slot 2 Power without a card: success");
    Expect(slots->GetAttribute(x, 0x00010100, buffer, &length) == ZEPH_STATUS_NOT_SUPPORTED,
           "slot 3 GetAttribute without a card: not supported");
    Expect(slots->SetAttribute(x, 0x00010100, buffer, 1) == ZEPH_STATUS_NOT_SUPPORTED,
           "slot 4 SetAttribute without a card: not supported");
    Expect(slots->Transmit(x, &header, apdu, sizeof(apdu), buffer, &length) == ZEPH_STATUS_NO_MEDIA,
           "slot 5 Transmit without a card: no media");
    slots->Cancel(x);
    /* After Cancel the wait ends at once: pending with a PC/SC service, an invalid device state
       where none can be reached. */
    present = slots->IsPresent(x, noReader, buffer, &length, &protocol);
    Expect(present == ZEPH_STATUS_PENDING || present == ZEPH_STATUS_INVALID_DEVICE_STATE,
           "slot 6 IsPresent after slot 9 Cancel returns without waiting");
    Expect(slots->IsAbsent(x) == ZEPH_STATUS_SUCCESS, "slot 7 IsAbsent without a card: success");
    Expect(
        slots->GetState(x, &state, &protocol) == ZEPH_STATUS_SUCCESS && state == 1 && protocol == 0,
        "slot 8 GetState without a card: absent, protocol 0");
    Expect(slots->Control(x, 0x42000037u, NULL, 0, buffer, &length) == ZEPH_STATUS_NOT_SUPPORTED,
           "slot 10 Control without a card: not supported");
    Expect(slots->ScalarDeletingDestructor(x, 1) == x, "slot 0 returns the object it destroyed");
}

static int FaultInsideGetAttribute(ZephExtension* x) {
    uint64_t length = 64;
    const uint32_t status = x->lpVtbl->GetAttribute(x, 0x0007AA01u, (uint8_t*)16, &length);
    printf("GetAttribute into a bad pointer returned %#x\n", (unsigned)status);
    return status != ZEPH_STATUS_SUCCESS ? 0 : 1;
}

int main(int argc, char** argv) {
    ZephGetNewInstanceFn factory = argc > 1 ? LoadFactory(argv[1]) : NULL;
    ZephExtension* extension = factory != NULL ? factory() : NULL;
    if (extension == NULL) {
        fprintf(stderr, "usage: abi_vtable_test MODULE [fault] (whose export returns an object)\n");
        return 2;
    }
    if (argc > 2 && strcmp(argv[2], "fault") == 0) {
        return FaultInsideGetAttribute(extension);
    }
    Expect(strcmp(extension->m_szShortName, "PcSc") == 0 && extension->m_bHostFlag == 0 &&
               extension->m_bAtrFilter == 1 && extension->m_nHostValue == 0 &&
               extension->m_pfnNotify == NULL && extension->m_pNotifyContext == NULL,
           "public data as the host reads it: PcSc, flag 0, ATR filter 1, value 0, no callback");
    CallEverySlot(extension);
    printf("%s\n", failures == 0 ? "all slots answered as expected" : "slot checks failed");
    return failures == 0 ? 0 : 1;
}
