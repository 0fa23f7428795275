#include "platform/registry/hive_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/core/atomic_file.h"
#include "platform/core/errors.h"
#include "platform/core/fd_io.h"
#include "platform/core/system.h"
#include "platform/core/unique_fd.h"

namespace platform::hive {
namespace {

// How long a change waits for another process's lock on the hive: a tool waits
// it out; a program whose loop must never wait asks for none (SetHiveLockPatience).
std::atomic<std::chrono::milliseconds::rep> lockPatience{10000};
// More damaged lines than this and the hive is no hive that was damaged but
// something else: it is set aside whole.
constexpr std::size_t kMostIgnoredLines = 8;

std::function<void()>& BeforeRename() {
    static std::function<void()> hook;
    return hook;
}

std::string Folder(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Whether files can be made in `folder`: a folder not made yet can be when the
// nearest one above it that exists can be written (a fresh device root).
bool FolderWritable(std::string folder) {
    while (::access(folder.c_str(), W_OK) != 0) {
        if (errno != ENOENT || folder == "/" || folder == ".") {
            return false;
        }
        folder = Folder(folder);
    }
    return true;
}

std::string BaseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

std::string UtcStamp() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

// Renames without replacing anything that already has the new name.
bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without RENAME_NOREPLACE: check first; the hive lock keeps
    // other instances of this program from racing for the same name.
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

void SetLockPatience(std::chrono::milliseconds patience) {
    lockPatience = patience.count();
}

void SetBeforeHiveRename(std::function<void()> hook) {
    BeforeRename() = std::move(hook);
}

HiveFile::HiveFile(std::string path) : path_(std::move(path)) {}

HiveFile::~HiveFile() = default;

// Says once per hive file why it cannot change; Save then fails with `error`.
void HiveFile::CannotChange(LONG error, const std::string& reason) {
    cannotChange_ = error;
    problem_ = reason;
    static std::mutex mutex;
    static std::set<std::string> told;
    std::lock_guard guard(mutex);
    if (told.insert(path_).second) {
        DebugLine("registry file " + path_ + " cannot be changed (" + reason +
                  "): settings are read from it, changes are not saved");
    }
}

// A read takes no lock, so a hive in a folder that cannot be written would only
// be found unchangeable at the first save; the first read of it says so instead.
void HiveFile::SayOnceIfReadOnly() {
    static std::mutex mutex;
    static std::set<std::string> looked;
    {
        std::lock_guard guard(mutex);
        if (!looked.insert(path_).second) {
            return;
        }
    }
    if (!FolderWritable(Folder(path_))) {
        CannotChange(ERROR_ACCESS_DENIED, "its folder is read-only: " + ErrorText());
    }
}

// A read-only folder takes no lock file at all: nothing can change the hive
// there, and the file is only ever replaced whole, so reading it unlocked is safe.
void HiveFile::Lock() {
    if (!FolderWritable(Folder(path_))) {
        CannotChange(ERROR_ACCESS_DENIED, "its folder is read-only: " + ErrorText());
        return;
    }
    std::string lockPath = path_ + ".lock";
    if (lock_.Acquire(lockPath, std::chrono::milliseconds(lockPatience.load()))) {
        return;
    }
    if (errno == EWOULDBLOCK) {
        // Not for good: the caller may try again once the lock is let go.
        cannotChange_ = ERROR_TIMEOUT;
        problem_ = "it is locked by another process";
    } else {
        CannotChange(ERROR_ACCESS_DENIED,
                     "cannot lock " + lockPath + ": " + SystemError(lock_.FailedCall()));
    }
}

LONG HiveFile::ReadText(std::optional<std::string>& text) {
    text.reset();
    UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
        if (errno == ENOENT) {
            return ERROR_SUCCESS;
        }
        problem_ = std::string("cannot read it: ") + ErrorText();
        DebugLine(SystemError("cannot read registry file " + path_));
        return ERROR_ACCESS_DENIED;
    }
    text.emplace();
    bool read = ReadAll(fd.Get(), *text);
    int readError = errno;
    fd.Reset();
    if (!read) {
        problem_ = std::string("cannot read it: ") + ErrorText(readError);
        DebugLine(SystemError("cannot read registry file " + path_, readError));
        return ERROR_READ_FAULT;
    }
    return ERROR_SUCCESS;
}

LONG HiveFile::Load(Document& document) {
    document = Document{};
    std::optional<std::string> text;
    LONG status = ReadText(text);
    if (status != ERROR_SUCCESS || !text) {
        return status;
    }
    ParseError error;
    std::optional<Document> parsed = Parse(*text, error);
    if (!parsed) {
        std::string reason = "line " + std::to_string(error.line) + ": " + error.reason;
        // Only the holder of the lock may move the file; without it, the hive
        // is just read as empty.
        if (cannotChange_ == ERROR_SUCCESS) {
            if (!KeepReadableLines(*text, document)) {
                SetAside(reason);
            }
        } else {
            DebugLine("registry file " + path_ + " is damaged (" + reason + "); read as empty");
        }
        return ERROR_SUCCESS;
    }
    document = std::move(*parsed);
    return ERROR_SUCCESS;
}

LONG HiveFile::Read(Document& document) {
    document = Document{};
    SayOnceIfReadOnly();
    std::optional<std::string> text;
    LONG status = ReadText(text);
    if (status != ERROR_SUCCESS || !text) {
        return status;
    }
    ParseError error;
    if (std::optional<Document> parsed = Parse(*text, error)) {
        document = std::move(*parsed);
        return ERROR_SUCCESS;
    }
    // Only the lock's holder may set a hive aside, and by the time it has the
    // lock a writer may have replaced the damaged file.
    Lock();
    return Load(document);
}

// Moves (or, with `copy`, links) the hive to "<hive>.corrupt-<UTC time>", under
// a name no other file has; the name, or empty when that failed.
std::string HiveFile::KeepAside(bool copy) const {
    std::string stamp = path_ + ".corrupt-" + UtcStamp();
    std::string target = stamp;
    for (int attempt = 2;; ++attempt) {
        bool done =
            copy ? ::link(path_.c_str(), target.c_str()) == 0 : RenameNoReplace(path_, target);
        if (done) {
            SyncFolder(Folder(path_));
            return target;
        }
        if (errno != EEXIST || attempt > 1000) {
            return "";
        }
        target = stamp + "-" + std::to_string(attempt);
    }
}

void HiveFile::SetAside(const std::string& reason) const {
    std::string target = KeepAside(false);
    if (target.empty()) {
        DebugLine("registry file " + path_ + " is damaged (" + reason +
                  ") and cannot be set aside: " + ErrorText());
        return;
    }
    DebugLine("registry file " + path_ + " is damaged (" + reason + "); kept as " + target +
              ", starting from an empty hive");
}

// A hive with a few damaged lines keeps every value of the others: the original
// is kept beside it (a second name of the same file, so with its owner and
// mode), and the hive is written again without those lines, so that nothing
// the program saves later lands on values it could read.
bool HiveFile::KeepReadableLines(const std::string& text, Document& document) {
    std::vector<ParseError> ignored;
    std::optional<Document> kept = ParseKeeping(text, ignored, kMostIgnoredLines);
    if (!kept) {
        return false;
    }
    std::string original = KeepAside(true);
    if (original.empty()) {
        return false;
    }
    std::string lines;
    for (const ParseError& line : ignored) {
        lines += (lines.empty() ? "line " : ", line ") + std::to_string(line.line) + " (" +
                 line.reason + ")";
    }
    DebugLine("registry file " + path_ + ": ignored " + lines +
              "; every other value kept, the original is kept as " + original);
    document = std::move(*kept);
    if (Save(document) != ERROR_SUCCESS) {
        DebugLine("registry file " + path_ +
                  " could not be written without those lines: " + problem_);
    }
    return true;
}

LONG HiveFile::Save(const Document& document) {
    if (cannotChange_ != ERROR_SUCCESS) {
        return cannotChange_;
    }
    RemoveStaleTemporaries();
    FileReplacement how;
    how.beforeRename = BeforeRename();
    ReplaceFailure failure;
    if (ReplaceFile(path_, Serialize(document), how, failure)) {
        return ERROR_SUCCESS;
    }
    problem_ = failure.reason;
    DebugLine(failure.Sentence("registry file " + path_));
    return failure.ownerRefused ? ERROR_ACCESS_DENIED : ERROR_WRITE_FAULT;
}

// A temporary file only lives while its writer holds the lock, which is now
// ours: any left over was abandoned by a crash.
void HiveFile::RemoveStaleTemporaries() const {
    std::string prefix = BaseName(path_) + std::string(kTemporaryMark);
    std::string folder = Folder(path_);
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) {
        return;
    }
    while (dirent* entry = ::readdir(directory)) {
        std::string name = entry->d_name;
        if (name.starts_with(prefix) && name.size() == prefix.size() + 6) {
            std::string path = folder;
            ::unlink(path.append("/").append(name).c_str());
        }
    }
    ::closedir(directory);
}

} // namespace platform::hive
