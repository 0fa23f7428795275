// Icon handles of the window system as GdkPixbufs: each handle's PNG picture is
// decoded once and kept, as the handles themselves live for the whole run.
#pragma once

#include "platform/core/types.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

namespace platform::gtk_front_end {

// The picture of `icon`, owned by the cache (no reference is passed); null for a
// handle that is no icon or a picture that does not decode.
GdkPixbuf* IconPixbuf(HICON icon);
void ClearIconPixbufs();

} // namespace platform::gtk_front_end
