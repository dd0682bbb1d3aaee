#pragma once
// The files of a device's macro library, in its user data folder:
//
// - the index "macro.config": {"MacroInfo": [{"MacroName", "Guid"}, ...]};
//   the position of an entry is the macro index that key functions and the
//   device use;
// - one file per macro, Guid + ".mac": {"MacroName", "Guid", "Events",
//   "Version": 64}.
//
// A Guid is a time stamp given when the macro is created and never changes.
// Because it names a file, a Guid read from a file is used only when it is a
// plain file name (IsPlainFileName in profiles/NameRules.h); any other Guid
// names no file.
#include "platform/JsonFileHelper.h"

#include <json/value.h>

#include <string>
#include <string_view>
#include <vector>

namespace velkor {

inline constexpr std::string_view kMacroIndexFileName = "macro.config";
inline constexpr std::string_view kMacroFileExtension = ".mac";
// Suffix of the copy kept of a damaged index file before it is replaced.
inline constexpr std::string_view kDamagedIndexSuffix = ".damaged";

struct MacroInfoEntry {
    std::string name; // "MacroName"; empty when absent or not a string
    std::string guid; // "Guid"; empty when absent or not a string

    bool operator==(const MacroInfoEntry&) const = default;
};

// `name` inside `folder` (with or without a trailing separator); empty when
// the folder is empty.
std::string JoinMacroPath(const std::string& folder, std::string_view name);
// folder + guid + ".mac"; empty when the folder is empty or the Guid unsafe.
std::string MacroFilePath(const std::string& folder, std::string_view guid);

// The index file as a document that can be changed and written back: the
// file's own object when it holds one (other members kept), else an empty
// object. "MacroInfo" is always an array afterwards. `damaged` (may be null)
// tells whether the file exists but is not a JSON object, so that a writer can
// save it aside first.
Json::Value ReadMacroIndexDocument(const CJsonFileHelper& json, const std::string& path,
                                   bool* damaged = nullptr);
// The entries of an index document in order. Elements that are not objects
// give empty entries, so positions stay the macro indexes.
std::vector<MacroInfoEntry> MacroIndexEntries(const Json::Value& document);

// Writes the index document atomically. When `damaged`, the file as it is now
// is first copied to path + kDamagedIndexSuffix; if that copy fails nothing is
// written. False when the index was not written.
bool WriteMacroIndexDocument(const CJsonFileHelper& json, const Json::Value& document,
                             const std::string& path, bool damaged);

// The macro file document: "MacroName", "Guid", "Events" (as given), "Version" 64.
Json::Value MakeMacroDocument(const std::string& name, const std::string& guid, const Json::Value& events);
// The "Events" array of a macro file; empty when the file is missing, damaged,
// or has no array there.
Json::Value ReadMacroEvents(const CJsonFileHelper& json, const std::string& path);

// The text without white space at both ends.
std::string TrimName(std::string_view text);

} // namespace velkor
