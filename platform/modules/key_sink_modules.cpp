#include "platform/modules/key_sink_modules.h"

#include <optional>

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

struct SinkModule {
    ModuleHandle handle;
    const KeySinkFactory* factory = nullptr;
};

std::optional<SinkModule> Load(const std::string& module, std::string& error) {
    std::string problem;
    ModuleHandle handle = LoadModule(module, ModuleLifetime::WhileHeld, problem);
    if (handle == nullptr) {
        error = "the key sink module " + module + " cannot be loaded: " + problem;
        return std::nullopt;
    }
    const auto* exports = handle->ExportsAs<KeySinkModuleExports>();
    exports->attach(&Services());
    return SinkModule{std::move(handle), exports->factory};
}

// A sink made by a module, holding the module for as long as the sink's code runs.
class ModuleKeySink final : public KeySink {
  public:
    ModuleKeySink(ModuleHandle module, std::unique_ptr<KeySink> sink)
        : module_(std::move(module)), sink_(std::move(sink)) {}

    bool Post(const KeyEvent& event) override { return sink_->Post(event); }
    std::string Name() const override { return sink_->Name(); }
    std::string Target() const override { return sink_->Target(); }
    bool Lost() const override { return sink_->Lost(); }
    int EventDescriptor() const override { return sink_->EventDescriptor(); }
    short WaitEvents() const override { return sink_->WaitEvents(); }
    void Service(short ready) override { sink_->Service(ready); }

  private:
    ModuleHandle module_; // declared first, so released after the sink
    std::unique_ptr<KeySink> sink_;
};

class LoadableModules final : public KeySinkModules {
  public:
    bool Probe(const std::string& module, const KeySinkSettings& settings,
               std::string& reason) override {
        std::optional<SinkModule> loaded = Load(module, reason);
        return loaded && loaded->factory->probe(settings, reason);
    }

    std::unique_ptr<KeySink> Make(const std::string& module, const KeySinkSettings& settings,
                                  std::string& error) override {
        std::optional<SinkModule> loaded = Load(module, error);
        if (!loaded) {
            return nullptr;
        }
        std::unique_ptr<KeySink> sink = loaded->factory->make(settings, error);
        if (sink == nullptr) {
            return nullptr;
        }
        return std::make_unique<ModuleKeySink>(std::move(loaded->handle), std::move(sink));
    }
};

} // namespace

std::unique_ptr<KeySinkModules> LoadableKeySinkModules() {
    return std::make_unique<LoadableModules>();
}

bool XDisplayUsable(const std::string& displayName, std::string& error) {
    const KeySinkKind* xtest = FindKeySinkKind("xtest");
    KeySinkSettings settings;
    settings.display = displayName;
    return xtest != nullptr && ProbeKeySink(*xtest, settings, error);
}

} // namespace platform
