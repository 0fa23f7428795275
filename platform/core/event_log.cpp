#include "platform/core/event_log.h"

#include "platform/core/errors.h"
#include "platform/core/fd_io.h"
#include "platform/core/output_queue.h"
#include "platform/core/standard_streams.h"
#include "platform/core/unicode.h"
#include "platform/core/unique_fd.h"
#include "platform/core/utc_time.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

struct EventLog {
    UniqueFd fd;
    std::string path;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    // Events not written since the log last failed (a full disk): the failure is
    // said once on standard error, and the return of the log once more.
    std::size_t lost = 0;
    // A write that stopped inside a line and could not be taken back off the
    // file (a pipe, a device): the next line first ends that one.
    bool lineCut = false;
};

EventLog& Log() {
    static EventLog log;
    return log;
}

void SayOnStandardError(const std::string& text) {
    std::string line =
        JournalPrefix(JournalPriority::Warning) + std::string("swipetype: ") + text + "\n";
    (void)WriteWithoutWaiting(STDERR_FILENO, line);
}

// Takes the `done` bytes of a line cut short back off the end of the file, so
// that the file ends on its last whole line. False when the file cannot be cut.
bool TakeBackCutLine(int fd, std::size_t done) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::size_t>(status.st_size) < done) {
        return false;
    }
    return ::ftruncate(fd, status.st_size - static_cast<off_t>(done)) == 0;
}

// One write of the whole line, as a rule. A write cut short (a disk filling up)
// is continued at once, which either ends the line or tells why it cannot be;
// the part that did reach the file is taken back off it.
// False when the line did not all reach the file.
bool WriteLine(EventLog& log, const std::string& line) {
    std::size_t done = 0;
    if (WriteAll(log.fd.Get(), line, &done)) {
        return true;
    }
    int error = errno;
    if (done > 0 && !TakeBackCutLine(log.fd.Get(), done)) {
        log.lineCut = true;
    }
    if (log.lost++ == 0) {
        SayOnStandardError("cannot write the event log " + log.path + ": " + ErrorText(error) +
                           "; events are dropped until it can be written");
    }
    return false;
}

// The log file at `path`, opened for appending; invalid, with `error` set, when
// it cannot be opened or others may read it.
UniqueFd OpenLogFile(const std::string& path, std::string& error) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    struct stat status {};
    if (!fd.Valid() || ::fstat(fd.Get(), &status) != 0) {
        error = SystemError("cannot open event log " + path);
        return UniqueFd();
    }
    if (S_ISREG(status.st_mode) && (status.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
        error = "the event log " + path + " has mode " + mode +
                ", and it holds card data: make it readable by its owner only (chmod 600 " + path +
                ")";
        return UniqueFd();
    }
    return fd;
}

} // namespace

bool OpenEventLog(const std::string& path, std::string& error) {
    CloseEventLog();
    UniqueFd fd = OpenLogFile(path, error);
    if (!fd.Valid()) {
        return false;
    }
    Log().fd = std::move(fd);
    Log().path = path;
    Log().lost = 0;
    Log().lineCut = false;
    return true;
}

bool ReopenEventLog(std::string& error) {
    EventLog& log = Log();
    if (!log.fd.Valid()) {
        return true;
    }
    UniqueFd fd = OpenLogFile(log.path, error);
    if (!fd.Valid()) {
        return false;
    }
    log.fd = std::move(fd);
    log.lineCut = false;
    return true;
}

void CloseEventLog() {
    Log().fd.Reset();
}

bool EventLogOpen() {
    return Log().fd.Valid();
}

void WriteEvent(std::string_view event, std::string_view fields) {
    EventLog& log = Log();
    if (!log.fd.Valid()) {
        return;
    }
    auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::steady_clock::now() - log.start)
                      .count();
    std::string line = "{\"t\":" + std::to_string(micros) + ",\"time\":\"" +
                       IsoUtcTime(std::chrono::system_clock::now()) + "\",\"event\":\"";
    line += event;
    line += '"';
    if (!fields.empty()) {
        line += ',';
        line += fields;
    }
    line += "}\n";
    if (log.lineCut) {
        line.insert(0, "\n");
    }
    // O_APPEND with one write keeps every line whole, even with several writers.
    std::size_t lostBefore = log.lost;
    if (!WriteLine(log, line) || lostBefore == 0) {
        return;
    }
    log.lineCut = false;
    log.lost = 0;
    SayOnStandardError("the event log " + log.path + " is written again; " +
                       std::to_string(lostBefore) + " events were lost");
}

std::string JsonString(std::u16string_view text) {
    std::string out = "\"";
    ForEachCodePoint(text, [&](char32_t code) {
        switch (code) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (code < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(code));
                out += escaped;
            } else {
                AppendUtf8(out, code);
            }
        }
    });
    out += '"';
    return out;
}

} // namespace platform
