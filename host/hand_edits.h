// A settings hive changed on disk while the program runs (an editor, sed -i, a
// standard hive copied over it) is taken as `swipetype-config set` of each
// changed value would take it, within a moment, so that the program's own save
// later writes what was chosen last, wherever it was chosen, instead of undoing
// the edit.
#pragma once

#include <string>

namespace host {

// Watches the hive from the message loop. False, with a sentence in `error`,
// when it cannot be watched (the program then runs without).
bool TakeHandEdits(std::string& error);

// Takes an edit that is on disk but not yet taken, before the program saves.
void TakeHandEditsNow();

void StopTakingHandEdits();

} // namespace host
