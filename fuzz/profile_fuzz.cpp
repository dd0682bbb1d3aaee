// Fuzzes reading a profile: parsing, every section reader of every profile
// class, the writers fed with what was read, the styled writer, and a load and
// save through real files. Aborts when a written value does not read back, the
// styled text differs from jsoncpp's StyledWriter or does not parse again, or
// a saved file does not hold the saved profile.
#include "profiles/Hs6533Profiledata.h"
#include "profiles/JsonFields.h"
#include "profiles/KeyboardProfiledata.h"
#include "profiles/MouseProfiledata.h"
#include "profiles/ProfileSections.h"

#include <json/writer.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using namespace velkor;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Text the styled writers agree on byte for byte and that parses back to an
// equal value: no NUL bytes and valid UTF-8 in every string and name.
bool HasPlainText(const Json::Value& value) {
    auto plain = [](const char* begin, const char* end) {
        const std::string_view text(begin, static_cast<size_t>(end - begin));
        return text.find('\0') == std::string_view::npos && SanitizeUtf8(text) == text;
    };
    if (value.isString()) {
        const char* begin = nullptr;
        const char* end = nullptr;
        value.getString(&begin, &end);
        return plain(begin, end);
    }
    if (value.isObject()) {
        for (auto it = value.begin(); it != value.end(); ++it) {
            const char* end = nullptr;
            const char* name = it.memberName(&end);
            if (!plain(name, end) || !HasPlainText(*it)) {
                return false;
            }
        }
    } else if (value.isArray()) {
        for (const Json::Value& element : value) {
            if (!HasPlainText(element)) {
                return false;
            }
        }
    }
    return true;
}

// Equality by meaning: jsoncpp stores arrays sparsely (writing element 5 of an
// empty array stores one entry), so its operator== tells a hole from a stored
// null, which the text does not.
bool SameJson(const Json::Value& a, const Json::Value& b) {
    if (a.type() != b.type()) {
        return false;
    }
    if (a.isArray()) {
        if (a.size() != b.size()) {
            return false;
        }
        for (Json::ArrayIndex i = 0; i < a.size(); ++i) {
            if (!SameJson(a[i], b[i])) {
                return false;
            }
        }
        return true;
    }
    if (a.isObject()) {
        if (a.size() != b.size()) {
            return false;
        }
        for (auto it = a.begin(); it != a.end(); ++it) {
            const char* end = nullptr;
            const char* name = it.memberName(&end);
            const Json::Value* other = b.find(name, end);
            if (other == nullptr || !SameJson(*it, *other)) {
                return false;
            }
        }
        return true;
    }
    return a == b;
}

void CheckStyledText(const CJsonFileHelper& json, const Json::Value& value) {
    const std::string text = json.StyledText(value);
    Json::Value again;
    Check(json.ParseJson(text, again));
    if (HasPlainText(value)) {
        Json::StyledWriter writer;
        Check(text == writer.write(value));
        Check(SameJson(again, value));
    }
}

void ExerciseBasic(CBasicProfiledata& data) {
    const LightInfoRecord light = data.ReadLightInfo();
    Check(light.multiColor <= 1);
    const AudioLightInfoRecord audio = data.ReadAudioLightInfo();
    for (const LightListEntry& entry : data.ReadLightList()) {
        Check(entry.direction <= 1 && entry.multiColor <= 1 && entry.present <= 1);
    }
    const std::vector<KeyListEntry> keys = data.ReadKeyList();
    for (size_t i = 0; i < keys.size(); ++i) {
        Check(keys[i].current.keyIndex == static_cast<uint16_t>(i) && keys[i].current.zero == 0);
    }
    data.WriteLightInfo(light);
    data.WriteAudioLightInfo(audio);
    data.WriteKeyList(keys);
    Check(data.ReadLightInfo() == light);
    Check(data.ReadAudioLightInfo() == audio);
    Check(data.ReadKeyList() == keys);
}

void ExerciseKeyboard(const Json::Value& profile) {
    CKeyboardProfiledata data;
    data.SetActiveDocument(profile);
    ExerciseBasic(data);
    const KeyboardSystemRecord system = data.ReadKeyboardSystem();
    data.WriteKeyboardSystem(system);
    Check(data.ReadKeyboardSystem() == system);
    const int32_t group = data.ReadCustomGroupIndex();
    for (int32_t g : {group, 0, 1, 7}) {
        const std::vector<RgbaColour> colours = data.ReadCustomColors(g, 5);
        if (g < 0 || g >= CKeyboardProfiledata::kMaxColourGroups) {
            Check(colours.empty());
            continue;
        }
        Check(data.ReadCustomColors(g, 5) == colours); // filled in by the first read
        Check(data.WriteCustomColors(g, colours));
        Check(data.ReadCustomColors(g, 5) == colours);
    }
    data.WriteCustomGroupIndex(group);
    Check(data.ReadCustomGroupIndex() == group);
}

void ExerciseMouse(const Json::Value& profile) {
    CMouseProfiledata data;
    data.SetActiveDocument(profile);
    ExerciseBasic(data);
    const std::vector<DpiStage> stages = data.ReadDpiStages();
    const int32_t active = data.GetActiveDpiStage();
    int32_t storedActive = 0;
    std::vector<DpiStage> stored;
    const Json::Value& section = JsonMember(profile, "DPIStages");
    const bool wellFormed = section.isNull() || DpiStagesFromJson(section, storedActive, stored);
    data.WriteDpiStages(stages);
    data.WriteActiveDpiStage(active);
    if (wellFormed) {
        // Writing repairs a malformed section, which may then show stored stages.
        CMouseProfiledata fresh;
        fresh.SetActiveDocument(data.ActiveDocument());
        Check(fresh.ReadDpiStages() == stages);
        Check(fresh.GetActiveDpiStage() == active);
    }
    const MouseSystemRecord system = data.ReadMouseSystem();
    data.WriteMouseSystem(system);
    Check(data.ReadMouseSystem() == system);
    for (const CorrectEntry& entry : data.ReadCorrectInfo()) {
        Check(SanitizeUtf8(entry.name) == entry.name);
    }
}

void ExerciseHeadset(const Json::Value& profile) {
    CHs6533Profiledata data;
    data.SetActiveDocument(profile);
    ExerciseBasic(data);
    const HeadsetSystemRecord system = data.ReadHeadsetSystem();
    data.WriteHeadsetSystem(system);
    Check(data.ReadHeadsetSystem() == system);
    for (int32_t type : {system.eqType, 0, 5, 13, 14}) {
        const std::vector<int32_t> values = data.ReadEqValues(type);
        Check(values.size() == (type == CHs6533Profiledata::kCustomEqType ? 0u : kEqBandCount));
        Check(data.ReadEqValues(type) == values);
    }
    for (int32_t index : {system.customEqSelect, 0, 3}) {
        const std::vector<int32_t> values = data.ReadCustomEqValues(index);
        if (values.size() == kEqBandCount) {
            EqBands bands{};
            std::copy(values.begin(), values.end(), bands.begin());
            Check(data.WriteCustomEqValues(index, bands));
            Check(data.ReadCustomEqValues(index) == values);
        }
    }
    const std::vector<std::string> names = data.ReadCustomEqNames();
    data.WriteCustomEqNames(names);
    Check(data.ReadCustomEqNames() == names);
    CheckStyledText(CJsonFileHelper(), data.ActiveDocument());
}

// A memory-backed folder, so fsync costs nothing; removed when the fuzzer exits.
const std::string& FuzzFolder() {
    static const std::string folder = [] {
        char pattern[] = "/dev/shm/velkor-profile-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr) {
            std::abort();
        }
        return std::string(made);
    }();
    // Registered after the string exists, so it runs before the string goes.
    static const bool cleanup = std::atexit([] {
                                    std::error_code ignored;
                                    std::filesystem::remove_all(FuzzFolder(), ignored);
                                }) == 0;
    (void)cleanup;
    return folder;
}

// Load and save through real files.
void ExerciseFiles(const CJsonFileHelper& json, const Json::Value& root, const uint8_t* data, size_t size) {
    const std::string& folder = FuzzFolder();
    const std::string profilePath = folder + "/p.Json";
    const std::string defaultPath = folder + "/keyboard.Json";
    static const bool defaultWritten =
        json.WriteTextFile("{\"Device\":[{\"LightInfo\":{\"SelectItem\":1}}]}", folder + "/keyboard.Json");
    Check(defaultWritten);
    Check(json.WriteTextFile(std::string_view(reinterpret_cast<const char*>(data), size), profilePath));

    CKeyboardProfiledata profile;
    profile.SetDefaultPath(defaultPath);
    profile.SetProfilePath(profilePath);
    const Json::Value loaded = profile.LoadProfile(profilePath);
    Check(loaded.isNull() || loaded.isObject());
    LightInfoRecord light = profile.ReadLightInfo();
    light.red = static_cast<uint8_t>(light.red + 1);
    profile.WriteLightInfo(light);
    Check(profile.SaveProfile());
    const Json::Value stored = json.ReadJsonFile(profilePath);
    Check(stored.isObject() && stored["Device"].isArray());
    if (!HasPlainText(stored) || !HasPlainText(root)) {
        return;
    }
    Check(SameJson(stored["Device"][0], profile.ActiveDocument()));
    if (root.isObject()) {
        // Every other top-level member survives the load and the save.
        for (const std::string& name : root.getMemberNames()) {
            Check(name == "Device" || SameJson(stored[name], root[name]));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CJsonFileHelper json;
    Json::Value root;
    if (json.ParseJson(std::string_view(reinterpret_cast<const char*>(data), size), root)) {
        CheckStyledText(json, root);
        // Either a whole profile file or a bare profile object.
        const Json::Value& device = JsonElement(JsonMember(root, "Device"), 0);
        const Json::Value& profile = device.isObject() ? device : root;
        ExerciseKeyboard(profile);
        ExerciseMouse(profile);
        ExerciseHeadset(profile);
        std::vector<LedEffectStep> steps;
        LedEffectListFromJson(root, steps);
    }
    ExerciseFiles(json, root, data, size);
    return 0;
}
