// ReloadPanels: the name lists of a device from its data files, and the
// shipped data files against the simulated family's firmware.
#include "DeviceTestSupport.h"

#include "profiles/DeviceDataFiles.h"
#include "profiles/MouseProfiledata.h"
#include "sim/SimFactory.h"

#include <fstream>

namespace velkor {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

void Write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

SupportedDevice RowOfKind(DeviceKind kind) {
    SupportedDevice row;
    row.kind = kind;
    return row;
}

class ReloadPanels : public test::DeviceBasics {
protected:
    DevicePtr Make(const std::string& typeName, DeviceKind kind, uint32_t modelCode) {
        DevicePtr device = MakeDevice<CTolvanicUSBDevice>(
            DeviceServices{m_backend, m_dispatcher, m_ticks, DeviceFolders{Program(), Home()}});
        device->Paths().SetTypeName(typeName);
        device->State().SetIdentity(RowOfKind(kind));
        device->SetModelCode(modelCode);
        return device;
    }
    std::string Program() const { return m_folder.Path() + "/program"; }
    std::string Home() const { return m_folder.Path() + "/home"; }
    std::string UserFile(const std::string& type, const std::string& name) const {
        return Home() + "/VELKOR01/" + type + "/" + name;
    }
    std::string Effects() const { return Program() + "/DefaultData/default_light.json"; }

    TempFolder m_folder;
};

const char* kEffects = R"({
  "DefaultLightName": [
    [{"LightName": "kb_a", "visible": true, "value": 10}, {"LightName": "kb_b", "visible": true, "value": 11}],
    [{"LightName": "ms_a", "visible": true, "value": 0},
     {"LightName": "ms_hidden", "visible": false, "value": 1},
     {"LightName": "ms_c", "visible": 1, "value": 2}]
  ],
  "AreaLightName": [[{"LightName": "kb_area"}], [{"LightName": "ms_logo"}, {"LightName": "ms_wheel"}]]
})";

TEST_F(ReloadPanels, EachModelCodeTakesItsOwnEntries) {
    Write(Effects(), kEffects);
    Write(
        UserFile("mouse", "ornic_light.config"),
        R"({"LightInfo": [[{"LightName": "kb custom", "Guid": "a"}], [{"LightName": "my mouse effect", "Guid": "b"}]]})");
    auto mouse = Make("mouse", DeviceKind::Mouse, kModelCodeMouse);
    mouse->ReloadPanels();
    const DeviceNameLists& lists = mouse->Paths().NameLists();
    EXPECT_EQ(lists.modeNames, (std::vector<std::string>{"ms_a", "ms_hidden", "ms_c"}));
    EXPECT_EQ(lists.areaNames, (std::vector<std::string>{"ms_logo", "ms_wheel"}));
    EXPECT_EQ(lists.customEffectNames, std::vector<std::string>{"my mouse effect"});
    // The hidden entry keeps mode number 1; the one after it is still number 2.
    EXPECT_FALSE(lists.ModeVisible(1));
    EXPECT_TRUE(lists.ModeVisible(2));
    EXPECT_EQ(lists.EffectCodeOf(2), 2);
    EXPECT_EQ(lists.ModeOfEffectCode(1), 1);

    auto keyboard = Make("keyboard", DeviceKind::Keyboard, kModelCodeKeyboard);
    keyboard->ReloadPanels();
    EXPECT_EQ(keyboard->Paths().NameLists().modeNames, (std::vector<std::string>{"kb_a", "kb_b"}));
    EXPECT_EQ(keyboard->Paths().NameLists().modeCodes, (std::vector<int32_t>{10, 11}));
    EXPECT_EQ(keyboard->Paths().NameLists().areaNames, std::vector<std::string>{"kb_area"});
}

TEST_F(ReloadPanels, MissingFilesEmptyOnlyTheMacroNames) {
    Write(Effects(), kEffects);
    Write(UserFile("keyboard", "macro.config"),
          R"({"MacroInfo": [{"MacroName": "Reload"}, {"MacroName": "Dash"}]})");
    Write(UserFile("keyboard", "ornic_light.config"),
          R"({"LightInfo": [[{"LightName": "Mine", "Guid": "g"}]]})");
    auto keyboard = Make("keyboard", DeviceKind::Keyboard, kModelCodeKeyboard);
    keyboard->ReloadPanels();
    EXPECT_EQ(keyboard->Paths().NameLists().macroNames, (std::vector<std::string>{"Reload", "Dash"}));

    fs::remove(UserFile("keyboard", "macro.config"));
    fs::remove(Effects());
    fs::remove(UserFile("keyboard", "ornic_light.config"));
    keyboard->ReloadPanels();
    const DeviceNameLists& lists = keyboard->Paths().NameLists();
    EXPECT_TRUE(lists.macroNames.empty());
    EXPECT_EQ(lists.modeNames, (std::vector<std::string>{"kb_a", "kb_b"}));
    EXPECT_EQ(lists.modeCodes.size(), 2u);
    EXPECT_EQ(lists.areaNames, std::vector<std::string>{"kb_area"});
    EXPECT_EQ(lists.customEffectNames, std::vector<std::string>{"Mine"});

    // A damaged effect file is no effect file; a damaged macro index no macros.
    Write(Effects(), "{\"DefaultLightName\": [[{\"LightName\": \"x\"");
    Write(UserFile("keyboard", "macro.config"), "garbage");
    keyboard->ReloadPanels();
    EXPECT_EQ(keyboard->Paths().NameLists().modeNames.size(), 2u);
    EXPECT_TRUE(keyboard->Paths().NameLists().macroNames.empty());
}

TEST_F(ReloadPanels, MousePadsAndHeadsetsReadOnlyTheFixedMacroIndex) {
    Write(UserFile("MousePad", "macro.config"), R"({"MacroInfo": [{"MacroName": "not for pads"}]})");
    auto pad = Make("MousePad", DeviceKind::MousePad, kModelCodeMousePad);
    pad->ReloadPanels();
    EXPECT_TRUE(pad->Paths().NameLists().macroNames.empty());

    Write(UserFile("HD", "ornic_macro.config"), R"({"MacroInfo": [{"MacroName": "Fixed"}]})");
    auto headset = Make("HD", DeviceKind::Headset, kModelCodeHeadset);
    headset->ReloadPanels();
    EXPECT_EQ(headset->Paths().NameLists().macroNames, std::vector<std::string>{"Fixed"});
}

TEST_F(ReloadPanels, NoFoldersLeaveTheListsAsTheyWere) {
    CTolvanicUSBDevice device(Services());
    device.Paths().SetTypeName("mouse");
    device.Paths().MutableNameLists().modeNames = {"kept"};
    device.Paths().MutableNameLists().macroNames = {"gone"};
    device.ReloadPanels();
    EXPECT_EQ(device.Paths().NameLists().modeNames, std::vector<std::string>{"kept"});
    EXPECT_TRUE(device.Paths().NameLists().macroNames.empty());
}

// ---- The shipped data against the simulated firmware ----------------------

// Absolute: a symlink's relative target would resolve from the link's own folder.
fs::path ShippedData() {
    return fs::absolute(fs::path(__FILE__).parent_path() / ".." / ".." / "DefaultData").lexically_normal();
}

TEST_F(ReloadPanels, ShippedModeListsUseEffectCodesTheFirmwareRuns) {
    fs::create_directories(Program());
    fs::create_directory_symlink(ShippedData(), Program() + "/DefaultData");
    struct Case {
        const char* type;
        DeviceKind kind;
        uint32_t code;
        sim::SimModel model;
    };
    for (const Case& c : {Case{"keyboard", DeviceKind::Keyboard, kModelCodeKeyboard, sim::SimModel::Keyboard},
                          Case{"mouse", DeviceKind::Mouse, kModelCodeMouse, sim::SimModel::Mouse},
                          Case{"MousePad", DeviceKind::MousePad, kModelCodeMousePad, sim::SimModel::MousePad},
                          Case{"HD", DeviceKind::Headset, kModelCodeHeadset, sim::SimModel::Headset}}) {
        SCOPED_TRACE(c.type);
        auto device = Make(c.type, c.kind, c.code);
        device->ReloadPanels();
        const DeviceNameLists& lists = device->Paths().NameLists();
        ASSERT_GT(lists.ModeCount(), 0);
        const int firmwareEffects = sim::ModelFacts(c.model).effectCount;
        int offered = 0;
        for (int mode = 0; mode < lists.ModeCount(); ++mode) {
            if (!lists.ModeVisible(mode)) {
                continue;
            }
            ++offered;
            const int32_t code = lists.EffectCodeOf(mode);
            // The keyboard's audio (29) and band-colour (30) effects are drawn by the host.
            const bool hostDriven = c.kind == DeviceKind::Keyboard && (mode == 29 || mode == 30);
            if (!hostDriven) {
                EXPECT_LT(code, firmwareEffects) << "mode " << mode << " offers a code the firmware lacks";
            }
        }
        EXPECT_GE(offered, firmwareEffects - 1);
        // Every firmware effect has its mode, so whatever the device reports reads back as a mode.
        for (int code = 0; code < firmwareEffects; ++code) {
            EXPECT_GE(lists.ModeOfEffectCode(code), 0) << "effect code " << code;
        }
        // The factory settings read back as an offered mode.
        for (int profile = 0; profile < 5; ++profile) {
            const std::vector<uint8_t> params = sim::FactoryMemory(c.model, sim::SimMemory::Params);
            const uint8_t effect = params[size_t(profile) * sim::ModelFacts(c.model).recordStride + 1];
            EXPECT_TRUE(lists.ModeVisible(lists.ModeOfEffectCode(effect))) << "profile " << profile;
        }
    }
}

TEST_F(ReloadPanels, ShippedKeyListsStartAtTheFactoryKeyFunctions) {
    CBasicProfiledata keyboard;
    keyboard.SetDefaultPath((ShippedData() / "keyboard.Json").string());
    keyboard.LoadProfile(m_folder.Path() + "/keyboard.Json");
    const std::vector<KeyListEntry> keys = keyboard.ReadKeyList();
    ASSERT_EQ(keys.size(), 170u);
    for (size_t k = 0; k < keys.size(); ++k) {
        const sim::KeyFunction factory = sim::KeyboardScreenKeyFunction(k);
        EXPECT_EQ(keys[k].defaultFunction, KeyFunction::FromTriple(factory[0], factory[1], factory[2])) << k;
    }

    CMouseProfiledata mouse;
    mouse.SetDefaultPath((ShippedData() / "mouse.Json").string());
    mouse.LoadProfile(m_folder.Path() + "/mouse.Json");
    const std::vector<KeyListEntry> buttons = mouse.ReadKeyList();
    ASSERT_EQ(buttons.size(), sim::kMouseButtons);
    for (size_t b = 0; b < buttons.size(); ++b) {
        const sim::KeyFunction factory = sim::MouseButtonFunction(b);
        EXPECT_EQ(buttons[b].defaultFunction, KeyFunction::FromTriple(factory[0], factory[1], factory[2]))
            << b;
    }
    // The five DPI stages are steps the sensor has.
    for (const DpiStage& stage : mouse.ReadDpiStages()) {
        EXPECT_LE(int(stage.dpiX), int(sim::ModelFacts(sim::SimModel::Mouse).highestDpiStep));
    }
}

} // namespace
} // namespace velkor
