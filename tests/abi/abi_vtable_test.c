/* Loads the module as a C host would and calls every slot of the virtual table by its position,
   checking the public data defaults and the status a fresh object answers with. */
#include <stdio.h>
#include <string.h>

#include "zeph/ZephExtensionAbi.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

_Static_assert(offsetof(ZephExtension, m_bHostFlag) == 8, "host flag at 8");
_Static_assert(offsetof(ZephExtension, m_bAtrFilter) == 9, "ATR filter at 9");
_Static_assert(offsetof(ZephExtension, m_nHostValue) == 12, "host value at 12");
_Static_assert(offsetof(ZephExtension, m_pfnNotify) == 16, "callback at 16");
_Static_assert(offsetof(ZephExtension, m_pNotifyContext) == 24, "context at 24");
_Static_assert(offsetof(ZephExtension, m_szShortName) == 32, "short name at 32");
_Static_assert(sizeof(ZephNotification) == 156, "notification record is 156 bytes");

typedef void (*AnySlot)(void);

typedef void* (*DestructorSlot)(ZephExtension*, unsigned int);
typedef uint32_t (*SetProtocolSlot)(ZephExtension*, uint32_t, uint32_t*);
typedef uint32_t (*PowerSlot)(ZephExtension*, uint32_t, uint8_t*, uint32_t*);
typedef uint32_t (*GetAttributeSlot)(ZephExtension*, uint32_t, uint8_t*, uint64_t*);
typedef uint32_t (*SetAttributeSlot)(ZephExtension*, uint32_t, const uint8_t*, uint32_t);
typedef uint32_t (*TransmitSlot)(ZephExtension*, const ZephSendHeader*, const uint8_t*, uint64_t,
                                 uint8_t*, uint64_t*);
typedef uint32_t (*IsPresentSlot)(ZephExtension*, const ZephWChar*, uint8_t*, uint64_t*, uint32_t*);
typedef uint32_t (*NoArgumentSlot)(ZephExtension*);
typedef uint32_t (*GetStateSlot)(ZephExtension*, uint32_t*, uint32_t*);
typedef void (*CancelSlot)(ZephExtension*);
typedef uint32_t (*ControlSlot)(ZephExtension*, uint32_t, const uint8_t*, uint64_t, uint8_t*,
                                uint64_t*);

static int failures = 0;

static void Expect(int condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

static void ExpectStatus(uint32_t actual, uint32_t expected, const char* slot) {
    if (actual != expected) {
        fprintf(stderr, "FAILED: %s returned 0x%08X, expected 0x%08X\n", slot, (unsigned)actual,
                (unsigned)expected);
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

static void CallEverySlot(ZephExtension* extension) {
    const AnySlot* slots = *(const AnySlot* const*)extension;
    static const ZephWChar noReader[] = {0};
    const ZephSendHeader header = {2, 8};
    const uint8_t apdu[] = {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
    uint8_t buffer[64];
    uint32_t atrLength = sizeof(buffer), state = 99, protocol = 99;
    uint64_t length = sizeof(buffer);

    ExpectStatus(((SetProtocolSlot)slots[1])(extension, 2, &protocol), ZEPH_STATUS_NO_MEDIA,
                 "slot 1 SetProtocol");
    Expect(protocol == 0, "SetProtocol without a card reports protocol 0");
    ExpectStatus(((PowerSlot)slots[2])(extension, ZEPH_POWER_WARM_RESET, buffer, &atrLength),
                 ZEPH_STATUS_SUCCESS, "slot 2 Power without a card");
    ExpectStatus(((GetAttributeSlot)slots[3])(extension, 0x00010100, buffer, &length),
                 ZEPH_STATUS_NOT_SUPPORTED, "slot 3 GetAttribute without a card");
    ExpectStatus(((SetAttributeSlot)slots[4])(extension, 0x00010100, buffer, 1),
                 ZEPH_STATUS_NOT_SUPPORTED, "slot 4 SetAttribute without a card");
    ExpectStatus(((TransmitSlot)slots[5])(extension, &header, apdu, sizeof(apdu), buffer, &length),
                 ZEPH_STATUS_NO_MEDIA, "slot 5 Transmit without a card");
    ((CancelSlot)slots[9])(extension);
    /* After Cancel the wait ends at once: pending with a PC/SC service, an invalid device state
       where none can be reached. */
    const uint32_t present =
        ((IsPresentSlot)slots[6])(extension, noReader, buffer, &length, &protocol);
    Expect(present == ZEPH_STATUS_PENDING || present == ZEPH_STATUS_INVALID_DEVICE_STATE,
           "slot 6 IsPresent after Cancel returns without waiting");
    ExpectStatus(((NoArgumentSlot)slots[7])(extension), ZEPH_STATUS_SUCCESS,
                 "slot 7 IsAbsent without a card");
    ExpectStatus(((GetStateSlot)slots[8])(extension, &state, &protocol), ZEPH_STATUS_SUCCESS,
                 "slot 8 GetState");
    Expect(state == 1 && protocol == 0, "GetState without a card reports absent, protocol 0");
    ExpectStatus(((ControlSlot)slots[10])(extension, 0x42000037u, NULL, 0, buffer, &length),
                 ZEPH_STATUS_NOT_SUPPORTED, "slot 10 Control without a card");
    Expect(((DestructorSlot)slots[0])(extension, 1) == extension,
           "slot 0 returns the object it destroyed");
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: abi_vtable_test MODULE\n");
        return 2;
    }
    ZephGetNewInstanceFn factory = LoadFactory(argv[1]);
    Expect(factory != NULL, "the module exports the factory");
    ZephExtension* extension = factory != NULL ? factory() : NULL;
    Expect(extension != NULL, "the factory returns an instance");
    if (extension == NULL) {
        return 1;
    }
    Expect(strcmp(extension->m_szShortName, "PcSc") == 0, "short name PcSc");
    Expect(extension->m_bHostFlag == 0, "host flag 0");
    Expect(extension->m_bAtrFilter == 1, "ATR filter 1");
    Expect(extension->m_nHostValue == 0, "host value 0");
    Expect(extension->m_pfnNotify == NULL && extension->m_pNotifyContext == NULL,
           "no notification callback");
    CallEverySlot(extension);
    printf("%s\n", failures == 0 ? "all slots answered as expected" : "slot checks failed");
    return failures == 0 ? 0 : 1;
}
