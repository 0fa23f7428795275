#include "platform/serial/serial_notes.h"

#include <set>

#include "platform/core/system.h"

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
    DebugLine(text);
}

void ForgetSerialNotes() {
    Said().clear();
}

} // namespace platform
