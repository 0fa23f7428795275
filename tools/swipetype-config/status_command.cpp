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

void PrintJson(const std::optional<status_report::Status>& status) {
    if (!status) {
        std::printf("{\"running\":false,\"pid\":null,\"port\":null,\"device\":null,"
                    "\"reader\":null,\"sink\":null,\"good_reads\":null,\"bad_reads\":null,"
                    "\"last_read\":null}\n");
        return;
    }
    std::printf("{\"running\":true,\"pid\":%ld,\"port\":%s,\"device\":%s,\"reader\":%s,"
                "\"sink\":%s,\"good_reads\":%llu,\"bad_reads\":%llu,\"last_read\":%s}\n",
                status->pid, Json(status->port).c_str(), JsonOrNull(status->device).c_str(),
                Json(status->reader).c_str(), Json(status->sink).c_str(),
                static_cast<unsigned long long>(status->goodReads),
                static_cast<unsigned long long>(status->badReads),
                JsonOrNull(status->lastRead).c_str());
}

void PrintText(const std::optional<status_report::Status>& status) {
    std::printf("running:    %s\n", status ? "yes" : "no");
    std::printf("root:       %s\n", platform::DeviceRoot().c_str());
    if (!status) {
        return;
    }
    std::printf("pid:        %ld\nport:       %s\ndevice:     %s\nreader:     %s\nsink:       %s\n"
                "good reads: %llu\nbad reads:  %llu\nlast read:  %s\n",
                status->pid, status->port.c_str(),
                status->device.empty() ? "(none)" : status->device.c_str(), status->reader.c_str(),
                status->sink.c_str(), static_cast<unsigned long long>(status->goodReads),
                static_cast<unsigned long long>(status->badReads),
                status->lastRead.empty() ? "none yet" : status->lastRead.c_str());
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
    return status->reader == "open" ? kReading : kNotReading;
}

} // namespace config_tool
