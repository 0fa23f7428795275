// The running program's answer to swipetype-config: a setting is read or
// changed the way the options dialog would change it, then saved at once, so
// that the program's own save when it ends keeps the change. A Set without a
// name carries several settings, "NAME=VALUE" entries separated by zero units
// (swipetype-config import): all are checked before any is applied, and they
// are saved together, so the change is whole or refused.
#pragma once

#include <string>
#include <string_view>

#include "platform/ipc/remote_windows.h"
#include "settings/setting_catalog.h"

namespace host {

// Answers one request; used through platform::SetSettingHandler.
platform::SettingAnswer AnswerSettingRequest(platform::remote::SettingAction action,
                                             std::u16string_view name, std::u16string_view value);

// Gives one setting its value in `wanted` as a request to set it does, without
// saving: for a value that is on disk already (a hive edited by hand).
void ChangeSetting(const SettingEntry& setting, const SettingsRecord& wanted);

// The setting's value as the program holds it now (a text as its edit box
// has it), as host/setting_trace.h shows it.
std::string CurrentSettingJson(const SettingEntry& setting);

} // namespace host
