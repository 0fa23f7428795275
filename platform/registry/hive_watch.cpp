#include "platform/registry/hive_watch.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/inotify.h>
#include <sys/stat.h>

#include "platform/core/errors.h"
#include "platform/core/fd_io.h"
#include "platform/core/file_owner.h"
#include "platform/core/system.h"
#include "platform/core/unique_fd.h"
#include "platform/loop/wait_source_handle.h"
#include "platform/registry/hive_format.h"
#include "platform/registry/registry.h"

namespace platform {
namespace {

// The events of a file finished by its writer: closed after writing, or renamed
// into place (how editors, sed -i and this program's registry replace a file).
constexpr std::uint32_t kFinished = IN_CLOSE_WRITE | IN_MOVED_TO;

std::u16string RootName(HKEY root) {
    return root == HKEY_CURRENT_USER ? u"HKEY_CURRENT_USER" : u"HKEY_LOCAL_MACHINE";
}

struct Watch {
    HKEY root = nullptr;
    std::u16string keyPath; // as the hive file names it, with its root
    std::string file;       // the hive file
    std::string fileName;   // its name in the registry folder
    RegistryChangeHandler handler;
    std::vector<hive::Value> seen; // name, type and data as last seen or written
    UniqueFd inotify;
    WaitSourceHandle source; // removed before the descriptor closes
    bool handing = false;    // the handler runs: later events wait for it to return
};

std::unique_ptr<Watch>& Current() {
    static std::unique_ptr<Watch> watch;
    return watch;
}

// The watched key's values in the hive file now; nothing when the file cannot
// be read or parsed (it may be half written: the next event looks again).
std::optional<std::vector<hive::Value>> ValuesOnDisk(const Watch& watch) {
    UniqueFd fd(::open(watch.file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
        return errno == ENOENT ? std::optional<std::vector<hive::Value>>(std::in_place)
                               : std::nullopt;
    }
    std::string text;
    if (!ReadAll(fd.Get(), text)) {
        return std::nullopt;
    }
    hive::ParseError error;
    std::optional<hive::Document> document = hive::Parse(text, error);
    if (!document) {
        DebugLine("registry file " + watch.file + " changed but does not parse (line " +
                  std::to_string(error.line) + ": " + error.reason +
                  "); its values are taken once it does");
        return std::nullopt;
    }
    const hive::Key* key = hive::FindKey(*document, watch.keyPath);
    return key != nullptr ? key->values : std::vector<hive::Value>();
}

bool SameData(const hive::Value& left, const hive::Value& right) {
    return left.type == right.type && left.data == right.data;
}

void Look(Watch& watch) {
    std::optional<std::vector<hive::Value>> values = ValuesOnDisk(watch);
    if (!values) {
        return;
    }
    std::vector<ChangedValue> changed;
    for (const hive::Value& value : *values) {
        const hive::Value* before = nullptr;
        for (const hive::Value& seen : watch.seen) {
            before = hive::NamesEqual(seen.name, value.name) ? &seen : before;
        }
        if (before == nullptr || !SameData(*before, value)) {
            changed.push_back({value.name, value.type, value.data});
        }
    }
    watch.seen = std::move(*values);
    if (changed.empty()) {
        return;
    }
    watch.handing = true;
    watch.handler(changed);
    watch.handing = false;
}

// Reads the waiting events; true when one of them finished the hive file.
bool HiveFileFinished(const Watch& watch) {
    alignas(inotify_event) char buffer[4096];
    bool finished = false;
    for (ssize_t n; (n = ::read(watch.inotify.Get(), buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            finished =
                finished || (event->mask & IN_Q_OVERFLOW) != 0 ||
                ((event->mask & kFinished) != 0 && event->len > 0 && watch.fileName == event->name);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return finished;
}

void OnEvents() {
    Watch* watch = Current().get();
    if (watch != nullptr && !watch->handing && HiveFileFinished(*watch)) {
        Look(*watch);
    }
}

} // namespace

bool WatchRegistryKey(HKEY root, std::u16string_view subKey, RegistryChangeHandler handler,
                      std::string& error) {
    StopWatchingRegistry();
    auto watch = std::make_unique<Watch>();
    watch->root = root;
    watch->keyPath = RootName(root) + u"\\" + std::u16string(subKey);
    watch->file = HiveFilePath(root);
    watch->fileName = watch->file.substr(watch->file.rfind('/') + 1);
    watch->handler = std::move(handler);
    std::string folder = watch->file.substr(0, watch->file.rfind('/'));
    if (watch->file.empty()) {
        error = "no registry file to watch for this key";
        return false;
    }
    const char* failed = nullptr;
    if (platform::MakeOwnedFolder(folder, 0700) != 0 && errno != EEXIST) {
        failed = "mkdir";
    } else if (watch->inotify.Reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
               !watch->inotify.Valid()) {
        failed = "inotify_init1";
    } else if (::inotify_add_watch(watch->inotify.Get(), folder.c_str(), kFinished) < 0) {
        failed = "inotify_add_watch";
    }
    if (failed != nullptr) {
        error = "cannot watch the registry folder " + folder + ": " + SystemError(failed);
        return false;
    }
    watch->seen = ValuesOnDisk(*watch).value_or(std::vector<hive::Value>());
    watch->source.Add(watch->inotify.Get(), POLLIN, [](int, short) { OnEvents(); });
    Current() = std::move(watch);
    return true;
}

void StopWatchingRegistry() {
    Current().reset();
}

void TakeRegistryChanges() {
    OnEvents();
}

void NoteOwnRegistryWrite(HKEY root, std::u16string_view keyPath, std::u16string_view name,
                          DWORD type, const std::vector<BYTE>& data) {
    Watch* watch = Current().get();
    if (watch == nullptr || watch->root != root || !hive::NamesEqual(watch->keyPath, keyPath)) {
        return;
    }
    for (hive::Value& seen : watch->seen) {
        if (hive::NamesEqual(seen.name, name)) {
            seen.type = type;
            seen.data = data;
            return;
        }
    }
    hive::Value written;
    written.name = name;
    written.type = type;
    written.data = data;
    watch->seen.push_back(std::move(written));
}

} // namespace platform
