#pragma once
// ProfileList: a device's named profiles, kept in "ProfileList.ini" in the
// device's user data folder. Despite the extension the file is JSON:
//
//   {"profilelist": [{"profilename": "profile1",
//                     "profileUUID": "2023_07_04_09_05_03_042",
//                     "profileislink": 0, "profilelinkmame": ""}, ...],
//    "profileselect": 0}
//
// Each profile's settings live in user data folder + identifier + ".Json", a
// profile file that also carries "profilename" and "profileUUID" at its top.
//
// Identifiers name files, so only a text of the MakeTimeStamp form is ever
// turned into a path. An entry read with any other identifier ("../x", an
// absolute path, "", a number) or with the identifier of an earlier entry is
// given a fresh identifier on reading; the old value is never used as a path.
// Such repairs are reported so the owner can create the new profile files and
// save the list.
//
// No toolkit code here: CDeviceProfileUI mirrors the list into its controls.
// Not thread-safe; the user-interface thread owns it.
#include "platform/JsonFileHelper.h"

#include <json/value.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

inline constexpr const char* kProfileListFileName = "ProfileList.ini";
// Adding stops at this many profiles (copy and import do not).
inline constexpr int kMaxAddedProfiles = 50;
// Names the user types or a file title gives are cut to this many characters.
inline constexpr size_t kMaxProfileNameChars = 64;

// Where new identifiers take their time from (the system clock by default).
using TimeSource = std::function<std::chrono::system_clock::time_point()>;

struct ProfileListEntry {
    std::string name;
    std::string identifier;

    bool operator==(const ProfileListEntry&) const = default;
};

// True for a text of the form "%d_%02d_%02d_%02d_%02d_%02d_%03d": 1 to 6
// digits, five groups of "_" and two digits, "_" and three digits.
bool IsProfileIdentifier(std::string_view text);
// Empty, or only white space (ASCII, no-break space, ideographic space).
bool IsBlankProfileName(std::string_view name);
// A name as it is stored: valid UTF-8, at most kMaxProfileNameChars characters.
std::string CleanProfileName(std::string_view name);

// Generated names, each different (ignoring case) from every name in `names`:
// "profile1", "profile2", ... (the lowest free number);
std::string MakeAddName(const std::vector<std::string>& names);
// "A copy", then "A copy copy", ...;
std::string MakeCopyName(std::string_view source, const std::vector<std::string>& names);
// "A", then "A(1)", then "A(1)(2)", ...
std::string MakeImportName(std::string_view title, const std::vector<std::string>& names);

enum class ProfileListState {
    Loaded,   // read as stored
    Repaired, // read; some entries were mended (see Repairs) and should be saved
    Missing,  // no list file (first use); the entries are unchanged
    Damaged,  // a file that is no list (copied aside first); the entries are unchanged
    Empty,    // a list without a usable profile; the entries are unchanged
};

// One mended entry: it got a fresh identifier (and, for a blank name, a
// generated name). Its profile file is to be made from `copyOf`'s file when
// it shared that identifier with an earlier entry, else from the default profile.
struct ProfileListRepair {
    int index = -1;
    std::string copyOf;
};

class ProfileList {
public:
    // Suffix of the copy kept of a damaged list file before it is replaced.
    static constexpr const char* kDamagedSuffix = ".damaged";

    // `userDataFolder` may lack the trailing '/'. An empty folder gives a list
    // that cannot be read or written (every path is empty).
    explicit ProfileList(std::string userDataFolder = {}, TimeSource now = {});

    // Reads the list file. On Loaded and Repaired the entries and the
    // selection are the file's (a selection outside the list becomes 0);
    // otherwise they are left as they were.
    ProfileListState Load();
    // Writes the list atomically, keeping top-level members it does not know.
    bool Save() const;
    // Rebuilds the list from the profile files of the folder (oldest first,
    // named by their "profilename"), e.g. after the list file was lost or
    // damaged. False, and no change, when the folder holds none.
    bool RecoverFromFolder();

    const std::vector<ProfileListEntry>& Entries() const { return m_entries; }
    int Count() const { return static_cast<int>(m_entries.size()); }
    std::vector<std::string> Names() const;
    // The stored selection: a valid index, or -1 for an empty list.
    int Selected() const { return m_selected; }
    bool Select(int index);
    const std::vector<ProfileListRepair>& Repairs() const { return m_repairs; }

    // Editing in memory; Save writes the result.
    void Append(ProfileListEntry entry);
    bool Remove(int index);
    bool Rename(int index, std::string name);
    void Clear();

    // An identifier of the MakeTimeStamp form that no entry uses and no file of
    // the folder carries: the current millisecond, stepped on while taken.
    // Empty when none is free (after a very long search) or there is no folder.
    std::string NewIdentifier() const;

    const std::string& Folder() const { return m_folder; }
    std::string ListPath() const;
    // Folder + identifier + ".Json"; empty unless `identifier` has the
    // MakeTimeStamp form (so no path ever leaves the folder).
    std::string ProfilePath(std::string_view identifier) const;
    std::string ProfilePathAt(int index) const;

    // A profile file's top-level value (null when missing or damaged).
    Json::Value ReadProfileFile(std::string_view identifier) const;
    // Writes `document` (made an object when it is not one) with
    // "profilename" and "profileUUID" of `entry` as the entry's profile file.
    bool WriteProfileFile(Json::Value document, const ProfileListEntry& entry) const;

private:
    bool IdentifierTaken(const std::string& identifier) const;

    std::string m_folder;
    TimeSource m_now;
    CJsonFileHelper m_json;
    std::vector<ProfileListEntry> m_entries;
    int m_selected = -1;
    Json::Value m_otherMembers; // top-level members of the file besides the two of the list
    std::vector<ProfileListRepair> m_repairs;
};

} // namespace velkor
