// The registry calls over the hive files. An open key is only a name (its hive
// and its path); the data comes from the file, so there is no cache to go stale
// when another process writes. Calls that only read take no lock (hive_file.h).
//
// A change is made in memory: the first one locks and reads the hive, later
// ones of the same process add to it, and the hive is written once, when a key
// that was changed through is closed or flushed, and only when its text differs
// from what was read. Until then the lock stays held, so nobody else's write
// lands in between, and this process's reads see its own changes.
#include "platform/registry/registry.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

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

// A value changed in a change in progress, and what it was before.
struct ChangedValue {
    std::u16string keyPath;
    std::u16string name;
    std::optional<hive::Value> before;
};

// The changes this process has made to one hive and not yet written: the hive
// is locked (held by `file`) from the first of them until they are written.
struct PendingChange {
    std::unique_ptr<hive::HiveFile> file;
    std::string readText; // the hive as it was read, serialized
    hive::Document document;
    std::vector<ChangedValue> values;
    std::set<UINT_PTR> writers; // the open keys the changes were made through
    bool refused = false;       // a change among them failed
};

struct RegistryState {
    std::mutex mutex;
    // Taken before `mutex` when both are needed, never after it.
    std::mutex changeMutex;
    std::map<HKEY, PendingChange> pending;
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

std::function<void(const platform::ValueWrite&)>& ValueWriteObserver() {
    static std::function<void(const platform::ValueWrite&)> observer;
    return observer;
}

void TellValueWrite(const platform::ValueWrite& write) {
    if (ValueWriteObserver()) {
        ValueWriteObserver()(write);
    }
}

// Reads the hive of `root` for a call that changes nothing: with this
// process's changes not written yet, when there are any.
LONG ReadHive(HKEY root, hive::Document& document) {
    {
        std::lock_guard lock(State().changeMutex);
        auto found = State().pending.find(root);
        if (found != State().pending.end()) {
            document = found->second.document;
            return ERROR_SUCCESS;
        }
    }
    std::optional<std::string> path = HivePath(root, HiveUse::Read);
    if (!path) {
        return ERROR_PATH_NOT_FOUND;
    }
    hive::HiveFile file(*path);
    return file.Read(document);
}

// Tells the observer what became of a change of the hive of `root`.
LONG Changed(HKEY root, LONG result, const std::string& why) {
    std::function<void(const platform::HiveChange&)> observer;
    {
        std::lock_guard lock(State().mutex);
        observer = State().observer;
    }
    if (observer) {
        std::string problem;
        if (result != ERROR_SUCCESS) {
            problem = !why.empty()                     ? why
                      : result == ERROR_PATH_NOT_FOUND ? "the device root cannot be used"
                                                       : "error " + std::to_string(result);
        }
        observer({platform::HiveFilePath(root), result, problem});
    }
    return result;
}

// The change in progress on the hive of `root` (changeMutex held): begun, by
// locking and reading the hive, when there is none. Null, with the reason in
// `status` and `why`, when the hive cannot be changed.
PendingChange* BeginChange(HKEY root, LONG& status, std::string& why) {
    auto found = State().pending.find(root);
    if (found != State().pending.end()) {
        status = ERROR_SUCCESS;
        return &found->second;
    }
    std::optional<std::string> path = HivePath(root, HiveUse::Change);
    if (!path) {
        status = ERROR_PATH_NOT_FOUND;
        return nullptr;
    }
    auto [begun, added] = State().pending.try_emplace(root);
    PendingChange& change = begun->second;
    change.file = std::make_unique<hive::HiveFile>(*path);
    change.file->Lock();
    status = change.file->Load(change.document);
    if (status == ERROR_SUCCESS) {
        status = change.file->Changeable();
    }
    if (status != ERROR_SUCCESS) {
        why = change.file->Problem();
        State().pending.erase(begun);
        return nullptr;
    }
    change.readText = hive::Serialize(change.document);
    return &change;
}

// BeginChange for a caller holding `lock` on changeMutex: when the hive cannot be
// changed, the lock is let go, the observer is told why, and null comes back with
// the result for the caller in `refusal`.
PendingChange* BeginChangeOrSay(std::unique_lock<std::mutex>& lock, HKEY root, LONG& refusal) {
    LONG status = ERROR_SUCCESS;
    std::string why;
    PendingChange* change = BeginChange(root, status, why);
    if (change == nullptr) {
        lock.unlock();
        refusal = Changed(root, status, why);
    }
    return change;
}

// Lets go of a change in progress that no key made yet (changeMutex held).
void DropIfUnused(HKEY root) {
    auto found = State().pending.find(root);
    if (found != State().pending.end() && found->second.writers.empty()) {
        State().pending.erase(found);
    }
}

// Writes the changes made to the hive of `root` through `handle` (any, when
// `handle` is 0), together with those made through other keys of the same
// hive: once, and not at all when the hive's text stays the same. The lock is
// let go after. Whoever watches the registry is told after changeMutex is
// released, as they may call it again.
LONG WriteChanges(HKEY root, UINT_PTR handle) {
    std::unique_lock lock(State().changeMutex);
    auto found = State().pending.find(root);
    if (found == State().pending.end() ||
        (handle != 0 && found->second.writers.count(handle) == 0)) {
        return ERROR_SUCCESS;
    }
    PendingChange change = std::move(found->second);
    State().pending.erase(found);
    LONG status = ERROR_SUCCESS;
    if (hive::Serialize(change.document) != change.readText) {
        status = change.file->Save(change.document);
    }
    std::string why = change.file->Problem();
    change.file.reset();
    lock.unlock();
    if (status != ERROR_SUCCESS) {
        return Changed(root, status, why);
    }
    for (const ChangedValue& value : change.values) {
        const hive::Key* key = hive::FindKey(change.document, value.keyPath);
        const hive::Value* after = key ? hive::FindValue(*key, value.name) : nullptr;
        if (after == nullptr) {
            continue;
        }
        platform::NoteOwnRegistryWrite(root, value.keyPath, value.name, after->type, after->data);
        if (!value.before || value.before->type != after->type ||
            value.before->data != after->data) {
            TellValueWrite({value.keyPath, value.name, value.before.has_value(),
                            value.before ? value.before->type : REG_NONE,
                            value.before ? &value.before->data : nullptr, after->type,
                            &after->data});
        }
    }
    // A change that was refused on the way is not made good by the rest
    // reaching the disk.
    return change.refused ? ERROR_SUCCESS : Changed(root, ERROR_SUCCESS, "");
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
    if (!create) {
        hive::Document document;
        LONG status = ReadHive(target->root, document);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        if (!IsRootPath(*target) && !hive::KeyExists(document, target->path)) {
            return ERROR_FILE_NOT_FOUND;
        }
        *result = NewHandle(std::move(*target));
        return ERROR_SUCCESS;
    }
    std::unique_lock lock(State().changeMutex);
    LONG refusal = ERROR_SUCCESS;
    PendingChange* change = BeginChangeOrSay(lock, target->root, refusal);
    if (change == nullptr) {
        return refusal;
    }
    bool exists = IsRootPath(*target) || hive::KeyExists(change->document, target->path);
    if (!exists) {
        hive::AddKey(change->document, target->path);
    }
    HKEY root = target->root;
    *result = NewHandle(std::move(*target));
    if (exists) {
        DropIfUnused(root);
    } else {
        change->writers.insert(reinterpret_cast<UINT_PTR>(*result));
    }
    if (disposition != nullptr) {
        *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    }
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
    std::unique_lock lock(State().changeMutex);
    if (TakeWriteFailure(name)) {
        auto pending = State().pending.find(target->root);
        if (pending != State().pending.end()) {
            pending->second.refused = true;
        }
        lock.unlock();
        return Changed(target->root, ERROR_WRITE_FAULT, "");
    }
    LONG refusal = ERROR_SUCCESS;
    PendingChange* change = BeginChangeOrSay(lock, target->root, refusal);
    if (change == nullptr) {
        return refusal;
    }
    // A key removed from the file by hand while open comes back with the value.
    hive::Key& stored = hive::AddKey(change->document, target->path);
    bool seen = false;
    for (const ChangedValue& value : change->values) {
        seen = seen || (hive::NamesEqual(value.keyPath, target->path) &&
                        hive::NamesEqual(value.name, name));
    }
    if (!seen) {
        const hive::Value* old = hive::FindValue(stored, name);
        change->values.push_back({target->path, std::u16string(name),
                                  old ? std::optional<hive::Value>(*old) : std::nullopt});
    }
    hive::SetValue(stored, name, type,
                   data != nullptr ? std::vector<BYTE>(data, data + dataSize)
                                   : std::vector<BYTE>());
    auto handle = reinterpret_cast<UINT_PTR>(key);
    change->writers.insert(handle);
    lock.unlock();
    // A root key is never closed: a change through one is written at once.
    return RootName(key).empty() ? ERROR_SUCCESS : WriteChanges(target->root, handle);
}

LONG RegFlushKey(HKEY key) {
    std::optional<OpenKey> target = Resolve(key);
    if (!target || RootName(target->root).empty()) {
        return ERROR_INVALID_HANDLE;
    }
    // Flushing a root key writes whatever is pending in its hive.
    return WriteChanges(target->root, RootName(key).empty() ? reinterpret_cast<UINT_PTR>(key) : 0);
}

LONG RegCloseKey(HKEY key) {
    if (!RootName(key).empty()) {
        return ERROR_SUCCESS;
    }
    auto handle = reinterpret_cast<UINT_PTR>(key);
    std::optional<OpenKey> closed;
    {
        std::lock_guard lock(State().mutex);
        auto found = State().keys.find(handle);
        if (found == State().keys.end()) {
            return ERROR_INVALID_HANDLE;
        }
        closed = found->second;
        State().keys.erase(found);
    }
    return WriteChanges(closed->root, handle);
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
