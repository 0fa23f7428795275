// The key sinks that need X or evdev libraries, as the program reaches them:
// each call loads the sink's module (swipetype-x11.so, swipetype-uinput.so) and
// hands it on, so that those libraries are mapped only once such a sink is made
// or probed. A sink made by a module keeps the module mapped while it lives; a
// probe that made nothing lets it go again. (The test programs link the sinks
// themselves instead of this file.)
#include <optional>

#include "platform/keyboard/key_sink_factories.h"
#include "platform/modules/loadable_module.h"
#include "platform/modules/module_services.h"

namespace platform {
namespace {

const KeySinkServices& Services() {
    static const KeySinkServices services = [] {
        KeySinkServices table{};
        SWIPETYPE_KEY_SINK_GLOBAL_CALLS(SWIPETYPE_FILL_GLOBAL_SERVICE)
        SWIPETYPE_KEY_SINK_PLATFORM_CALLS(SWIPETYPE_FILL_PLATFORM_SERVICE)
        table.debugLine = [](LPCWSTR text) { NKDbgPrintfW(u"%s", text); };
        return table;
    }();
    return services;
}

template <typename Exports> struct SinkModule {
    ModuleHandle handle;
    const Exports* exports = nullptr;
};

// `what` names the module in the error: "the X11 key sink".
template <typename Exports>
std::optional<SinkModule<Exports>> Load(const char* name, const char* what, std::string& error) {
    std::string problem;
    ModuleHandle handle = LoadModule(name, ModuleLifetime::WhileHeld, problem);
    if (handle == nullptr) {
        error = std::string(what) + " cannot be loaded: " + problem;
        return std::nullopt;
    }
    const Exports* exports = handle->ExportsAs<Exports>();
    exports->attach(&Services());
    return SinkModule<Exports>{std::move(handle), exports};
}

// A sink made by a module, holding the module for as long as the sink's code runs.
class ModuleKeySink final : public KeySink {
  public:
    ModuleKeySink(ModuleHandle module, std::unique_ptr<KeySink> sink)
        : module_(std::move(module)), sink_(std::move(sink)) {}

    bool Post(const KeyEvent& event) override { return sink_->Post(event); }
    std::string Name() const override { return sink_->Name(); }

  private:
    ModuleHandle module_; // declared first, so released after the sink
    std::unique_ptr<KeySink> sink_;
};

std::unique_ptr<KeySink> Held(ModuleHandle module, std::unique_ptr<KeySink> sink) {
    if (sink == nullptr) {
        return nullptr;
    }
    return std::make_unique<ModuleKeySink>(std::move(module), std::move(sink));
}

} // namespace

std::unique_ptr<KeySink> MakeXTestKeySink(const std::string& displayName, std::string& error) {
    auto x11 = Load<X11ModuleExports>("x11", "the X11 key sink", error);
    if (!x11) {
        return nullptr;
    }
    return Held(x11->handle, x11->exports->makeXTestKeySink(displayName, error));
}

bool XDisplayUsable(const std::string& displayName, std::string& error) {
    auto x11 = Load<X11ModuleExports>("x11", "the X11 module", error);
    return x11 && x11->exports->displayUsable(displayName);
}

bool UinputAccessible(const std::string& path, std::string& reason) {
    auto uinput = Load<UinputModuleExports>("uinput", "the uinput key sink", reason);
    return uinput && uinput->exports->uinputAccessible(path, reason);
}

std::unique_ptr<KeySink> MakeUinputKeySink(const std::string& layout, std::string& error,
                                           const std::string& path) {
    auto uinput = Load<UinputModuleExports>("uinput", "the uinput key sink", error);
    if (!uinput) {
        return nullptr;
    }
    return Held(uinput->handle, uinput->exports->makeUinputKeySink(layout, error, path));
}

} // namespace platform
