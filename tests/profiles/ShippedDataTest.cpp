// The files that ship with the program (DefaultData/ and the language files
// of skin/), checked against the rules the code applies to them.
#include "keys/KeyTable.h"
#include "profiles/DeviceDataFiles.h"
#include "profiles/Hs6533Profiledata.h"
#include "profiles/KeyboardProfiledata.h"
#include "profiles/LanguageTexts.h"
#include "profiles/MouseProfiledata.h"
#include "ui/LayoutReader.h"

#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <regex>
#include <set>

namespace velkor {
namespace {

namespace fs = std::filesystem;
using test::ReadRaw;
using test::TempFolder;

fs::path SourceRoot() {
    return (fs::path(__FILE__).parent_path() / ".." / "..").lexically_normal();
}
std::string DataFolder() {
    return (SourceRoot() / "DefaultData").string() + "/";
}
Json::Value ReadShipped(const std::string& name) {
    return CJsonFileHelper().ReadJsonFile(DataFolder() + name);
}

// The object `section` has every key, each an integer or a boolean.
void ExpectMembers(const Json::Value& section, std::initializer_list<const char*> keys,
                   const std::string& where) {
    ASSERT_TRUE(section.isObject()) << where;
    for (const char* key : keys) {
        EXPECT_TRUE(section.isMember(key) && (section[key].isIntegral() || section[key].isBool()))
            << where << " lacks the number " << key;
    }
}

// A default profile loaded the way a device loads it: its profile file does
// not exist yet, so the default profile becomes the active document.
template <typename Profile>
Json::Value LoadDefault(Profile& profile, TempFolder& folder, const std::string& type) {
    profile.SetDefaultPath(DataFolder() + type + ".Json");
    const Json::Value document = profile.LoadProfile(folder.Path(type + "_profile.Json"));
    EXPECT_TRUE(document.isObject()) << type;
    return document;
}

void ExpectLightSections(CBasicProfiledata& profile, const Json::Value& document, size_t ledCount,
                         const std::string& type) {
    ExpectMembers(document["LightInfo"],
                  {"SelectItem", "Light", "Speed", "Fx", "MultiColor", "Red", "Green", "Blue", "ZZCCLedMode",
                   "CustomGroup", "OldLedmode"},
                  type + " LightInfo");
    const LightInfoRecord light = profile.ReadLightInfo();
    EXPECT_EQ(int(light.selectItem), document["LightInfo"]["SelectItem"].asInt()) << type;
    EXPECT_EQ(int(light.light), document["LightInfo"]["Light"].asInt()) << type;
    EXPECT_EQ(int(light.red), document["LightInfo"]["Red"].asInt()) << type;
    EXPECT_LE(int(light.light), 4) << type;
    EXPECT_LE(int(light.speed), 4) << type;
    // One entry per LED, none overriding the effect with a per-LED one.
    ASSERT_TRUE(document["LightList"].isArray()) << type;
    const std::vector<LightListEntry> list = profile.ReadLightList();
    EXPECT_EQ(list.size(), ledCount) << type;
    for (const LightListEntry& entry : list) {
        EXPECT_EQ(int(entry.present), 0) << type;
    }
}

void ExpectKeyList(CBasicProfiledata& profile, size_t count, const std::string& type) {
    const std::vector<KeyListEntry> keys = profile.ReadKeyList();
    ASSERT_EQ(keys.size(), count) << type;
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].current, keys[i].defaultFunction)
            << type << " key " << i << " does not start at its factory function";
        EXPECT_NE(keys[i].current.ToKeyListValue(), 0) << type << " key " << i;
    }
}

TEST(ShippedData, EveryJsonFileParses) {
    std::set<std::string> expected = {"keyboard.Json",     "mouse.Json",          "MousePad.Json",
                                      "HD.Json",           kDefaultLightFileName, kLanguageTableFileName,
                                      kAudioStyleFileName, kColourOptionFileName};
    for (const auto& entry : fs::directory_iterator(DataFolder())) {
        const JsonFileContents contents = CJsonFileHelper().ReadJsonFileDetailed(entry.path().string());
        EXPECT_EQ(contents.status, FileReadStatus::Ok) << entry.path();
        EXPECT_TRUE(contents.value.isObject()) << entry.path();
        expected.erase(entry.path().filename().string());
    }
    EXPECT_TRUE(expected.empty()) << "missing: " << *expected.begin();
    // The styles and the palette as their windows read them.
    const Json::Value styles = ReadShipped(kAudioStyleFileName)["Device"]["AudioLightInfo"];
    ExpectMembers(styles,
                  {"nAudioStyle", "nStyleR0", "nStyleG0", "nStyleB0", "nStyleR3", "nStyleG3", "nStyleB3"},
                  "AudioFile");
    for (const char* name : {"nStyleName1", "nStyleName2", "nStyleName3", "nStyleName4"}) {
        EXPECT_TRUE(styles[name].isString() && !styles[name].asString().empty()) << name;
    }
    const Json::Value palette = ReadShipped(kColourOptionFileName)["coloroptioninfo"];
    EXPECT_EQ(palette["palletDialogcoloroption"].size(), 20u);
    EXPECT_EQ(palette["palletDialogcollectcoloroption"].size(), 20u);
    for (const Json::Value& slot : palette["palletDialogcollectcoloroption"]) {
        EXPECT_EQ(slot["color"].asString().size(), 8u);
    }
}

TEST(ShippedData, ModeListsHaveOneUniqueEffectCodePerMode) {
    const Json::Value effects = ReadShipped(kDefaultLightFileName);
    const size_t lengths[] = {31, 10, 9, 9}; // keyboard, mouse, mouse pad, headset
    for (uint32_t code = 0; code < 4; ++code) {
        SCOPED_TRACE("model code " + std::to_string(code));
        const auto modes = ModeListOf(effects, code);
        ASSERT_TRUE(modes);
        EXPECT_EQ(modes->names.size(), lengths[code]);
        EXPECT_EQ(modes->visible.size(), modes->names.size());
        EXPECT_EQ(modes->codes.size(), modes->names.size());
        std::set<int32_t> codes;
        for (size_t i = 0; i < modes->names.size(); ++i) {
            const Json::Value& raw = effects["DefaultLightName"][code][Json::ArrayIndex(i)];
            EXPECT_TRUE(raw["LightName"].isString() && raw["visible"].isBool() && raw["value"].isIntegral())
                << i;
            EXPECT_FALSE(modes->names[i].empty()) << i;
            EXPECT_GE(modes->codes[i], 0) << i;
            EXPECT_TRUE(codes.insert(modes->codes[i]).second) << "effect code of mode " << i << " repeats";
        }
        const auto areas = NamesOf(effects, "AreaLightName", code);
        ASSERT_TRUE(areas);
        EXPECT_FALSE(areas->empty());
    }
    // The keyboard's host-driven effects: audio at 29 and band colour at 30,
    // which the keyboard recognises by their codes.
    const auto keyboard = ModeListOf(effects, kModelCodeKeyboard);
    EXPECT_EQ(keyboard->codes[29], 29);
    EXPECT_EQ(keyboard->codes[30], 30);
    EXPECT_EQ(keyboard->visible[29], 1);
}

TEST(ShippedData, DefaultProfilesFillEverySectionTheirKindReads) {
    TempFolder folder;
    CKeyboardProfiledata keyboard;
    const Json::Value kb = LoadDefault(keyboard, folder, "keyboard");
    ExpectLightSections(keyboard, kb, 170, "keyboard");
    ExpectKeyList(keyboard, 170, "keyboard");
    ExpectMembers(kb["AudioLightInfo"],
                  {"AudioMode", "BkColorR", "BkColorG", "BkColorB", "FgColorR", "FgColorG", "FgColorB",
                   "7ColorFlags", "ColorTypeFlags"},
                  "keyboard AudioLightInfo");
    EXPECT_EQ(int(keyboard.ReadAudioLightInfo().fgRed), kb["AudioLightInfo"]["FgColorR"].asInt());
    ExpectMembers(kb["SystemStages"],
                  {"Repeat", "RepeatDelay", "Key6Flag", "PollingRate", "WFlag", "WinFlag", "WheelMode"},
                  "keyboard SystemStages");
    EXPECT_EQ(int(keyboard.ReadKeyboardSystem().pollingRate), kb["SystemStages"]["PollingRate"].asInt());
    const Json::Value groups = kb["CustomLightMode"]["LightColorInfo"];
    ASSERT_TRUE(groups.isArray() && !groups.empty());
    for (Json::ArrayIndex g = 0; g < groups.size(); ++g) {
        ASSERT_EQ(groups[g].size(), 170u) << "colour group " << g;
        const std::vector<RgbaColour> colours = keyboard.ReadCustomColors(int32_t(g), 170);
        EXPECT_EQ(int(colours[44].red), groups[g][44]["Red"].asInt());
        EXPECT_EQ(int(colours[44].alpha), 255);
    }
    EXPECT_EQ(keyboard.ActiveDocument()["CustomLightMode"]["LightColorInfo"], groups)
        << "a colour was missing";

    CMouseProfiledata mouse;
    const Json::Value ms = LoadDefault(mouse, folder, "mouse");
    ExpectLightSections(mouse, ms, 15, "mouse");
    ExpectKeyList(mouse, 11, "mouse");
    ExpectMembers(ms["SystemStages"],
                  {"DoubleClickTime", "MouseSpeed", "PointerPrecision", "ScorllPage", "WheelScorlllinse"},
                  "mouse SystemStages");
    ExpectMembers(ms["ReportStages"], {"StageActive"}, "mouse ReportStages");
    const MouseSystemRecord system = mouse.ReadMouseSystem();
    EXPECT_EQ(int(system.reportStage), ms["ReportStages"]["StageActive"].asInt());
    EXPECT_EQ(int(system.doubleClickTime), ms["SystemStages"]["DoubleClickTime"].asInt());
    const std::vector<DpiStage> stages = mouse.ReadDpiStages();
    ASSERT_EQ(stages.size(), 5u);
    EXPECT_EQ(mouse.GetActiveDpiStage(), ms["DPIStages"]["StageActive"].asInt());
    for (Json::ArrayIndex i = 0; i < 5; ++i) {
        ExpectMembers(
            ms["DPIStages"]["StageDPIs"][i],
            {"StageActive", "StageXY", "StageDPIX", "StageDPIY", "StageColorR", "StageColorG", "StageColorB"},
            "DPI stage " + std::to_string(i));
        EXPECT_EQ(int(stages[i].active), 1);
        EXPECT_EQ(int(stages[i].dpiX), ms["DPIStages"]["StageDPIs"][i]["StageDPIX"].asInt());
    }
    const std::vector<CorrectEntry> corrections = mouse.ReadCorrectInfo();
    ASSERT_FALSE(corrections.empty());
    for (const CorrectEntry& entry : corrections) {
        EXPECT_FALSE(entry.name.empty());
    }

    CBasicProfiledata pad;
    const Json::Value mp = LoadDefault(pad, folder, "MousePad");
    ExpectLightSections(pad, mp, 15, "MousePad");

    CHs6533Profiledata headset;
    const Json::Value hd = LoadDefault(headset, folder, "HD");
    ExpectLightSections(headset, hd, 13, "HD");
    ExpectMembers(hd["SystemSetStages"],
                  {"MagicEnable", "MagicType", "EqType", "CustomEqSeletIndex", "MicInSelect", "MicInValue",
                   "MicMoniterSelect", "MicMoniterValue"},
                  "HD SystemSetStages");
    EXPECT_EQ(int(headset.ReadHeadsetSystem().micInValue), hd["SystemSetStages"]["MicInValue"].asInt());
    ASSERT_EQ(hd["EQHzValueInfo"].size(), 13u);
    EXPECT_EQ(headset.ReadEqValues(1), (std::vector<int32_t>{7, 11, 2, -3, -1, 4, 9, 12, 9, 5}));
    EXPECT_EQ(headset.ReadEqValues(12), (std::vector<int32_t>{2, 1, -2, -4, -8, 4, 12, 16, 18, 15}));
    EXPECT_EQ(headset.ActiveDocument()["EQHzValueInfo"], hd["EQHzValueInfo"])
        << "an equaliser row was missing";
    EXPECT_TRUE(hd["CustomEQNameInfo"].isArray());
    EXPECT_TRUE(hd["CustomEQHzValueInfo"].isArray());
}

// ---- Language keys -------------------------------------------------------

void AddResourceTexts(const ui::LayoutNode& root, std::set<std::string>& keys) {
    root.Visit([&](const ui::LayoutNode& node) {
        if (!node.Bool("resourceText", false)) {
            return;
        }
        for (const char* property : {"text", "title", "toolTip"}) {
            keys.insert(node.String(property));
        }
        for (const ui::LayoutItem& item : node.items) {
            keys.insert(item.text);
        }
        if (const auto title = node.attributes.find("title"); title != node.attributes.end()) {
            keys.insert(title->second.text);
        }
    });
}

// Every language key the layouts, the data files and the program use.
std::set<std::string> UsedLanguageKeys() {
    std::set<std::string> keys;
    // Layouts; skin/test holds the toolkit tests' own layouts, which never ship.
    for (const auto& entry : fs::recursive_directory_iterator(SourceRoot() / "skin")) {
        const std::string path = entry.path().string();
        if (entry.path().extension() != ".ui" || path.find("/skin/test/") != std::string::npos) {
            continue;
        }
        const std::string text = ReadRaw(path);
        std::vector<ui::MenuEntry> menu;
        ui::LayoutNode root;
        std::string error;
        if (ui::ParseMenuLayout(text, menu)) {
            for (const ui::MenuEntry& item : menu) {
                if (item.resourceText) {
                    keys.insert(item.text);
                }
            }
        } else if (ui::ParseLayout(text, root, &error)) {
            AddResourceTexts(root, keys);
        } else {
            ADD_FAILURE() << path << ": " << error;
        }
    }
    // Message keys named in the program.
    const std::regex message("message_text_[0-9]+");
    for (const auto& entry : fs::recursive_directory_iterator(SourceRoot() / "src")) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".cpp" && extension != ".h") {
            continue;
        }
        const std::string text = ReadRaw(entry.path().string());
        for (auto it = std::sregex_iterator(text.begin(), text.end(), message); it != std::sregex_iterator();
             ++it) {
            keys.insert(it->str());
        }
    }
    // Effect and area names, language names, key names.
    const Json::Value effects = ReadShipped(kDefaultLightFileName);
    for (const char* section : {"DefaultLightName", "AreaLightName"}) {
        for (const Json::Value& model : effects[section]) {
            for (const Json::Value& entry : model) {
                keys.insert(entry["LightName"].asString());
            }
        }
    }
    for (const LanguageEntry& language : LanguageTableOf(ReadShipped(kLanguageTableFileName))) {
        keys.insert(language.textKey);
    }
    for (const KeyTableRow& row : KeyTable()) {
        keys.insert(std::string(row.nameKey));
    }
    keys.erase("");
    return keys;
}

TEST(ShippedData, BothLanguagesHaveATextForEveryKeyInUse) {
    const std::vector<LanguageEntry> table = LanguageTableOf(ReadShipped(kLanguageTableFileName));
    ASSERT_EQ(table.size(), 2u);
    const std::set<std::string> used = UsedLanguageKeys();
    std::vector<std::set<std::string>> keySets;
    for (const LanguageEntry& language : table) {
        LanguageTexts texts;
        std::string error;
        ASSERT_TRUE(texts.LoadFile(LanguageFilePath((SourceRoot() / "skin").string(), language), &error))
            << error;
        std::string missing;
        for (const std::string& key : used) {
            if (!texts.Has(key)) {
                missing += "\n  " + key;
            }
        }
        EXPECT_TRUE(missing.empty()) << language.file << " lacks texts for:" << missing;
        // Shown through a format with one integer.
        const std::string excess = texts.Text("message_text_16").value_or("");
        EXPECT_EQ(std::count(excess.begin(), excess.end(), '%'), 1) << language.file;
        EXPECT_NE(excess.find("%d"), std::string::npos) << language.file;
        EXPECT_NE(FormatTextWithNumber(excess, 7).find('7'), std::string::npos) << language.file;
        const std::vector<std::string> keys = texts.Keys();
        keySets.emplace_back(keys.begin(), keys.end());
    }
    EXPECT_EQ(keySets[0], keySets[1]) << "the language files hold different keys";
}

TEST(ShippedData, TheLanguageTableStartsWithTheLanguageOfTheFirstStart) {
    const std::vector<LanguageEntry> table = LanguageTableOf(ReadShipped(kLanguageTableFileName));
    ASSERT_FALSE(table.empty());
    EXPECT_EQ(table[0].file, "lan_cn.xml");
    std::set<int64_t> ids;
    for (const LanguageEntry& entry : table) {
        EXPECT_TRUE(ids.insert(entry.id).second) << entry.id;
        EXPECT_FALSE(entry.name.empty());
    }
}

} // namespace
} // namespace velkor
