// A trace of every setting that changes, in the event log: a `setting` line
// with its name, the value before and after (as `swipetype-config list --json`
// shows them: a string for a text, true or false for a flag, a number for an
// interval) and where the change came from: "dialog", "tool" (a set or reset
// from swipetype-config), "import", or "hand edit" (the hive edited on disk).
// A Prefix, Suffix or separator is a setting a person chose, not card data,
// and is shown as it is; what a reader reads never appears.
#pragma once

#include <string>

#include "settings/setting_catalog.h"

namespace host {

// Traces the settings the program saves from now on; a save is the dialog's
// unless a SettingSource says otherwise.
void TraceSettingWrites();

// Gives the saves made while it lives another source.
class SettingSource {
  public:
    explicit SettingSource(const char* source);
    ~SettingSource();
    SettingSource(const SettingSource&) = delete;
    SettingSource& operator=(const SettingSource&) = delete;

  private:
    const char* previous_;
};

// The setting's value in `record` as the trace shows it.
std::string SettingJson(const SettingEntry& setting, const SettingsRecord& record);

// Writes one `setting` line when `before` and `after` differ.
void TraceSettingChange(const SettingEntry& setting, const std::string& before,
                        const std::string& after, const char* source);

} // namespace host
