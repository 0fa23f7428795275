// The registry: keys and typed values in two hives, HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER, each kept in one file of the device root
// (<root>/registry/HKEY_LOCAL_MACHINE.reg, <root>/registry/HKEY_CURRENT_USER.reg;
// format in platform/registry/hive_format.h, writing in platform/registry/hive_file.h).
//
// Every call reads the hive file afresh, so what another process of the same
// device root wrote is seen at once. Changes are made in memory and reach the
// disk in one write when a key they were made through is closed (RegCloseKey)
// or flushed (RegFlushKey); from the first change until then the hive stays
// locked, and this process's own reads see its changes. A hive whose text
// would not change is not written. Values keep their type and their exact bytes. Access masks are
// accepted and not enforced, as on the device. Results are Win32 error codes
// (ERROR_SUCCESS on success); the calls do not set the last-error value.
#pragma once

#include <chrono>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/types.h"

using REGSAM = DWORD;
using PHKEY = HKEY*;

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<UINT_PTR>(0x80000000));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<UINT_PTR>(0x80000001));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<UINT_PTR>(0x80000002));
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(static_cast<UINT_PTR>(0x80000003));

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access masks (accepted, not enforced).
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x00020019;
constexpr REGSAM KEY_WRITE = 0x00020006;
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// Options and dispositions of RegCreateKeyExW.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0x0000;
constexpr DWORD REG_OPTION_VOLATILE = 0x0001;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_KEY_DELETED = 1018;

// Opens an existing key below `key` (a root key or an open key); a null or
// empty `subKey` opens `key` itself again. ERROR_FILE_NOT_FOUND when the key
// does not exist, ERROR_INVALID_HANDLE for an unknown `key` or a root other than
// the two hives, ERROR_BAD_PATHNAME for an empty name part ("a\\b", "\a").
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);

// Opens a key, creating it (and, implicitly, its parents) when missing. The
// class, options and security attributes are accepted and ignored. Sets
// *disposition (when not null) to REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition);

// Reads a value (a null or empty name is the key's default value). *type gets
// the value's type when `type` is not null. With `data` null, *dataSize gets the
// value's size in bytes. With `data` given, *dataSize is the buffer's capacity:
// when the value fits, its bytes are copied and *dataSize becomes their number;
// when it does not, the result is ERROR_MORE_DATA, *dataSize gets the size needed
// and the buffer is left untouched. ERROR_FILE_NOT_FOUND when there is no such
// value (or the key has since been removed from the hive file).
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);

// Stores a value with exactly the given type and bytes, creating it or
// replacing it; on disk once `key` is closed or flushed (through a root key:
// when the call returns). ERROR_INVALID_PARAMETER for data null with a nonzero
// size or a name with a line break; ERROR_ACCESS_DENIED (or ERROR_TIMEOUT) when
// the hive cannot be changed at all, being read-only or locked, and
// ERROR_READ_FAULT when it cannot be read (nothing changed then).
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);

// Writes the changes made through `key` (a root key: all of its hive's) and
// those of other keys of the same hive with them, then lets go of the hive's
// lock. ERROR_WRITE_FAULT when the hive cannot be written (the file on disk is
// then untouched and the changes are dropped).
LONG RegFlushKey(HKEY key);

// Closes `key`, writing its changes first as RegFlushKey does; the key is
// closed whatever that write gives back.
LONG RegCloseKey(HKEY key);

namespace platform {

// Test seam: the next RegSetValueExW of a value with this name (compared as the
// registry compares names) fails with ERROR_WRITE_FAULT and writes nothing. The
// seam is then spent. ClearRegistryWriteFailure drops a failure not yet spent.
void FailNextRegistryWrite(std::u16string_view valueName);
void ClearRegistryWriteFailure();

// The host file of a hive, for tests and diagnostics: "<root>/registry/<name>.reg".
std::string HiveFilePath(HKEY rootKey);

// What became of a change of a hive: a RegSetValueExW or RegCreateKeyExW that
// could not change it, and the write when a changed key is closed or flushed
// (not said as a success when a change before it was refused): its result, and
// when it failed, why in words ("No space left on
// device", "it stays locked by another process").
struct HiveChange {
    std::string hiveFile;
    LONG result = ERROR_SUCCESS;
    std::string problem;
};

// How long a change waits for the lock another process holds on its hive (10 s
// unless set). With none, a change of a locked hive fails at once with
// ERROR_TIMEOUT and "it is locked by another process", to be tried again later.
void SetHiveLockPatience(std::chrono::milliseconds patience);

// Told of every such call (an empty observer removes it). The registry itself
// says no more than its debug lines: the program turns a failed change into a
// notice to the person, a tool into its own error.
void SetHiveChangeObserver(std::function<void(const HiveChange&)> observer);

// A value that RegSetValueExW changed: its key ("HKEY_LOCAL_MACHINE\Software\...")
// and name, and its type and bytes before (`existed` false when it had none)
// and after.
struct ValueWrite {
    std::u16string_view keyPath;
    std::u16string_view name;
    bool existed = false;
    DWORD oldType = REG_NONE;
    const std::vector<BYTE>* oldData = nullptr;
    DWORD newType = REG_NONE;
    const std::vector<BYTE>* newData = nullptr;
};

// Told of every value whose type or bytes changed on disk, once written
// (an empty observer removes it), so that
// a change of a setting can be traced whoever made it.
void SetValueWriteObserver(std::function<void(const ValueWrite&)> observer);

} // namespace platform
