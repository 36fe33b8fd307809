// Values of the PC/SC interface as the module speaks it: the WinSCard values on every platform.
// Backends for other PC/SC implementations translate to and from these.
#pragma once

#include <cstdint>

// Results.
constexpr uint32_t SCARD_S_SUCCESS = 0x00000000;
constexpr uint32_t SCARD_F_INTERNAL_ERROR = 0x80100001;
constexpr uint32_t SCARD_E_CANCELLED = 0x80100002;
constexpr uint32_t SCARD_E_INVALID_HANDLE = 0x80100003;
constexpr uint32_t SCARD_E_INVALID_PARAMETER = 0x80100004;
constexpr uint32_t SCARD_E_NO_MEMORY = 0x80100006;
constexpr uint32_t SCARD_E_INSUFFICIENT_BUFFER = 0x80100008;
constexpr uint32_t SCARD_E_UNKNOWN_READER = 0x80100009;
constexpr uint32_t SCARD_E_TIMEOUT = 0x8010000A;
constexpr uint32_t SCARD_E_SHARING_VIOLATION = 0x8010000B;
constexpr uint32_t SCARD_E_NO_SMARTCARD = 0x8010000C;
constexpr uint32_t SCARD_E_UNKNOWN_CARD = 0x8010000D;
constexpr uint32_t SCARD_E_PROTO_MISMATCH = 0x8010000F;
constexpr uint32_t SCARD_E_NOT_READY = 0x80100010;
constexpr uint32_t SCARD_E_INVALID_VALUE = 0x80100011;
constexpr uint32_t SCARD_E_SYSTEM_CANCELLED = 0x80100012;
constexpr uint32_t SCARD_F_COMM_ERROR = 0x80100013;
constexpr uint32_t SCARD_F_UNKNOWN_ERROR = 0x80100014;
constexpr uint32_t SCARD_E_NOT_TRANSACTED = 0x80100016;
constexpr uint32_t SCARD_E_READER_UNAVAILABLE = 0x80100017;
constexpr uint32_t SCARD_E_NO_SERVICE = 0x8010001D;
constexpr uint32_t SCARD_E_SERVICE_STOPPED = 0x8010001E;
constexpr uint32_t SCARD_E_UNSUPPORTED_FEATURE = 0x80100022;
constexpr uint32_t SCARD_E_NO_READERS_AVAILABLE = 0x8010002E;
constexpr uint32_t SCARD_E_COMM_DATA_LOST = 0x8010002F;
constexpr uint32_t SCARD_W_UNRESPONSIVE_CARD = 0x80100066;
constexpr uint32_t SCARD_W_UNPOWERED_CARD = 0x80100067;
constexpr uint32_t SCARD_W_RESET_CARD = 0x80100068;
constexpr uint32_t SCARD_W_REMOVED_CARD = 0x80100069;
constexpr uint32_t ERROR_IO_DEVICE_RESULT = 1117;    // Windows ERROR_IO_DEVICE
constexpr uint32_t ERROR_FILE_NOT_FOUND_RESULT = 2;  // Windows ERROR_FILE_NOT_FOUND

// Context scope, share modes, protocols, dispositions.
constexpr uint32_t SCARD_SCOPE_SYSTEM = 2;
constexpr uint32_t SCARD_SHARE_EXCLUSIVE = 1;
constexpr uint32_t SCARD_SHARE_SHARED = 2;
constexpr uint32_t SCARD_SHARE_DIRECT = 3;
constexpr uint32_t SCARD_PROTOCOL_UNDEFINED = 0;
constexpr uint32_t SCARD_PROTOCOL_T0 = 1;
constexpr uint32_t SCARD_PROTOCOL_T1 = 2;
constexpr uint32_t SCARD_PROTOCOL_RAW = 0x10000;
constexpr uint32_t SCARD_LEAVE_CARD = 0;
constexpr uint32_t SCARD_RESET_CARD = 1;
constexpr uint32_t SCARD_UNPOWER_CARD = 2;
constexpr uint32_t SCARD_EJECT_CARD = 3;

// Card states of SCardStatus: an ordinal.
constexpr uint32_t SCARD_UNKNOWN = 0;
constexpr uint32_t SCARD_ABSENT = 1;
constexpr uint32_t SCARD_PRESENT = 2;
constexpr uint32_t SCARD_SWALLOWED = 3;
constexpr uint32_t SCARD_POWERED = 4;
constexpr uint32_t SCARD_NEGOTIABLE = 5;
constexpr uint32_t SCARD_SPECIFIC = 6;

// Reader state flags; the event count lives in the high 16 bits.
constexpr uint32_t SCARD_STATE_UNAWARE = 0x0000;
constexpr uint32_t SCARD_STATE_IGNORE = 0x0001;
constexpr uint32_t SCARD_STATE_CHANGED = 0x0002;
constexpr uint32_t SCARD_STATE_UNKNOWN = 0x0004;
constexpr uint32_t SCARD_STATE_UNAVAILABLE = 0x0008;
constexpr uint32_t SCARD_STATE_EMPTY = 0x0010;
constexpr uint32_t SCARD_STATE_PRESENT = 0x0020;
constexpr uint32_t SCARD_STATE_ATRMATCH = 0x0040;
constexpr uint32_t SCARD_STATE_EXCLUSIVE = 0x0080;
constexpr uint32_t SCARD_STATE_INUSE = 0x0100;
constexpr uint32_t SCARD_STATE_MUTE = 0x0200;
constexpr uint32_t SCARD_STATE_UNPOWERED = 0x0400;

constexpr uint32_t SCARD_INFINITE = 0xFFFFFFFF;
constexpr uint32_t SCARD_ATR_CAPACITY = 36;

// The pseudo-reader whose state reports readers arriving and leaving; its state carries the
// number of readers in bits 16 and up.
inline constexpr const char16_t* kPnPNotificationReader = u"\\\\?PnP?\\Notification";
