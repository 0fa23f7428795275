#include "platform/serial_notes.h"

#include <set>

#include "platform/system.h"

namespace platform {
namespace {

std::set<std::string>& Said() {
    static std::set<std::string> said;
    return said;
}

} // namespace

void SaySerialNoteOnce(const std::string& device, std::string_view topic, const std::string& text) {
    std::string key = device + '\n' + std::string(topic);
    if (!Said().insert(key).second) {
        return;
    }
    WCHAR wide[1024];
    int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide, 1024);
    if (length <= 0) {
        // Not valid UTF-8 (a path with stray bytes) or too long: say it bytewise.
        NKDbgPrintfW(u"%.1000S", text.c_str());
        return;
    }
    NKDbgPrintfW(u"%s", wide);
}

void ForgetSerialNotes() {
    Said().clear();
}

} // namespace platform
