#include "platform/registry/system_defaults.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>

#include "platform/core/errors.h"
#include "platform/core/fd_io.h"
#include "platform/core/system.h"
#include "platform/core/unique_fd.h"
#include "platform/registry/hive_format.h"

namespace platform {
namespace {

constexpr const char* kSystemDefaults = "/etc/swipetype/defaults.reg";

std::optional<hive::Document> ReadDefaults() {
    std::string path = SystemDefaultsPath();
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string text;
    if (!fd.Valid() || !ReadAll(fd.Get(), text)) {
        if (errno != ENOENT) {
            DebugLine("system defaults " + path + " not used: " + ErrorText());
        }
        return std::nullopt;
    }
    hive::ParseError error;
    std::optional<hive::Document> document = hive::Parse(text, error);
    if (!document) {
        DebugLine("system defaults " + path + " not used: line " + std::to_string(error.line) +
                  ": " + error.reason);
    }
    return document;
}

} // namespace

std::string SystemDefaultsPath() {
    const char* given = std::getenv("SWIPETYPE_DEFAULTS");
    return given != nullptr && *given != '\0' ? given : kSystemDefaults;
}

bool SystemDefaultValue(std::u16string_view keyPath, std::u16string_view name, DWORD& type,
                        std::vector<BYTE>& data) {
    static std::once_flag once;
    static std::optional<hive::Document> defaults;
    std::call_once(once, [] { defaults = ReadDefaults(); });
    const hive::Key* key = defaults ? hive::FindKey(*defaults, keyPath) : nullptr;
    const hive::Value* value = key != nullptr ? hive::FindValue(*key, name) : nullptr;
    if (value == nullptr) {
        return false;
    }
    type = value->type;
    data = value->data;
    return true;
}

} // namespace platform
