// The startup file that the AutoStart setting stands for, written the way the
// program writes it ("<program>\rMIN" in the startup folder), for when the
// setting is changed without a running instance.
#pragma once

#include <string>

namespace config_tool {

// Writes it, naming the swipetype program installed beside this tool. False
// with a sentence in `error` when that program is not there or the file cannot
// be written.
bool WriteStartupFile(std::string& error);

// Removes it if it exists.
void RemoveStartupFile();

} // namespace config_tool
