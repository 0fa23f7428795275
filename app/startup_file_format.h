// The startup file that makes the terminal's boot launcher start this program
// hidden: "Swipetype.RUN" in the startup folder, holding the program's path, a
// carriage return and the command line "MIN". The program writes it for its
// AutoStart setting (app/autostart.cpp), swipetype-config writes it when the
// setting changes with no instance running, and swipetype-launch finds the
// folder the same way: all from these values.
#pragma once

#include "platform/core/types.h"

namespace startup_file {

// The folder: HKEY_CURRENT_USER kFolderKey, value kFolderValue (read with at
// most kFolderReadLimit bytes), else kDefaultFolder. A device path.
constexpr const WCHAR* kFolderKey = u"Software\\Zelna\\Startup";
constexpr const WCHAR* kFolderValue = u"Path";
constexpr DWORD kFolderReadLimit = 260; // bytes, so at most 129 characters
constexpr const WCHAR* kDefaultFolder = u"\\Application\\Startup";

// The file's name, with the separator that joins it to the folder.
constexpr const char* kName = "\\Swipetype.RUN";
constexpr const WCHAR* kWideName = u"\\Swipetype.RUN";

// The content: the program's path, then kSeparator and kHiddenStart, the
// command line that starts the program with its window hidden.
constexpr const char* kSeparator = "\r";
constexpr const WCHAR* kHiddenStart = u"MIN";
constexpr const char* kNarrowHiddenStart = "MIN";

} // namespace startup_file
