// The registry calls over the hive files. An open key is only a name (its hive
// and its path); the data always comes from the file, so there is no cache to
// go stale when another process writes. Calls that change the hive hold its
// lock from reading to writing; calls that only read take none (hive_file.h).
#include "platform/registry/registry.h"

#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>

#include "platform/core/file_owner.h"
#include "platform/fs/device_root.h"
#include "platform/registry/hive_file.h"
#include "platform/registry/hive_watch.h"

namespace {

namespace hive = platform::hive;

struct OpenKey {
    HKEY root;           // HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER
    std::u16string path; // "HKEY_LOCAL_MACHINE\Software\..." as the hive file names it
};

struct RegistryState {
    std::mutex mutex;
    std::map<UINT_PTR, OpenKey> keys;
    UINT_PTR nextHandle = 0x5E60;
    std::optional<std::u16string> failingValue;
    std::function<void(const platform::HiveChange&)> observer;
};

RegistryState& State() {
    static RegistryState state;
    return state;
}

std::u16string_view RootName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) {
        return u"HKEY_LOCAL_MACHINE";
    }
    if (root == HKEY_CURRENT_USER) {
        return u"HKEY_CURRENT_USER";
    }
    return {};
}

// The open key a handle names: a root key names itself.
std::optional<OpenKey> Resolve(HKEY key) {
    if (!RootName(key).empty()) {
        return OpenKey{key, std::u16string(RootName(key))};
    }
    std::lock_guard lock(State().mutex);
    auto found = State().keys.find(reinterpret_cast<UINT_PTR>(key));
    if (found == State().keys.end()) {
        return std::nullopt;
    }
    return found->second;
}

// Appends a relative key name to an open key's path; false for empty parts or
// names a hive file cannot hold.
bool Extend(OpenKey& key, LPCWSTR subKey) {
    if (subKey == nullptr || subKey[0] == u'\0') {
        return true;
    }
    std::u16string_view name(subKey);
    if (name.back() == u'\\') {
        name.remove_suffix(1); // a trailing separator is tolerated, as on the device
    }
    if (name.empty() || name.front() == u'\\' || name.find(u"\\\\") != std::u16string_view::npos ||
        !hive::IsStorableName(name)) {
        return false;
    }
    key.path += u'\\';
    key.path += name;
    return true;
}

HKEY NewHandle(OpenKey key) {
    std::lock_guard lock(State().mutex);
    UINT_PTR handle = State().nextHandle;
    State().nextHandle += 4;
    State().keys.emplace(handle, std::move(key));
    return reinterpret_cast<HKEY>(handle);
}

enum class HiveUse { Read, Change };

// The hive file of a root; for a change, its folder is created on the way.
std::optional<std::string> HivePath(HKEY root, HiveUse use) {
    std::string deviceRoot;
    if (!platform::UsableDeviceRoot(deviceRoot)) {
        return std::nullopt;
    }
    std::string folder = deviceRoot + "/registry";
    if (use == HiveUse::Change) {
        platform::MakeOwnedFolder(folder, 0700);
    }
    std::u16string_view name = RootName(root);
    return folder + "/" + std::string(name.begin(), name.end()) + ".reg";
}

// Locks and reads the hive of `root` for a change; the file stays locked while
// `file` lives. A hive that cannot be locked is read all the same, and refuses
// changes.
LONG LoadHive(HKEY root, std::optional<hive::HiveFile>& file, hive::Document& document) {
    std::optional<std::string> path = HivePath(root, HiveUse::Change);
    if (!path) {
        return ERROR_PATH_NOT_FOUND;
    }
    file.emplace(*path);
    file->Lock();
    return file->Load(document);
}

// Reads the hive of `root` for a call that changes nothing.
LONG ReadHive(HKEY root, hive::Document& document) {
    std::optional<std::string> path = HivePath(root, HiveUse::Read);
    if (!path) {
        return ERROR_PATH_NOT_FOUND;
    }
    hive::HiveFile file(*path);
    return file.Read(document);
}

// Tells the observer what became of a change of the hive of `root`.
LONG Changed(HKEY root, LONG result, const std::optional<hive::HiveFile>& file) {
    std::function<void(const platform::HiveChange&)> observer;
    {
        std::lock_guard lock(State().mutex);
        observer = State().observer;
    }
    if (observer) {
        std::string problem;
        if (result != ERROR_SUCCESS) {
            problem = file && !file->Problem().empty() ? file->Problem()
                      : result == ERROR_PATH_NOT_FOUND ? "the device root cannot be used"
                                                       : "error " + std::to_string(result);
        }
        observer({platform::HiveFilePath(root), result, problem});
    }
    return result;
}

bool IsRootPath(const OpenKey& key) {
    return key.path == RootName(key.root);
}

bool TakeWriteFailure(std::u16string_view name) {
    std::lock_guard lock(State().mutex);
    std::optional<std::u16string>& failing = State().failingValue;
    if (failing && hive::NamesEqual(*failing, name)) {
        failing.reset();
        return true;
    }
    return false;
}

LONG OpenOrCreate(HKEY key, LPCWSTR subKey, PHKEY result, bool create, LPDWORD disposition) {
    std::optional<OpenKey> target = Resolve(key);
    if (!target || RootName(target->root).empty()) {
        return ERROR_INVALID_HANDLE;
    }
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!Extend(*target, subKey)) {
        return ERROR_BAD_PATHNAME;
    }
    std::optional<hive::HiveFile> file;
    hive::Document document;
    LONG status =
        create ? LoadHive(target->root, file, document) : ReadHive(target->root, document);
    if (status != ERROR_SUCCESS) {
        return create ? Changed(target->root, status, file) : status;
    }
    bool exists = IsRootPath(*target) || hive::KeyExists(document, target->path);
    if (!exists && !create) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (!exists) {
        hive::AddKey(document, target->path);
        status = Changed(target->root, file->Save(document), file);
        if (status != ERROR_SUCCESS) {
            return status;
        }
    }
    if (disposition != nullptr) {
        *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    }
    *result = NewHandle(std::move(*target));
    return ERROR_SUCCESS;
}

} // namespace

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
    return OpenOrCreate(key, subKey, result, false, nullptr);
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     PHKEY result, LPDWORD disposition) {
    return OpenOrCreate(key, subKey, result, true, disposition);
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    std::optional<OpenKey> target = Resolve(key);
    if (!target || RootName(target->root).empty()) {
        return ERROR_INVALID_HANDLE;
    }
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    hive::Document document;
    LONG status = ReadHive(target->root, document);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const hive::Key* stored = hive::FindKey(document, target->path);
    const hive::Value* value =
        stored == nullptr ? nullptr
                          : hive::FindValue(*stored, valueName != nullptr ? valueName : u"");
    if (value == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    auto size = static_cast<DWORD>(value->data.size());
    if (data != nullptr && *dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr && size > 0) {
        std::memcpy(data, value->data.data(), size);
    }
    if (dataSize != nullptr) {
        *dataSize = size;
    }
    return ERROR_SUCCESS;
}

namespace {

std::function<void(const platform::ValueWrite&)>& ValueWriteObserver() {
    static std::function<void(const platform::ValueWrite&)> observer;
    return observer;
}

void TellValueWrite(const platform::ValueWrite& write) {
    if (ValueWriteObserver()) {
        ValueWriteObserver()(write);
    }
}

} // namespace

void platform::SetValueWriteObserver(std::function<void(const ValueWrite&)> observer) {
    ValueWriteObserver() = std::move(observer);
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data,
                    DWORD dataSize) {
    std::optional<OpenKey> target = Resolve(key);
    if (!target || RootName(target->root).empty()) {
        return ERROR_INVALID_HANDLE;
    }
    std::u16string_view name = valueName != nullptr ? valueName : u"";
    if ((data == nullptr && dataSize > 0) || !hive::IsStorableName(name)) {
        return ERROR_INVALID_PARAMETER;
    }
    std::optional<hive::HiveFile> file;
    if (TakeWriteFailure(name)) {
        return Changed(target->root, ERROR_WRITE_FAULT, file);
    }
    hive::Document document;
    LONG status = LoadHive(target->root, file, document);
    if (status != ERROR_SUCCESS) {
        return Changed(target->root, status, file);
    }
    // A key removed from the file by hand while open comes back with the value.
    hive::Key& stored = hive::AddKey(document, target->path);
    std::vector<BYTE> bytes =
        data != nullptr ? std::vector<BYTE>(data, data + dataSize) : std::vector<BYTE>();
    std::optional<hive::Value> before;
    if (const hive::Value* old = hive::FindValue(stored, name)) {
        before = *old;
    }
    hive::SetValue(stored, name, type, bytes);
    status = file->Save(document);
    if (status == ERROR_SUCCESS) {
        platform::NoteOwnRegistryWrite(target->root, target->path, name, type, bytes);
        TellValueWrite({target->path, name, before.has_value(), before ? before->type : REG_NONE,
                        before ? &before->data : nullptr, type, &bytes});
    }
    return Changed(target->root, status, file);
}

LONG RegCloseKey(HKEY key) {
    if (!RootName(key).empty()) {
        return ERROR_SUCCESS;
    }
    std::lock_guard lock(State().mutex);
    return State().keys.erase(reinterpret_cast<UINT_PTR>(key)) == 1 ? ERROR_SUCCESS
                                                                    : ERROR_INVALID_HANDLE;
}

namespace platform {

void FailNextRegistryWrite(std::u16string_view valueName) {
    std::lock_guard lock(State().mutex);
    State().failingValue = std::u16string(valueName);
}

void ClearRegistryWriteFailure() {
    std::lock_guard lock(State().mutex);
    State().failingValue.reset();
}

void SetHiveLockPatience(std::chrono::milliseconds patience) {
    hive::SetLockPatience(patience);
}

void SetHiveChangeObserver(std::function<void(const HiveChange&)> observer) {
    std::lock_guard lock(State().mutex);
    State().observer = std::move(observer);
}

std::string HiveFilePath(HKEY rootKey) {
    std::u16string_view name = RootName(rootKey);
    std::string deviceRoot = DeviceRoot();
    if (name.empty() || deviceRoot.empty()) {
        return "";
    }
    return deviceRoot + "/registry/" + std::string(name.begin(), name.end()) + ".reg";
}

} // namespace platform
