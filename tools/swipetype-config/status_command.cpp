#include "status_command.h"

#include <cstdio>
#include <optional>

#include "host/status_report.h"
#include "platform/core/event_log.h"
#include "platform/core/unicode.h"
#include "platform/fs/device_root.h"
#include "platform/ipc/remote_windows.h"
#include "unanswered.h"

namespace config_tool {
namespace {

constexpr int kReading = 0;
constexpr int kFailed = 1;
constexpr int kNoneRuns = 3;
constexpr int kNotReading = 4;

std::string Json(const std::string& text) {
    return platform::JsonString(platform::Utf8ToUtf16(text));
}

std::string JsonOrNull(const std::string& text) {
    return text.empty() ? "null" : Json(text);
}

std::string Number(std::uint64_t number) {
    return std::to_string(number);
}

void PrintJson(const std::optional<status_report::Status>& status) {
    if (!status) {
        std::printf("{\"running\":false,\"pid\":null,\"version\":null,\"started\":null,"
                    "\"port\":null,\"device\":null,\"reader\":null,\"reader_answering\":null,"
                    "\"sink\":null,\"keys\":null,\"good_reads\":null,\"bad_reads\":null,"
                    "\"dropped_reads\":null,\"last_read\":null}\n");
        return;
    }
    std::string keys = "{\"sink\":" + Json(status->sink) + ",\"state\":" + Json(status->keys) +
                       ",\"since\":" + JsonOrNull(status->lostSince) + "}";
    std::string line =
        "{\"running\":true,\"pid\":" + std::to_string(status->pid) +
        ",\"version\":" + JsonOrNull(status->version) +
        ",\"started\":" + JsonOrNull(status->started) + ",\"port\":" + Json(status->port) +
        ",\"device\":" + JsonOrNull(status->device) + ",\"reader\":" + Json(status->reader) +
        ",\"reader_answering\":" + JsonOrNull(status->readerAnswering) +
        ",\"sink\":" + Json(status->sink) + ",\"keys\":" + keys +
        ",\"good_reads\":" + Number(status->goodReads) +
        ",\"bad_reads\":" + Number(status->badReads) +
        ",\"dropped_reads\":" + Number(status->droppedReads) +
        ",\"last_read\":" + JsonOrNull(status->lastRead) + "}";
    std::printf("%s\n", line.c_str());
}

std::string KeysText(const status_report::Status& status) {
    if (status.keys == "lost") {
        return status.sink + ", lost since " + status.lostSince;
    }
    return status.keys == "none" ? "none (reads are not typed)" : status.sink + ", typing";
}

void PrintText(const std::optional<status_report::Status>& status) {
    std::printf("running:       %s\n", status ? "yes" : "no");
    std::printf("root:          %s\n", platform::DeviceRoot().c_str());
    if (!status) {
        return;
    }
    auto orNone = [](const std::string& text, const char* none) {
        return text.empty() ? none : text.c_str();
    };
    std::printf("pid:           %ld\nversion:       %s\nstarted:       %s\nport:          %s\n"
                "device:        %s\nreader:        %s\n",
                status->pid, orNone(status->version, "(unknown)"),
                orNone(status->started, "(unknown)"), status->port.c_str(),
                orNone(status->device, "(none)"), status->reader.c_str());
    if (!status->readerAnswering.empty() || status->reader == "silent") {
        std::printf("answered:      %s\n", orNone(status->readerAnswering, "never"));
    }
    std::printf("keys:          %s\ngood reads:    %llu\nbad reads:     %llu\n"
                "dropped reads: %llu\nlast read:     %s\n",
                KeysText(*status).c_str(), static_cast<unsigned long long>(status->goodReads),
                static_cast<unsigned long long>(status->badReads),
                static_cast<unsigned long long>(status->droppedReads),
                orNone(status->lastRead, "none yet"));
}

int Fail(const std::string& line) {
    std::fprintf(stderr, "swipetype-config: %s\n", line.c_str());
    return kFailed;
}

} // namespace

int ShowStatus(bool json) {
    std::optional<std::u16string> answer = platform::RemoteStatus();
    std::optional<status_report::Status> status;
    if (answer) {
        status = status_report::Decode(platform::Utf16ToUtf8(*answer));
        if (!status) {
            return Fail("the running Swipetype gave a status this program does not read");
        }
    } else if (std::string why = WhyUnanswered(); !why.empty()) {
        return Fail(why);
    }
    if (json) {
        PrintJson(status);
    } else {
        PrintText(status);
    }
    if (!status) {
        return kNoneRuns;
    }
    return status_report::Typing(*status) ? kReading : kNotReading;
}

} // namespace config_tool
