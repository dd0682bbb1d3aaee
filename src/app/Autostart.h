#pragma once
// Start at login: a desktop entry in the user's autostart folder
// ($XDG_CONFIG_HOME/autostart, by default ~/.config/autostart) that starts the
// program in the notification area. The desktop's session starts every entry
// of that folder that is not hidden; removing the file turns it off.
//
// Any thread; nothing is cached, every call looks at the file.
#include <string>

namespace velkor {

// The entry's file name: the program's desktop entry name, so that the
// desktop's own start-up settings show it with the program's name and icon.
inline constexpr const char* kAutostartFileName = "org.velkor.VELKOR01.desktop";

// The entry's path for the XDG_CONFIG_HOME and HOME values given (empty or
// relative values count as unset); empty when neither gives a folder.
std::string AutostartFilePath(const std::string& xdgConfigHome, const std::string& home);

// The entry's text: it runs `program` (an absolute path, quoted as the
// desktop entry format asks) with --background.
std::string AutostartEntryText(const std::string& program);

// Whether the entry exists and the desktop would start it (not Hidden=true).
bool AutostartEnabled(const std::string& path);

// Writes the entry (atomically, creating the autostart folder) or removes it.
// Turning off what is off succeeds. False with a message naming the file or
// folder and the reason: no path, a folder that is a file, no permission.
bool SetAutostart(const std::string& path, bool on, const std::string& program, std::string* error);

} // namespace velkor
