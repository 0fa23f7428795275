// A file replaced whole: the text goes to a temporary file beside it, which is
// flushed to disk and renamed over the old one, and the folder is flushed after
// the rename. A crash or a power loss at any point leaves either the old file
// or the new one, never part of either, and once the call returns the new one
// stays. Every file the program or its tools replace is written this way.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace platform {

struct FileReplacement {
    // The mode of a file made new (the temporary file's until the rename).
    mode_t mode = 0600;
    // Whether a file replaced keeps its owner, group and mode
    // (platform/core/file_owner.h); one that cannot keep them is not replaced.
    bool keepOwner = true;
    // Called with the temporary file complete and flushed, just before the
    // rename, so that a test can end the process there as a crash would.
    std::function<void()> beforeRename;
};

struct ReplaceFailure {
    // The file could not keep its owner: `reason` is then a whole sentence,
    // and nothing was written.
    bool ownerRefused = false;
    // Why, in words ("No space left on device").
    std::string reason;

    // "cannot write <what>: <reason>", or the refusal's own sentence.
    std::string Sentence(const std::string& what) const;
};

// The temporary files of `path` are "<path>.tmp-XXXXXX": one left over was
// abandoned by a crash, and only a writer that holds a lock on `path` may know
// it is not another's and remove it.
inline constexpr std::string_view kTemporaryMark = ".tmp-";

// Replaces `path` with `text` as said above. False, with `failure` filled in,
// when it could not; the old file is untouched then and no temporary is left.
bool ReplaceFile(const std::string& path, std::string_view text, const FileReplacement& how,
                 ReplaceFailure& failure);

// Flushes a folder's entries (a rename or a new name in it) to disk.
void SyncFolder(const std::string& folder);

} // namespace platform
