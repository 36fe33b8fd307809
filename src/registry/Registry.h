// The registry seam, read only: keys under HKEY_LOCAL_MACHINE in the 64-bit or the 32-bit view,
// their values and their subkeys, with the answers of the Windows registry functions (Windows
// error codes, ERROR_MORE_DATA with the needed size for a buffer that is too small).
//
// Backends: the Windows registry (win32/Win32Registry.h); on Linux a file in the registry export
// format (posix/RegFileRegistry.h); in tests an in-memory registry. The portable backends compare
// key and value names without regard to ASCII case and show the 32-bit view of
// HKEY_LOCAL_MACHINE\SOFTWARE under SOFTWARE\WOW6432Node, as 64-bit Windows does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Windows error codes the registry answers with (winerror.h).
inline constexpr uint32_t kRegistrySuccess = 0;            // ERROR_SUCCESS
inline constexpr uint32_t kRegistryFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
inline constexpr uint32_t kRegistryAccessDenied = 5;       // ERROR_ACCESS_DENIED
inline constexpr uint32_t kRegistryInvalidHandle = 6;      // ERROR_INVALID_HANDLE
inline constexpr uint32_t kRegistryInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
inline constexpr uint32_t kRegistryBadPathname = 161;      // ERROR_BAD_PATHNAME
inline constexpr uint32_t kRegistryMoreData = 234;         // ERROR_MORE_DATA
inline constexpr uint32_t kRegistryNoMoreItems = 259;      // ERROR_NO_MORE_ITEMS

// Value types with their Windows numbers (REG_*). A value may carry any other number too.
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;

// Access rights of an opened key (KEY_QUERY_VALUE, KEY_ENUMERATE_SUB_KEYS); nothing else may be
// asked for.
inline constexpr uint32_t kKeyQueryValue = 0x0001;
inline constexpr uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr uint32_t kKeyRead = kKeyQueryValue | kKeyEnumerateSubKeys;

// The view of HKEY_LOCAL_MACHINE a key is opened in (KEY_WOW64_64KEY, KEY_WOW64_32KEY).
enum class RegistryView { Bit64, Bit32 };

// A value as stored: its type and its bytes (strings as UTF-16LE with their terminator).
struct RegistryValue {
    uint32_t type = kRegNone;
    std::vector<uint8_t> data;

    bool operator==(const RegistryValue&) const = default;
};

// What a backend implements for one opened key. Calls follow RegQueryValueExW, RegQueryInfoKeyW
// and RegEnumKeyExW; the key itself is closed when the object is destroyed.
class RegistryKeyBackend {
  public:
    virtual ~RegistryKeyBackend() = default;

    virtual uint32_t QueryValue(std::u16string_view name, uint32_t* type, uint8_t* data,
                                uint32_t* size) const = 0;
    virtual uint32_t QuerySubKeyCount(uint32_t& count) const = 0;
    virtual uint32_t EnumSubKey(uint32_t index, std::u16string& name) const = 0;
};

// An opened key; closed when it goes out of scope. Calls on a key that is not open answer
// ERROR_INVALID_HANDLE.
class RegistryKey {
  public:
    RegistryKey() = default;
    explicit RegistryKey(std::unique_ptr<RegistryKeyBackend> backend)
        : m_backend(std::move(backend)) {}

    bool IsOpen() const { return m_backend != nullptr; }
    void Close() { m_backend.reset(); }

    // RegQueryValueExW: `name` empty for the default value. `type` may be null. `data` may be
    // null to ask for type and size only; then `size` receives the value's size. Otherwise
    // `*size` is the capacity of `data` on entry and the value's size on return; a capacity
    // that is too small answers ERROR_MORE_DATA and copies nothing. A missing value answers
    // ERROR_FILE_NOT_FOUND; `size` null with `data` not null, ERROR_INVALID_PARAMETER.
    uint32_t QueryValue(std::u16string_view name, uint32_t* type, uint8_t* data,
                        uint32_t* size) const;
    // The whole value, whatever its size.
    uint32_t ReadValue(std::u16string_view name, RegistryValue& value) const;

    // The number of direct subkeys (needs kKeyQueryValue).
    uint32_t SubKeyCount(uint32_t& count) const;
    // The name of the direct subkey at `index` (needs kKeyEnumerateSubKeys); ERROR_NO_MORE_ITEMS
    // past the last one. The order is the backend's and stays fixed while the key is open.
    uint32_t EnumSubKey(uint32_t index, std::u16string& name) const;

  private:
    std::unique_ptr<RegistryKeyBackend> m_backend;
};

class RegistryApi {
  public:
    virtual ~RegistryApi() = default;

    // RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, ...) in the view. `key` is closed first and
    // holds the opened key on success. `access` combines kKeyQueryValue and
    // kKeyEnumerateSubKeys; any other right answers ERROR_INVALID_PARAMETER. The subkey path
    // ends at its first NUL character; a path that begins with a backslash answers
    // ERROR_BAD_PATHNAME, a key that does not exist ERROR_FILE_NOT_FOUND.
    uint32_t OpenLocalMachineKey(std::u16string_view subKey, RegistryView view, uint32_t access,
                                 RegistryKey& key);

  protected:
    // Called with a checked access mask and a path without NUL characters.
    virtual uint32_t OpenKey(std::u16string_view subKey, RegistryView view, uint32_t access,
                             std::unique_ptr<RegistryKeyBackend>& key) = 0;
};

// The registry of the platform the module runs on: the Windows registry on Windows, the
// registry file (posix/RegFileRegistry.h) on Linux.
RegistryApi& PlatformRegistry();
