// Reads a resource script into a Script. The grammar, one statement per
// resource (line breaks are not significant):
//
//   string ID "text"
//   icon ID "picture.png" ...              one PNG per size
//   menu ID  { popup "text" ... end | item COMMAND "text" [FLAGS] | separator }  end
//   menubar ID menu MENU-ID  { button IMAGE COMMAND STATE STYLE STRING-ID SUBMENU }  end
//   accelerators ID  { key KEY COMMAND FLAGS }  end        KEY: number or "A"
//   dialog ID  style FLAGS  exstyle FLAGS  position X Y  size CX CY
//              [caption "text"]  [font POINTS "face"]
//              { control ID CLASS TEXT FLAGS X Y CX CY [exstyle FLAGS] }  end
//
// FLAGS is numbers and constant names joined by "|"; CLASS is BUTTON, EDIT,
// STATIC or a quoted class name; TEXT is a quoted string or "icon ID". An ID,
// a COMMAND or a number anywhere may also be a name of `names`.
#pragma once

#include <string>

#include "id_names.h"
#include "script.h"

namespace rc {

// Returns false with `error` naming the line and what was expected.
bool ParseScript(const std::string& source, Script& script, std::string& error,
                 const IdNames& names = {});

} // namespace rc
