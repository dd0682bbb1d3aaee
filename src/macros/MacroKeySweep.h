#pragma once
// What deleting macro m does to key assignments: a key that plays m (macro
// function 0x70 or 0x71 with A = m) gets its default function back, a key
// that plays a later macro (A > m) moves down by one, so every key keeps
// pointing at the same macro after the library closed the gap.
//
// ProfileKeySweep applies this to the profile files of a device in two
// steps: Prepare reads every file and works out its new text without writing
// anything, Commit writes the changed files one by one, each atomically, and
// puts the earlier ones back when a later write fails. A deletion that fails
// after Commit calls Rollback. So the files are either all renumbered or all
// as they were, unless putting one back fails too (NotRestored names those).
#include "keys/KeyFunction.h"
#include "platform/JsonFileHelper.h"

#include <json/value.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// True when the function plays macro `macroIndex` (either macro category).
bool PlaysMacro(const KeyFunction& function, int macroIndex);
// True when some entry's current function plays the macro.
bool KeysUseMacro(const std::vector<KeyListEntry>& keys, int macroIndex);
// Applies the deletion of `macroIndex` to the current halves; returns how many entries changed.
int RemoveMacroFromKeys(std::vector<KeyListEntry>& keys, int macroIndex);
// The same on a profile's "KeyList" array: "Assignment" changes, nothing else.
// Elements whose "Assignment" is not a key-list integer are left as they are;
// a missing or damaged "DefaultAssignment" counts as the default function 0.
int RemoveMacroFromKeyList(Json::Value& keyList, int macroIndex);

class ProfileKeySweep {
public:
    // Writes `text` as the whole file at `path`, atomically; false on failure.
    using Writer = std::function<bool(std::string_view text, const std::string& path)>;

    // `writer` defaults to CJsonFileHelper::WriteTextFile.
    explicit ProfileKeySweep(const CJsonFileHelper& json, int deviceIndex = 0, Writer writer = {});

    // Reads every file and works out its text after deleting `macroIndex`.
    // Nothing is written. A file that is missing, empty or not JSON holds no
    // assignment to fix and is skipped. False, with FailedPath set, when a
    // file exists but cannot be read (nothing can be promised about it).
    bool Prepare(const std::vector<std::string>& paths, int macroIndex);
    // The files whose text changes, in the order given to Prepare.
    std::vector<std::string> ChangedPaths() const;

    // Writes every changed file. False, with FailedPath set and nothing left
    // changed (but see NotRestored), when a file changed on disk since Prepare
    // (checked for all before anything is written) or a write fails.
    bool Commit();
    // Gives every file Commit wrote its old bytes back. True when all are back;
    // the ones that could not be restored are added to NotRestored.
    bool Rollback();

    const std::string& FailedPath() const { return m_failedPath; }
    const std::vector<std::string>& NotRestored() const { return m_notRestored; }

private:
    struct PreparedFile {
        std::string path;
        FileSignature signature; // of the version read
        std::string oldText;
        std::string newText;
        bool written = false;
    };

    bool Write(std::string_view text, const std::string& path) const;

    const CJsonFileHelper& m_json;
    int m_deviceIndex;
    Writer m_writer;
    std::vector<PreparedFile> m_files;
    std::string m_failedPath;
    std::vector<std::string> m_notRestored;
};

} // namespace velkor
