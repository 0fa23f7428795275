// The resource compiler's script reader (tools/resource_compiler), on scripts as
// a person edits them.
//
// A script is read or refused with an error that names a line of the script and
// says what was expected there; and a script that is read describes only what
// the device's formats can hold.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "fuzz/support/check.h"
#include "platform/windowing/dialogs.h"
#include "platform/windowing/menus/menus.h"
#include "script_parser.h"

using fuzz::Check;

namespace {

bool NamesALine(const std::string& error, const std::string& source) {
    int line = 0;
    if (std::sscanf(error.c_str(), "line %d: ", &line) != 1 || !error.starts_with("line ")) {
        return false;
    }
    std::size_t colon = error.find(": ");
    int lines = 1 + static_cast<int>(std::count(source.begin(), source.end(), '\n'));
    return line >= 1 && line <= lines && colon != std::string::npos && colon + 2 < error.size();
}

void CheckMenuItems(const std::vector<rc::MenuItem>& items) {
    for (const rc::MenuItem& item : items) {
        Check((item.flags & MF_POPUP) != 0 || item.children.empty(), "only a popup holds items");
        CheckMenuItems(item.children);
    }
}

// The names of the program's ids, as the build gives them to the compiler, so
// that the program's own script is read as the build reads it.
const rc::IdNames& ProgramIds() {
    static const rc::IdNames names = [] {
        std::ifstream file(SWIPETYPE_SOURCE_DIR "/res/resource_ids.h");
        std::stringstream header;
        header << file.rdbuf();
        rc::IdNames read;
        std::string error;
        Check(rc::ReadIdNames(header.str(), read, error) && !read.empty(),
              "res/resource_ids.h gives the ids' names", error);
        return read;
    }();
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string source(reinterpret_cast<const char*>(data), size);
    rc::Script script;
    std::string error;
    if (!rc::ParseScript(source, script, error, ProgramIds())) {
        Check(NamesALine(error, source), "a refused script names the line of its fault", error);
        return 0;
    }
    Check(error.empty(), "a script that is read has no error");
    for (const rc::DialogResource& dialog : script.dialogs) {
        Check(((dialog.style & DS_SETFONT) != 0) == dialog.hasFont,
              "a dialog has DS_SETFONT exactly when it has a font");
        Check(!dialog.hasFont || (dialog.fontPoints >= 1 && dialog.fontPoints <= 72),
              "a font size is 1 to 72 points");
    }
    for (const rc::MenuResource& menu : script.menus) {
        Check(!menu.items.empty(), "a menu has items");
        CheckMenuItems(menu.items);
    }
    for (const rc::IconResource& icon : script.icons) {
        Check(!icon.files.empty(), "an icon names its pictures");
    }
    for (const rc::AcceleratorResource& table : script.acceleratorTables) {
        Check(!table.entries.empty(), "an accelerator table has keys");
    }
    return 0;
}
