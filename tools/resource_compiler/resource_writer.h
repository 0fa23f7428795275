// Lays out a Script's resources in the device's binary formats:
//   RT_DIALOG       DLGTEMPLATE, menu, class, caption, font, then DWORD-aligned
//                   DLGITEMTEMPLATEs each with class, text and a 0 data count;
//   RT_MENU         a 4-byte header, then items (flags, id unless a popup, text),
//                   MF_END marking the last item of each level;
//   RT_ACCELERATOR  8 bytes per entry (flags, key, command, padding), 0x80 in
//                   the flags of the last;
//   RT_STRING       blocks of 16 counted strings, block id = string id / 16 + 1;
//   RT_RCDATA       the menu-bar words (see platform/resources/menu_bar_resource.h);
//   RT_GROUP_ICON   an icon directory naming one RT_ICON (a PNG) per size.
// Text is UTF-16, little-endian, like every number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "script.h"

namespace rc {

struct BinaryResource {
    std::uint16_t type = 0;
    std::uint16_t id = 0;
    std::vector<std::uint8_t> bytes;
};

// Icon files are read relative to `baseDirectory`; `inputs` receives their paths.
// False with `error` on an unreadable icon or a resource given twice.
bool WriteResources(const Script& script, const std::string& baseDirectory,
                    std::vector<BinaryResource>& resources, std::vector<std::string>& inputs,
                    std::string& error);

} // namespace rc
