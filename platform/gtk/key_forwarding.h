// Keys a person presses in the front end's windows that the program itself must
// see: chords with Control or Alt, as accelerators (Ctrl+A "About", Ctrl+Q) are
// translated by the program's own loop with TranslateAcceleratorW. They are
// posted as WM_KEYDOWN and WM_KEYUP to the window with the keyboard focus (else
// the active window). Plain typing stays with the GTK widgets, which pass on its
// result (an edit box's text, a button's click) as the window system's state.
//
// The program reads the modifiers with GetKeyState when it translates a key, by
// which time the person may have let go of Control. So modifier changes travel
// through the message queue too, posted to a hidden window of the front end's
// that applies them when the loop reaches them, in order with the keys: what
// GetKeyState says while a key message is handled is what was held when it was
// pressed.
#pragma once

#include "platform/core/types.h"

#include <gtk/gtk.h>

namespace platform::gtk_front_end {

// Makes the hidden window that carries modifier changes; returns it (null when
// it cannot be made).
HWND StartKeyForwarding();
void StopKeyForwarding();
// Forwards the key chords pressed in `window` (a GtkWindow).
void ForwardKeys(GtkWidget* window);
// The virtual key of a GDK key value; 0 for keys the device has no code for.
UINT VirtualKeyOf(guint keyval);

} // namespace platform::gtk_front_end
