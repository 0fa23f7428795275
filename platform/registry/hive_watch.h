// Changes made to a hive on disk by others while this program runs: a person
// with an editor, `sed -i`, a standard hive copied over it. The registry folder
// is watched with inotify from the message loop, so nothing runs while nothing
// changes. Each time the hive file is written and closed, or renamed into
// place, the values of the watched key are compared with what this process
// last saw or wrote there, and those that differ are handed to the handler.
// The process's own writes are never reported: each is noted as it is made.
//
// A value removed from the file is not a change (the key's reader keeps what
// it has), and a file that does not parse is left alone until it does: it may
// be half written, and setting it aside is for the next write to decide.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/types.h"

namespace platform {

struct ChangedValue {
    std::u16string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

using RegistryChangeHandler = std::function<void(const std::vector<ChangedValue>& changed)>;

// Watches the key `subKey` of the hive of `root` (HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER) in the device root; its values as they are now count as
// seen. One key is watched at a time. False, with a sentence in `error`, when
// the registry folder cannot be made or watched.
bool WatchRegistryKey(HKEY root, std::u16string_view subKey, RegistryChangeHandler handler,
                      std::string& error);
void StopWatchingRegistry();

// Hands over now the changes that are on disk but not yet handled, for a
// caller that is about to save and must not write over what a person wrote.
void TakeRegistryChanges();

// Called by the registry for each value this process writes to a hive.
void NoteOwnRegistryWrite(HKEY root, std::u16string_view keyPath, std::u16string_view name,
                          DWORD type, const std::vector<BYTE>& data);

} // namespace platform
