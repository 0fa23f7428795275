// Inside the dialog manager: a dialog template read into plain fields.
#pragma once

#include <string>
#include <vector>

#include "platform/windowing/dialogs.h"

namespace platform {

struct DialogItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    WORD classAtom = 0; // 0 when className is used
    std::u16string className;
    bool textIsOrdinal = false; // the text names a resource (an icon) by id
    WORD textOrdinal = 0;
    std::u16string text;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::u16string className; // empty: the dialog class
    std::u16string caption;
    bool hasFont = false;
    WORD fontPoints = 0;
    std::u16string fontName;
    std::vector<DialogItem> items;
};

// Reads a DLGTEMPLATE and its items. A template of the program's resources is
// read within its resource's bytes; any other is trusted to be as long as its
// contents say. False (with a debug line) for a template that cannot be read,
// names a menu, or is the extended form, which this system does not take.
bool ReadDialogTemplate(const DLGTEMPLATE* dialogTemplate, DialogTemplate& result);

} // namespace platform
