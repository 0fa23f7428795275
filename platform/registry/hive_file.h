// One hive file on disk, held for the length of one registry call.
//
// A call that changes the hive locks it (platform/core/lock_file.h: "<hive file>.lock" beside
// it, removed again when the call ends), reads the file, writes the whole hive
// to a temporary file in the same folder, flushes it to disk and renames it over
// the old one before unlocking. So a crash before the rename leaves the old hive
// whole, and two processes on one device root never lose each other's writes, as
// each one's read-modify-write runs under the lock. A call that only reads takes
// no lock: the hive is only ever replaced whole, by the rename, so a reader sees
// the old hive or the new one, never half of one, and a read costs no lock file.
//
// A hive that cannot be parsed is never lost. When a few of its lines are the
// fault, the original is kept as "<hive file>.corrupt-<UTC time>" beside it,
// the hive is written again without those lines, every other value kept, and
// the debug output names the lines and the copy. Otherwise the file is renamed
// to that name, the debug output says so, and the registry goes on with an
// empty hive. A new hive file is readable
// by its owner only; a hive that is replaced keeps its owner, group and mode
// (platform/core/file_owner.h), and a write that could not keep them is
// refused with the old file untouched.
//
// A hive whose lock cannot be had (a read-only device root, a lock held by
// another process past the patience) is still read: the file is only ever
// replaced whole, so an unlocked read sees one whole version. It cannot be
// changed then, and every write fails; a read-only one is said once per hive
// file and process on the debug output, a lock held by another process is left
// to the caller to try again (ERROR_TIMEOUT).
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "platform/core/lock_file.h"
#include "platform/core/types.h"
#include "platform/registry/hive_format.h"

namespace platform::hive {

class HiveFile {
  public:
    explicit HiveFile(std::string path);
    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    // Takes the lock, waiting up to a few seconds for another process to let
    // go. Without it the hive can still be read, and Save fails.
    void Lock();

    // Reads the hive under the lock (after Lock); a missing file is an empty
    // hive, a damaged one is set aside (see above) and also gives an empty hive.
    // ERROR_SUCCESS, or ERROR_ACCESS_DENIED / ERROR_READ_FAULT when the file
    // exists but cannot be read (then nothing is set aside and nothing may be
    // written).
    LONG Load(Document& document);

    // Reads the hive without the lock, for a call that changes nothing. Only a
    // hive that does not parse is read again under the lock (Load), which sets
    // it aside if it still does not. Results as Load. The first read of a hive
    // whose folder cannot be written says so (see above).
    LONG Read(Document& document);

    // Replaces the hive file with the document, durably. ERROR_SUCCESS, or
    // ERROR_WRITE_FAULT (the old file is then untouched), or the reason the
    // hive cannot be changed (ERROR_ACCESS_DENIED, ERROR_TIMEOUT).
    LONG Save(const Document& document);

    // Whether the hive may be changed once locked and loaded: ERROR_SUCCESS, or
    // why not (ERROR_ACCESS_DENIED for a read-only one, ERROR_TIMEOUT when
    // another process holds the lock).
    LONG Changeable() const { return cannotChange_; }

    // Why the last Load, Read or Save failed or the hive cannot be changed, in
    // words ("No space left on device"); empty when nothing failed.
    const std::string& Problem() const { return problem_; }

  private:
    void CannotChange(LONG error, const std::string& reason);
    void SayOnceIfReadOnly();
    // The file's text; nullopt for a file that does not exist.
    LONG ReadText(std::optional<std::string>& text);
    void RemoveStaleTemporaries() const;
    void SetAside(const std::string& reason) const;
    std::string KeepAside(bool copy) const;
    bool KeepReadableLines(const std::string& text, Document& document);

    std::string path_;
    LockFile lock_;
    LONG cannotChange_ = ERROR_SUCCESS; // why the hive cannot be changed, if it cannot
    std::string problem_;
};

// How long Lock waits for another process's lock (registry.h: SetHiveLockPatience).
void SetLockPatience(std::chrono::milliseconds patience);

// Test seam: called after the temporary file is complete and flushed, just
// before it is renamed over the hive, so a test can end the process there as
// a crash would. Empty (the default) does nothing.
void SetBeforeHiveRename(std::function<void()> hook);

} // namespace platform::hive
