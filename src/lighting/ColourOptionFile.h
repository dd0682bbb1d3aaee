#pragma once
// The colour dialog's file "color_option_info.config" in the user base folder:
// which preset and which collected slot were selected last, the colours of
// the twenty presets (written, never read back) and the twenty collected
// slots with the colours the user keeps between runs.
//
// Reading never fails: a missing user file, or one that reads as null
// (damaged), is replaced by the shipped default first (a damaged one is kept
// beside it as ".damaged"); a value that is out of range or malformed reads as
// the initial value of its field. Writing replaces only the section it names
// and keeps every other member. Any thread, but one object per thread.
#include "platform/JsonFileHelper.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace velkor {

inline constexpr int kColourOptionCount = 20;
inline constexpr int kInitialPreset = 4;
inline constexpr int kInitialCollectedSlot = 0;
inline constexpr const char* kColourOptionFileName = "color_option_info.config";

// One collected slot as the file describes it.
struct CollectedColour {
    uint32_t argb = 0;
    // "UserData" "1": the slot holds a colour. A colour that is not eight
    // hexadecimal digits makes the whole slot read as empty (nullopt below).
    bool filled = false;
};

struct ColourOptions {
    int preset = kInitialPreset;
    int slot = kInitialCollectedSlot;
    // Slots the file describes with a readable colour; the others stay as the layout has them.
    std::array<std::optional<CollectedColour>, kColourOptionCount> collected{};
};

// A preset as written: its background colour (nullopt: no such control).
using PresetColours = std::array<std::optional<uint32_t>, kColourOptionCount>;
using CollectedColours = std::array<std::optional<CollectedColour>, kColourOptionCount>;

// Eight upper-case hexadecimal digits of `argb`.
std::string HexColour(uint32_t argb);
// Exactly eight hexadecimal digits (either case); nothing otherwise.
std::optional<uint32_t> ParseHexColour(const std::string& text);

class ColourOptionFile {
public:
    // `userPath` is the user's file; `defaultPath` the shipped copy (may be empty).
    ColourOptionFile(std::string userPath, std::string defaultPath)
        : m_userPath(std::move(userPath)), m_defaultPath(std::move(defaultPath)) {}

    // UserBaseFolder(dataHome) + file name, DefaultDataFolder(programFolder) + file name.
    static ColourOptionFile ForFolders(const std::string& programFolder, const std::string& dataHome);

    // Reads the user's file, putting the default in place first as above.
    ColourOptions Read();
    // Both sections in one read-modify-write; a section given as nullopt stays as it is.
    // False (the file as it was) when it cannot be written.
    struct Presets {
        PresetColours colours;
        int selected = kInitialPreset;
    };
    struct Collected {
        CollectedColours entries;
        int selected = kInitialCollectedSlot;
    };
    bool Write(const std::optional<Presets>& presets, const std::optional<Collected>& collected);

    const std::string& UserPath() const { return m_userPath; }
    // Successful writes so far (the default's copy included).
    int Writes() const { return m_writes; }

private:
    // The user's document; a damaged one is kept aside and the default put in its place.
    Json::Value Load();

    std::string m_userPath;
    std::string m_defaultPath;
    CJsonFileHelper m_json;
    int m_writes = 0;
};

} // namespace velkor
