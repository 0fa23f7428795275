// The program's loadable modules: parts with heavy libraries behind them (the GTK
// desktop front end, the X11, uinput and Wayland key sinks) are shared objects
// that the program maps only when it uses them.
//
// A module resolves no name from the program (whose dynamic symbol table holds
// only the serial library's five timer functions). It exports one C function,
// its entry, which returns its exports: a header that names it, then function
// pointers the program calls. Through the exports' `attach` the program hands it
// a table of the platform calls its code makes (module_services.h).
//
// Some pointers carry C++ types (std::string, std::function, std::unique_ptr),
// which is safe only between the program and a module of the same build: the
// same compiler, headers and shared libstdc++. The entry's name carries the
// build's stamp (SWIPETYPE_MODULE_ENTRY, which platform/modules/CMakeLists.txt
// writes into a header of the build tree), so the program finds no entry in a
// module of another build and reads nothing of it.
#pragma once

#include "platform/keyboard/key_sink.h"

namespace platform {

struct FrontEndServices;
struct KeySinkServices;

struct ModuleHeader {
    const char* name; // "gtk", or a key sink module's: "x11", "uinput"...
};

// extern "C" const ModuleHeader* SWIPETYPE_MODULE_ENTRY(); the header is the
// first member of the module's exports, which the program reads once it checked
// the name.
using ModuleEntry = const ModuleHeader* (*)();

// The desktop front end (swipetype-gtk.so).
struct GtkModuleExports {
    ModuleHeader header;
    void (*attach)(const FrontEndServices* services);
    // Starts mirroring the windows on the display; false with `error` set to
    // one sentence when it cannot.
    bool (*start)(std::string& error);
    void (*stop)();
};

// A key sink's module (swipetype-<module>.so, one per module the table of sinks
// names, platform/keyboard/key_sink_registry.cpp): its sink's probe and factory.
struct KeySinkModuleExports {
    ModuleHeader header;
    void (*attach)(const KeySinkServices* services);
    const KeySinkFactory* factory;
};

} // namespace platform
