// The program's loadable modules: parts with heavy libraries behind them (the GTK
// desktop front end, the X11, uinput and Wayland key sinks) are shared objects
// that the program maps only when it uses them, so that a headless program with
// the text sink maps no desktop, X, evdev or Wayland library at all.
//
// A module never resolves a name from the program: the program's dynamic symbol
// table holds only the serial library's five timer functions. Instead each
// module exports one C function, swipetype_module, which returns its exports:
// a header that identifies it, then function pointers the program calls. The
// program hands the module, through the exports' `attach`, a table of pointers
// to the platform calls the module's code makes (module_services.h); the module
// defines those calls as forwarders through the table, so its sources read as
// if they were linked into the program.
//
// Some pointers carry C++ types (std::string, std::vector, std::function,
// std::unique_ptr). That is safe because a module is accepted only from the same
// build as the program: the same compiler, the same headers and the same shared
// libstdc++, so both sides agree on every layout, and memory allocated on one side
// is freed by the same operator delete on the other. The header's build stamp
// (module_build_stamp.h, made by the build: the version, the compiler and a
// digest of the headers whose types cross) checks exactly that; a module of
// another build is refused before any of its pointers is called.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/keyboard/key_sink.h"

namespace platform {

struct FrontEndServices;
struct KeySinkServices;

// Raised whenever the exports or the services of any module change shape.
constexpr std::uint32_t kModuleInterfaceVersion = 2;

// The name of every module's one exported function.
constexpr char kModuleEntryName[] = "swipetype_module";

struct ModuleHeader {
    std::uint32_t interfaceVersion; // kModuleInterfaceVersion of the module's build
    const char* buildStamp;         // kModuleBuildStamp of the module's build
    const char* name;               // "gtk", or a key sink module's: "x11", "uinput"...
};

// extern "C" const ModuleHeader* swipetype_module(); the header is the first
// member of the module's exports, which the program reads once it checked it.
using ModuleEntry = const ModuleHeader* (*)();

// The desktop front end (swipetype-gtk.so).
struct GtkModuleExports {
    ModuleHeader header;
    void (*attach)(const FrontEndServices* services);
    // Starts mirroring the windows on the X display; false with `error` set to
    // one sentence when it cannot.
    bool (*start)(std::string& error);
    void (*stop)();
};

// A key sink's module (swipetype-<module>.so, one per module the table of sinks
// names, platform/keyboard/key_sink_registry.h): its sink's probe and factory.
struct KeySinkModuleExports {
    ModuleHeader header;
    void (*attach)(const KeySinkServices* services);
    const KeySinkFactory* factory;
};

} // namespace platform
