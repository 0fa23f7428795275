#include "platform/modules/program_modules.h"

#include "platform/modules/loadable_module.h"
#include "platform/modules/module_services.h"

namespace platform {
namespace {

// The platform calls of the key sinks, as their modules reach them.
const KeySinkServices& KeySinkCalls() {
    static const KeySinkServices services = [] {
        KeySinkServices table{};
        SWIPETYPE_KEY_SINK_GLOBAL_CALLS(SWIPETYPE_FILL_GLOBAL_SERVICE)
        SWIPETYPE_KEY_SINK_PLATFORM_CALLS(SWIPETYPE_FILL_PLATFORM_SERVICE)
        table.debugLine = [](LPCWSTR text) { NKDbgPrintfW(u"%s", text); };
        return table;
    }();
    return services;
}

// A key sink module's factory; the module is mapped while `held` is.
const KeySinkFactory* Load(const std::string& module, ModuleLifetime lifetime, ModuleHandle& held,
                           std::string& error) {
    std::string problem;
    held = LoadModule(module, lifetime, problem);
    if (held == nullptr) {
        error = "the key sink module " + module + " cannot be loaded: " + problem;
        return nullptr;
    }
    const auto* exports = ExportsOf<KeySinkModuleExports>(held);
    exports->attach(&KeySinkCalls());
    return exports->factory;
}

// A probe lets the module go again; a module asked for a sink stays for the run
// (a keeper makes its sink again from it when its display or device comes back).
class LoadableModules final : public KeySinkModules {
  public:
    bool Probe(const std::string& module, const KeySinkSettings& settings,
               std::string& reason) override {
        ModuleHandle held;
        const KeySinkFactory* factory = Load(module, ModuleLifetime::WhileHeld, held, reason);
        return factory != nullptr && factory->probe(settings, reason);
    }

    std::unique_ptr<KeySink> Make(const std::string& module, const KeySinkSettings& settings,
                                  std::string& error) override {
        ModuleHandle held;
        const KeySinkFactory* factory = Load(module, ModuleLifetime::WholeRun, held, error);
        return factory != nullptr ? factory->make(settings, error) : nullptr;
    }
};

// The window system's calls, as the front end's module reaches them.
const FrontEndServices& FrontEndCalls() {
    static const FrontEndServices services = [] {
        FrontEndServices table{};
        SWIPETYPE_FRONT_END_GLOBAL_CALLS(SWIPETYPE_FILL_GLOBAL_SERVICE)
        SWIPETYPE_FRONT_END_PLATFORM_CALLS(SWIPETYPE_FILL_PLATFORM_SERVICE)
        return table;
    }();
    return services;
}

// The front end started, until it is stopped.
const GtkModuleExports* runningFrontEnd = nullptr;

} // namespace

std::unique_ptr<KeySinkModules> LoadableKeySinkModules() {
    return std::make_unique<LoadableModules>();
}

bool StartFrontEndModule(std::string& error) {
    std::string problem;
    ModuleHandle module = LoadModule("gtk", ModuleLifetime::WholeRun, problem);
    if (module == nullptr) {
        error = "the desktop front end cannot be loaded: " + problem;
        return false;
    }
    const auto* gtk = ExportsOf<GtkModuleExports>(module);
    gtk->attach(&FrontEndCalls());
    if (!gtk->start(error)) {
        return false;
    }
    runningFrontEnd = gtk;
    return true;
}

void StopFrontEndModule() {
    if (runningFrontEnd != nullptr) {
        runningFrontEnd->stop();
        runningFrontEnd = nullptr;
    }
}

} // namespace platform
