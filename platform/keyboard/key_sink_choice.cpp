#include "platform/keyboard/key_sink_choice.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/core/user_notice.h"
#include "platform/keyboard/key_sink_keeper.h"
#include "platform/keyboard/key_sink_registry.h"

namespace platform {
namespace {

int OrderIn(const KeySinkKind& kind, bool wayland) {
    return wayland ? kind.waylandOrder : kind.x11Order;
}

// The kinds the default choice tries in this session, first one first.
std::vector<const KeySinkKind*> Candidates(bool wayland) {
    std::vector<const KeySinkKind*> candidates;
    for (const KeySinkKind& kind : KeySinkKinds()) {
        if (OrderIn(kind, wayland) > 0) {
            candidates.push_back(&kind);
        }
    }
    std::sort(candidates.begin(), candidates.end(),
              [wayland](auto* a, auto* b) { return OrderIn(*a, wayland) < OrderIn(*b, wayland); });
    return candidates;
}

// A module's sink is kept across a lost display or device; the program's own
// sinks cannot be lost.
std::unique_ptr<KeySink> Kept(const KeySinkKind& kind, const KeySinkSettings& settings,
                              std::unique_ptr<KeySink> sink) {
    if (kind.module == nullptr) {
        return sink;
    }
    return KeepKeySink(std::move(sink), [&kind, settings](std::string& error) {
        return MakeKeySink(kind, settings, error);
    });
}

// What was passed over and why, and what would have made it work.
struct PassedOver {
    std::string reasons; // "wayland: ...; uinput: ..."
    std::string remedies;
    void Add(const KeySinkKind& kind, const std::string& reason) {
        reasons += (reasons.empty() ? "" : "; ") + std::string(kind.name) + ": " + reason;
        if (kind.remedy != nullptr) {
            remedies += (remedies.empty() ? "" : ". ") + std::string(kind.remedy);
        }
    }
};

// Told once in a Wayland session where the sink taken misses the Wayland
// applications.
void TellWhatIsMissing(const char* reach, const PassedOver& passed) {
    std::string sentence = std::string(reach) +
                           " will receive the keys in this Wayland session: " + passed.reasons +
                           ".";
    if (!passed.remedies.empty()) {
        sentence += " " + passed.remedies + ", then start Swipetype again.";
    }
    ReportUserNotice("keys", sentence);
}

} // namespace

bool WaylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (display != nullptr && *display != '\0') ||
           (type != nullptr && std::string(type) == "wayland");
}

std::unique_ptr<KeySink> MakeKeySinkByName(const std::string& name, const KeySinkSettings& settings,
                                           std::string& error) {
    const KeySinkKind* kind = FindKeySinkKind(name);
    if (kind == nullptr) {
        error = "unknown key sink \"" + name + "\" (choose " + KeySinkNameList() + ")";
        return nullptr;
    }
    return Kept(*kind, settings, MakeKeySink(*kind, settings, error));
}

std::unique_ptr<KeySink> ChooseDefaultKeySink(const KeySinkSettings& settings, std::string& why) {
    bool wayland = WaylandSession();
    std::string session = wayland ? "Wayland" : "X11";
    PassedOver passed;
    for (const KeySinkKind* kind : Candidates(wayland)) {
        std::string reason;
        std::unique_ptr<KeySink> sink;
        if (ProbeKeySink(*kind, settings, reason)) {
            sink = MakeKeySink(*kind, settings, reason);
        }
        if (sink == nullptr) {
            passed.Add(*kind, reason);
            continue;
        }
        why = "key sink " + std::string(kind->name) + ": " + sink->Target() + ", in this " +
              session + " session" + (passed.reasons.empty() ? "" : " (" + passed.reasons + ")");
        if (wayland && kind->onlyX11UnderWayland) {
            why += "; only X11 applications receive the keys";
            TellWhatIsMissing("Only X11 applications", passed);
        }
        return Kept(*kind, settings, std::move(sink));
    }
    why = "key sink none, card data is not typed: no sink works in this " + session + " session (" +
          passed.reasons + "); --keys text prints it instead";
    if (wayland) {
        TellWhatIsMissing("No application", passed);
    }
    return MakeNullKeySink();
}

bool XDisplayUsable(const std::string& displayName, std::string& error) {
    const KeySinkKind* xtest = FindKeySinkKind("xtest");
    KeySinkSettings settings;
    settings.display = displayName;
    return xtest != nullptr && ProbeKeySink(*xtest, settings, error);
}

} // namespace platform
