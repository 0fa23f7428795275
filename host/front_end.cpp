#include "host/front_end.h"

#ifdef SWIPETYPE_HAVE_GTK
#include "platform/gtk/gtk_front_end.h"
#endif

namespace host {

std::string ChooseFrontEnd(const std::optional<std::string>& asked) {
    if (asked) {
        return *asked;
    }
#ifdef SWIPETYPE_HAVE_GTK
    if (platform::GtkDisplayUsable()) {
        return "gtk";
    }
#endif
    return "headless";
}

bool StartFrontEnd(const std::string& name, std::string& error) {
    if (name == "headless") {
        return true;
    }
#ifdef SWIPETYPE_HAVE_GTK
    if (name == "gtk") {
        return platform::StartGtkFrontEnd(error);
    }
#endif
    error = "the " + name + " front end is not part of this build";
    return false;
}

void StopFrontEnd() {
#ifdef SWIPETYPE_HAVE_GTK
    platform::StopGtkFrontEnd();
#endif
}

} // namespace host
