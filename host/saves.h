// What becomes of the settings' saves. The message loop never waits for the lock
// another process (a hand edit, swipetype-config without the program) holds on
// the hive: a save that finds it locked fails at once and is tried again once a
// second until it goes through; a save that keeps failing, for any cause, is told
// to the person once per cause, and one that the end of the program leaves
// undone is said on standard error.
#pragma once

namespace host {

// Makes the registry's changes wait for no lock, and watches every save.
void WatchSaves();

// Whether the last save found the hive locked and waits to be tried again.
bool SaveWaitsForLock();

// At the end of the program: says when the settings could not be saved.
void SayUnsavedSettings();

} // namespace host
