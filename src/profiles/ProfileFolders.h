#pragma once
// Where the profile files live. Nothing here reads the environment or asks
// where the program is: the caller passes the data home and the program
// folder, so tests work in a temporary folder.
//
// Folders are returned with a trailing '/'. A function that builds a path from
// a name refuses a name that is not a plain file name (IsPlainFileName in
// profiles/NameRules.h) by returning an empty string.
#include <string>
#include <vector>

namespace velkor {

// The folder under the data home that holds every device's folder.
inline constexpr const char* kUserBaseFolderName = "VELKOR01";
inline constexpr const char* kDefaultDataFolderName = "DefaultData";
inline constexpr const char* kProfileExtension = ".Json";
inline constexpr const char* kLightConfigFileName = "ornic_light.config";
// The folder under the temporary folder that receives downloaded updates.
inline constexpr const char* kDownloadFolderName = "UpdateData";

// The per-user data home: `xdgDataHome` when it is an absolute path, else
// `home` + "/.local/share" when `home` is absolute, else empty. Pass the values
// of $XDG_DATA_HOME and $HOME (null when unset).
std::string DataHomeFrom(const char* xdgDataHome, const char* home);

// dataHome + "/VELKOR01/". The data home and then "VELKOR01" are created one
// level at a time when missing (mode 0700). Empty when the data home is not
// absolute or a level cannot be created (or exists as something else).
std::string UserBaseFolder(const std::string& dataHome);

// UserBaseFolder(dataHome) + deviceFolder + "/", created the same way.
std::string UserDataFolder(const std::string& dataHome, const std::string& deviceFolder);

// The folders the program writes its data in under the data home: the base
// folder and every folder directly in it (not through a link), those that
// exist. Creates nothing.
std::vector<std::string> ExistingDataFolders(const std::string& dataHome);

// A folder `name` that ships with the program (only read): beside the
// program (run from the build tree or unpacked anywhere), or, when there is
// none there but the installed data folder has one, the program being in
// <prefix>/bin, <prefix>/share/velkor/<name>/. Without either it is the one
// beside the program, so that a failure names the first place looked at.
std::string ShippedFolder(const std::string& programFolder, const std::string& name);
// ShippedFolder(programFolder, "DefaultData").
std::string DefaultDataFolder(const std::string& programFolder);
// DefaultDataFolder(programFolder) + deviceFolder + ".Json".
std::string DefaultProfilePath(const std::string& programFolder, const std::string& deviceFolder);

// userDataFolder + identifier + ".Json".
std::string ProfileFilePath(const std::string& userDataFolder, const std::string& identifier);
// userDataFolder + "ornic_light.config".
std::string LightConfigPath(const std::string& userDataFolder);

// The temporary folder: `tmpdir` (the value of $TMPDIR, null when unset) when
// it is an absolute path, else "/tmp".
std::string TempFolderFrom(const char* tmpdir);
// tempFolder + "/UpdateData/", created (mode 0700) when missing. Empty when the
// temporary folder is not absolute or the folder cannot be created.
std::string DownloadFolder(const std::string& tempFolder);

} // namespace velkor
