#include "host/status_report.h"

#include <charconv>
#include <vector>

namespace status_report {
namespace {

constexpr std::size_t kItems = 14;

template <typename Number> bool ParseNumber(std::string_view text, Number& number) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

} // namespace

std::string Encode(const Status& status) {
    std::string text;
    for (const std::string& item :
         {std::to_string(status.pid), status.port, status.device, status.reader, status.sink,
          std::to_string(status.goodReads), std::to_string(status.badReads), status.lastRead,
          status.keys, status.lostSince, std::to_string(status.droppedReads),
          status.readerAnswering, status.version, status.started}) {
        text += item;
        text += '\0';
    }
    return text;
}

std::optional<Status> Decode(std::string_view text) {
    std::vector<std::string_view> items;
    for (std::size_t end; (end = text.find('\0')) != std::string_view::npos;
         text.remove_prefix(end + 1)) {
        items.push_back(text.substr(0, end));
    }
    Status status;
    if (!text.empty() || items.size() != kItems || !ParseNumber(items[0], status.pid) ||
        !ParseNumber(items[5], status.goodReads) || !ParseNumber(items[6], status.badReads) ||
        !ParseNumber(items[10], status.droppedReads)) {
        return std::nullopt;
    }
    status.port = items[1];
    status.device = items[2];
    status.reader = items[3];
    status.sink = items[4];
    status.lastRead = items[7];
    status.keys = items[8];
    status.lostSince = items[9];
    status.readerAnswering = items[11];
    status.version = items[12];
    status.started = items[13];
    return status;
}

bool Typing(const Status& status) {
    return status.reader == "open" && status.keys == "typing";
}

} // namespace status_report
