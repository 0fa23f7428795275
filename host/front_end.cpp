#include "host/front_end.h"

#ifdef SWIPETYPE_HAVE_GTK
#include "platform/gtk/gtk_front_end.h"
#endif

namespace host {

// The desktop front end is taken only when asked for: it still keeps the program
// busy while idle (it wakes the loop when nothing changed), which a resident
// program must not do, so it does not become the default until that is mended.
std::string ChooseFrontEnd(const std::optional<std::string>& asked) {
    return asked.value_or("headless");
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
