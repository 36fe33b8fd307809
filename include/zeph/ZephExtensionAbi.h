/*
 * Host interface of the ZEPH PC/SC extension module.
 *
 * The host (a virtual smart card reader driver) loads the module, calls its one export
 * ZEPH_Ext_GetNewInstance and talks to the returned object through an eleven-slot virtual table.
 * The layout is fixed explicitly so that a host written in C, or in C++ with the MSVC or the GCC
 * C++ ABI, can use the object:
 *   slot 0      scalar deleting destructor (flags bit 0: free the memory), returns the object
 *   slots 1-10  SetProtocol, Power, GetAttribute, SetAttribute, Transmit, IsPresent, IsAbsent,
 *               GetState, Cancel, Control
 * followed by the public data at fixed offsets. This header serves C and C++ alike: C sees the
 * object as ZephExtension (a pointer to ZephExtensionVtbl plus the data), C++ as the abstract
 * class CZephExtensionAbstract with the same layout. How C++ reaches slot 0 depends on the ABI:
 *   MSVC ABI (MSVC, clang-cl, clang for *-windows-msvc; _MSC_VER)  a public virtual destructor,
 *               which that ABI gives exactly slot 0: the host destroys the object with delete
 *   GCC ABI (g++, MinGW-w64, clang for Linux or *-windows-gnu)     the explicit virtual function
 *               ScalarDeletingDestructor: the host calls ScalarDeletingDestructor(1)
 * The module itself is built with the GCC ABI and implements the explicit slot 0.
 */
#ifndef ZEPH_EXTENSION_ABI_H
#define ZEPH_EXTENSION_ABI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* UTF-16 text as the host passes it: wchar_t on Windows, char16_t on Linux. */
#ifdef _WIN32
typedef wchar_t ZephWChar;
#elif defined(__cplusplus)
typedef char16_t ZephWChar;
#else
typedef uint_least16_t ZephWChar;
#endif

/* Status values of the operations (NTSTATUS and HRESULT values). */
#define ZEPH_STATUS_SUCCESS 0x00000000u
#define ZEPH_STATUS_PENDING 0x00000103u
#define ZEPH_STATUS_NOT_SUPPORTED 0xC00000BBu
#define ZEPH_STATUS_NO_MEDIA 0xC0000178u
#define ZEPH_STATUS_INVALID_DEVICE_STATE 0xC0000184u
#define ZEPH_E_POINTER 0x80004003u

/* Actions of Power. */
#define ZEPH_POWER_DOWN 0u
#define ZEPH_POWER_COLD_RESET 1u
#define ZEPH_POWER_WARM_RESET 2u

/* The module's own reader attributes. */
#define SCARD_ATTR_ZEPH_READER_ACTUAL 0x0007AA01u
#define SCARD_ATTR_ZEPH_READER_MANUAL 0x0007AA02u

/* Send header of Transmit: the Windows SCARD_IO_REQUEST layout on every platform. */
typedef struct ZephSendHeader {
    uint32_t dwProtocol;
    uint32_t cbPciLength;
} ZephSendHeader;

/* Notification record handed to the host's callback; 156 bytes, little-endian. */
#define ZEPH_NOTIFICATION_SIZE 156u
#define ZEPH_NOTIFICATION_TEXT_CAPACITY 128u
#pragma pack(push, 1)
typedef struct ZephNotification {
    uint32_t cbSize;     /* 156 */
    uint32_t nField04;   /* always 1 */
    uint32_t nField08;   /* always 0x400 */
    uint32_t nField0C;   /* always 1 */
    char szShortName[5]; /* the object's short name, zero-terminated */
    uint8_t reserved[3]; /* zero */
    uint32_t cbText;     /* capacity of szText: 128 */
    char szText[128];    /* event text, zero-terminated, rest zero */
} ZephNotification;
#pragma pack(pop)

typedef void (*ZephNotifyCallback)(const ZephNotification* record, void* context);

/* C view of the object. */
typedef struct ZephExtension ZephExtension;
typedef struct ZephExtensionVtbl {
    void* (*ScalarDeletingDestructor)(ZephExtension* self, unsigned int flags);
    uint32_t (*SetProtocol)(ZephExtension* self, uint32_t requested, uint32_t* active);
    uint32_t (*Power)(ZephExtension* self, uint32_t action, uint8_t* atr, uint32_t* atrLength);
    uint32_t (*GetAttribute)(ZephExtension* self, uint32_t id, uint8_t* buffer, uint64_t* length);
    uint32_t (*SetAttribute)(ZephExtension* self, uint32_t id, const uint8_t* buffer,
                             uint32_t length);
    uint32_t (*Transmit)(ZephExtension* self, const ZephSendHeader* sendHeader, const uint8_t* send,
                         uint64_t sendLength, uint8_t* receive, uint64_t* receiveLength);
    uint32_t (*IsPresent)(ZephExtension* self, const ZephWChar* manualReader, uint8_t* atr,
                          uint64_t* atrLength, uint32_t* protocol);
    uint32_t (*IsAbsent)(ZephExtension* self);
    uint32_t (*GetState)(ZephExtension* self, uint32_t* state, uint32_t* protocol);
    void (*Cancel)(ZephExtension* self);
    uint32_t (*Control)(ZephExtension* self, uint32_t code, const uint8_t* input,
                        uint64_t inputLength, uint8_t* output, uint64_t* outputLength);
} ZephExtensionVtbl;

struct ZephExtension {
    const ZephExtensionVtbl* lpVtbl;
    uint8_t m_bHostFlag;
    uint8_t m_bAtrFilter;
    int32_t m_nHostValue;
    ZephNotifyCallback m_pfnNotify;
    void* m_pNotifyContext;
    char m_szShortName[5];
};

#define ZEPH_EXT_FACTORY_NAME "ZEPH_Ext_GetNewInstance"

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(ZephSendHeader) == 8, "send header is 8 bytes");
static_assert(sizeof(ZephNotification) == ZEPH_NOTIFICATION_SIZE, "notification is 156 bytes");
static_assert(offsetof(ZephNotification, szShortName) == 16, "short name at 16");
static_assert(offsetof(ZephNotification, cbText) == 24, "text capacity at 24");
static_assert(offsetof(ZephNotification, szText) == 28, "text at 28");
static_assert(offsetof(ZephExtension, m_bHostFlag) == 8, "host flag at 8");
static_assert(offsetof(ZephExtension, m_bAtrFilter) == 9, "ATR filter at 9");
static_assert(offsetof(ZephExtension, m_nHostValue) == 12, "host value at 12");
static_assert(offsetof(ZephExtension, m_pfnNotify) == 16, "callback at 16");
static_assert(offsetof(ZephExtension, m_pNotifyContext) == 24, "callback context at 24");
static_assert(offsetof(ZephExtension, m_szShortName) == 32, "short name at 32");
static_assert(sizeof(ZephExtensionVtbl) == 11 * sizeof(void*), "eleven slots");

/*
 * C++ view. Under the MSVC ABI a virtual destructor takes one slot, the scalar deleting destructor,
 * at the place of its declaration, and delete calls it with flags 1: so slot 0 is the destructor,
 * public, and the object is destroyed with delete. The GCC ABI would give a virtual destructor two
 * slots (complete and deleting), so there slot 0 is declared as an ordinary virtual function and
 * the destructor stays protected and non-virtual, reached only through slot 0.
 */
class CZephExtensionAbstract {
  public:
#if defined(_MSC_VER)
    virtual ~CZephExtensionAbstract() = default;
#else
    virtual void* ScalarDeletingDestructor(unsigned int flags) = 0;
#endif
    virtual uint32_t SetProtocol(uint32_t requested, uint32_t* active) = 0;
    virtual uint32_t Power(uint32_t action, uint8_t* atr, uint32_t* atrLength) = 0;
    virtual uint32_t GetAttribute(uint32_t id, uint8_t* buffer, uint64_t* length) = 0;
    virtual uint32_t SetAttribute(uint32_t id, const uint8_t* buffer, uint32_t length) = 0;
    virtual uint32_t Transmit(const ZephSendHeader* sendHeader, const uint8_t* send,
                              uint64_t sendLength, uint8_t* receive, uint64_t* receiveLength) = 0;
    virtual uint32_t IsPresent(const ZephWChar* manualReader, uint8_t* atr, uint64_t* atrLength,
                               uint32_t* protocol) = 0;
    virtual uint32_t IsAbsent() = 0;
    virtual uint32_t GetState(uint32_t* state, uint32_t* protocol) = 0;
    virtual void Cancel() = 0;
    virtual uint32_t Control(uint32_t code, const uint8_t* input, uint64_t inputLength,
                             uint8_t* output, uint64_t* outputLength) = 0;

    uint8_t m_bHostFlag;
    uint8_t m_bAtrFilter;
    int32_t m_nHostValue;
    ZephNotifyCallback m_pfnNotify;
    void* m_pNotifyContext;
    char m_szShortName[5];

  protected:
    explicit CZephExtensionAbstract(const char* shortName);
#if !defined(_MSC_VER)
    ~CZephExtensionAbstract() = default;
#endif
    CZephExtensionAbstract(const CZephExtensionAbstract&) = delete;
    CZephExtensionAbstract& operator=(const CZephExtensionAbstract&) = delete;
};

/* The class is not standard-layout (it has a vtable), so offsetof is conditionally supported;
   GCC and Clang support it for this single, non-virtual-base class. */
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
static_assert(offsetof(CZephExtensionAbstract, m_bHostFlag) == 8, "host flag at 8");
static_assert(offsetof(CZephExtensionAbstract, m_bAtrFilter) == 9, "ATR filter at 9");
static_assert(offsetof(CZephExtensionAbstract, m_nHostValue) == 12, "host value at 12");
static_assert(offsetof(CZephExtensionAbstract, m_pfnNotify) == 16, "callback at 16");
static_assert(offsetof(CZephExtensionAbstract, m_pNotifyContext) == 24, "context at 24");
static_assert(offsetof(CZephExtensionAbstract, m_szShortName) == 32, "short name at 32");
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

extern "C" CZephExtensionAbstract* ZEPH_Ext_GetNewInstance();
typedef CZephExtensionAbstract* (*ZephGetNewInstanceFn)();
#else
ZephExtension* ZEPH_Ext_GetNewInstance(void);
typedef ZephExtension* (*ZephGetNewInstanceFn)(void);
#endif

#endif /* ZEPH_EXTENSION_ABI_H */
