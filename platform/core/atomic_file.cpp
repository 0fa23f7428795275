#include "platform/core/atomic_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/errors.h"
#include "platform/core/fd_io.h"
#include "platform/core/file_owner.h"
#include "platform/core/unique_fd.h"

namespace platform {
namespace {

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool Fail(ReplaceFailure& failure, int error, const std::string& temporary) {
    failure.ownerRefused = false;
    failure.reason = ErrorText(error);
    if (!temporary.empty()) {
        ::unlink(temporary.c_str());
    }
    return false;
}

} // namespace

std::string ReplaceFailure::Sentence(const std::string& what) const {
    return ownerRefused ? reason : "cannot write " + what + ": " + reason;
}

void SyncFolder(const std::string& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid()) {
        ::fsync(fd.Get());
    }
}

bool ReplaceFile(const std::string& path, std::string_view text, const FileReplacement& how,
                 ReplaceFailure& failure) {
    std::string temporary = path + std::string(kTemporaryMark) + "XXXXXX";
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.Valid()) {
        return Fail(failure, errno, "");
    }
    if (::fchmod(fd.Get(), how.mode) != 0) {
        int error = errno;
        fd.Reset();
        return Fail(failure, error, temporary);
    }
    std::string refusal;
    if (how.keepOwner && !KeepOwnership(fd.Get(), path, refusal)) {
        int error = errno;
        fd.Reset();
        Fail(failure, error, temporary);
        failure.ownerRefused = !refusal.empty();
        failure.reason = refusal.empty() ? failure.reason : refusal;
        return false;
    }
    if (!WriteAll(fd.Get(), text) || ::fsync(fd.Get()) != 0) {
        int error = errno;
        fd.Reset();
        return Fail(failure, error, temporary);
    }
    if (!fd.Close()) {
        return Fail(failure, errno, temporary);
    }
    if (how.beforeRename) {
        how.beforeRename();
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        return Fail(failure, errno, temporary);
    }
    SyncFolder(FolderOf(path));
    return true;
}

} // namespace platform
