// The running program's answer to swipetype-config: a setting is read or
// changed the way the options dialog would change it, then saved at once, so
// that the program's own save when it ends keeps the change.
#pragma once

#include "platform/ipc/remote_windows.h"

namespace host {

// Answers one request; used through platform::SetSettingHandler.
platform::SettingAnswer AnswerSettingRequest(platform::remote::SettingAction action,
                                             std::u16string_view name, std::u16string_view value);

// Changes one setting as a request to set it does, without saving: for a value
// that is on disk already (a hive edited by hand). False, with one line in
// `error`, for an unknown name or a bad value.
bool ApplySetting(std::string_view name, std::string_view value, std::string& error);

} // namespace host
