#include "platform/event_log.h"

#include "platform/unicode.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

struct EventLog {
    int fd = -1;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

EventLog& Log() {
    static EventLog log;
    return log;
}

} // namespace

bool OpenEventLog(const std::string& path, std::string& error) {
    CloseEventLog();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot open event log " + path + ": " + std::strerror(errno);
        return false;
    }
    Log().fd = fd;
    return true;
}

void CloseEventLog() {
    if (Log().fd >= 0) {
        ::close(Log().fd);
        Log().fd = -1;
    }
}

bool EventLogOpen() {
    return Log().fd >= 0;
}

void WriteEvent(std::string_view event, std::string_view fields) {
    EventLog& log = Log();
    if (log.fd < 0) {
        return;
    }
    auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::steady_clock::now() - log.start)
                      .count();
    std::string line = "{\"t\":" + std::to_string(micros) + ",\"event\":\"";
    line += event;
    line += '"';
    if (!fields.empty()) {
        line += ',';
        line += fields;
    }
    line += "}\n";
    // O_APPEND with one write keeps every line whole, even with several writers.
    ssize_t written;
    do {
        written = ::write(log.fd, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
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
