// The colour palette dialog on the in-memory toolkit with the shipped layout
// and a scratch user folder: the channel edits, presets, collected slots, the
// way it closes, its file and how often it writes it.
#include "../support/ScratchFolder.h"
#include "LightingTestSupport.h"
#include "lighting/CColorSelectWnd.h"
#include "ui/ControlClasses.h"
#include "ui/FamilyAccess.h"

#include <fstream>
#include <functional>
#include <sstream>

namespace velkor::test {
namespace {

using ui::MemoryWindow;
using ui::test::SelectableOf;

std::string ShippedOptions() {
    return (std::filesystem::path(SkinFolder()).parent_path() / "DefaultData" / kColourOptionFileName)
        .string();
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A user file: the shipped one with the selections and slots given.
std::string OptionsText(const std::string& preset, const std::string& slot,
                        const std::vector<std::pair<std::string, std::string>>& slots) {
    Json::Value document = CJsonFileHelper().ReadJsonFile(ShippedOptions());
    Json::Value& section = document["coloroptioninfo"];
    section["palletDialogcoloroption_selectitem"] = "@preset@";
    section["palletDialogcollectcoloroption_selectitem"] = "@slot@";
    for (size_t i = 0; i < slots.size(); ++i) {
        section["palletDialogcollectcoloroption"][Json::ArrayIndex(i)]["color"] = slots[i].first;
        section["palletDialogcollectcoloroption"][Json::ArrayIndex(i)]["UserData"] = slots[i].second;
    }
    std::string text = CJsonFileHelper().StyledText(document);
    // Index members given as raw JSON (numbers, or anything else).
    for (const auto& [placeholder, raw] :
         {std::pair{"\"@preset@\"", preset}, std::pair{"\"@slot@\"", slot}}) {
        text.replace(text.find(placeholder), std::string_view(placeholder).size(), raw);
    }
    return text;
}

class ColourSelect : public ::testing::Test {
protected:
    ColourSelect() : m_toolkit(ui::MemoryToolkit::Create(SkinFolder(), m_clock)) {}

    // The program folder is the source tree, whose DefaultData/ holds the shipped file.
    ColourOptionFile Options() const {
        return ColourOptionFile::ForFolders(std::filesystem::path(SkinFolder()).parent_path().string(),
                                            m_home.Path());
    }
    std::string UserPath() const { return m_home.Path() + "/VELKOR01/" + kColourOptionFileName; }
    void WriteUserFile(const std::string& text) const {
        std::filesystem::create_directories(m_home.Path() + "/VELKOR01");
        std::ofstream(UserPath(), std::ios::binary) << text;
    }
    Json::Value UserFile() const { return CJsonFileHelper().ReadJsonFile(UserPath())["coloroptioninfo"]; }
    Json::Value StoredSlot(int n) const { return UserFile()["palletDialogcollectcoloroption"][n]; }

    // Opens the dialog with `initial`, lets `act` work on it while it runs
    // modally, and returns how it closed.
    int Open(uint32_t initial, const std::function<void(MemoryWindow&)>& act,
             const std::string& skin = SkinFolder()) {
        m_dialog.reset();
        if (skin != SkinFolder()) {
            m_toolkit = ui::MemoryToolkit::Create(skin, m_clock);
        }
        m_dialog = std::make_unique<CColorSelectWnd>(*m_toolkit, m_ticks, Options());
        std::string error;
        EXPECT_TRUE(m_dialog->Create(nullptr, &error)) << error;
        m_dialog->Prepare(initial, 96);
        m_toolkit->SetModalDriver([&](MemoryWindow& window) { act(window); });
        return m_dialog->Run();
    }
    ui::Control& In(MemoryWindow& window, const std::string& name) {
        ui::Control* control = window.FindControl(name);
        EXPECT_NE(control, nullptr) << name;
        return control != nullptr ? *control : window.Root();
    }
    void Type(MemoryWindow& window, const std::string& edit, const std::string& text) {
        EXPECT_TRUE(m_user.Type(In(window, edit), text)) << edit;
    }
    void Click(MemoryWindow& window, const std::string& name) {
        EXPECT_TRUE(m_user.Click(window, name)) << name;
    }
    std::string Channels(MemoryWindow& window) {
        return In(window, "color_edit_r").Text() + "," + In(window, "color_edit_g").Text() + "," +
               In(window, "color_edit_b").Text();
    }

    ScratchFolder m_home;
    ui::ManualClock m_clock{5000};
    ToolkitTicks m_ticks{m_clock};
    std::unique_ptr<ui::MemoryToolkit> m_toolkit;
    ui::MemoryUser m_user;
    std::unique_ptr<CColorSelectWnd> m_dialog;
};

// ---- the channel edits ----

struct TypedCase {
    const char* name;
    uint32_t initial;
    std::vector<std::pair<std::string, std::string>> typed; // edit, text
    uint32_t colour;
    std::string shownAfter; // the three edits once the focus has left them
};

class ColourSelectTyped : public ColourSelect, public ::testing::WithParamInterface<TypedCase> {};

TEST_P(ColourSelectTyped, EachChannelIsClampedAloneAndConfirmedAsTheSwatchShowsIt) {
    const TypedCase& param = GetParam();
    std::string shown;
    uint32_t swatch = 0;
    uint32_t palette = 0;
    const int result = Open(0xFF000000u | param.initial, [&](MemoryWindow& window) {
        for (const auto& [edit, text] : param.typed) {
            Type(window, edit, text);
        }
        swatch = In(window, "color_show_btn").BackgroundColour();
        palette = In(window, "Pallet").BackgroundColour();
        Click(window, "okbtn");
        shown = Channels(window);
    });
    EXPECT_EQ(result, CColorSelectWnd::kResultChosen);
    EXPECT_EQ(m_dialog->CurrentColour(), param.colour);
    EXPECT_EQ(swatch, param.colour);
    EXPECT_EQ(palette, param.colour);
    EXPECT_EQ(m_dialog->ResultColour(), param.colour);
    EXPECT_EQ(shown, param.shownAfter);
}

INSTANTIATE_TEST_SUITE_P(
    ColourSelect, ColourSelectTyped,
    ::testing::Values(
        TypedCase{"ThreeChannels",
                  0x000000,
                  {{"color_edit_r", "255"}, {"color_edit_g", "0"}, {"color_edit_b", "128"}},
                  0xFFFF0080u,
                  "255,0,128"},
        TypedCase{"RedAboveRange", 0x102030, {{"color_edit_r", "300"}}, 0xFFFF2030u, "255,32,48"},
        TypedCase{"GreenAboveRange", 0x102030, {{"color_edit_g", "999"}}, 0xFF10FF30u, "16,255,48"},
        TypedCase{"GreenEmpty", 0x102030, {{"color_edit_g", ""}}, 0xFF100030u, "16,0,48"},
        TypedCase{"BlueNotANumber", 0x102030, {{"color_edit_b", "x7"}}, 0xFF102000u, "16,32,x7"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- presets and collected slots ----

TEST_F(ColourSelect, AFilledSlotFollowsThePaletteAndAnEmptyOneIsFilled) {
    WriteUserFile(
        OptionsText("4", "3", {{"FFFFFFFF", ""}, {"FFFFFFFF", ""}, {"FFFFFFFF", ""}, {"FF112233", "1"}}));
    Open(0xFF000000u, [&](MemoryWindow& window) {
        ui::Control& slot3 = In(window, "collect_color_option_3");
        EXPECT_TRUE(SelectableOf(slot3).IsSelected());
        EXPECT_EQ(slot3.BackgroundColour(), 0xFF112233u);
        EXPECT_TRUE(m_user.PickColour(In(window, "Pallet"), 0xFFA0B1C2u));
        EXPECT_EQ(slot3.BackgroundColour(), 0xFFA0B1C2u);
        EXPECT_EQ(StoredSlot(3)["color"].asString(), "FFA0B1C2");
        EXPECT_EQ(Channels(window), "160,177,194");

        Click(window, "collect_color_option_5");
        ui::Control& slot5 = In(window, "collect_color_option_5");
        EXPECT_EQ(slot5.UserData(), "");
        EXPECT_EQ(In(window, "color_show_btn").BackgroundColour(), 0xFFA0B1C2u)
            << "an empty slot shows nothing";
        m_clock.Advance(CColorSelectWnd::kSaveGapMs);
        EXPECT_TRUE(m_user.PickColour(In(window, "Pallet"), 0xFF0000FFu));
        EXPECT_EQ(slot5.UserData(), "1");
        EXPECT_EQ(slot3.BackgroundColour(), 0xFFA0B1C2u) << "the other slot keeps its colour";

        // A filled slot chosen again shows its colour.
        Click(window, "collect_color_option_3");
        EXPECT_EQ(In(window, "color_show_btn").BackgroundColour(), 0xFFA0B1C2u);
        EXPECT_EQ(Channels(window), "160,177,194");
        Click(window, "closebtn");
    });
    EXPECT_EQ(StoredSlot(5)["color"].asString(), "FF0000FF");
    EXPECT_EQ(StoredSlot(5)["UserData"].asString(), "1");
    EXPECT_EQ(UserFile()["palletDialogcollectcoloroption_selectitem"].asInt(), 3);
}

TEST_F(ColourSelect, APresetSetsEverythingAndFillsTheSelectedSlot) {
    WriteUserFile(OptionsText("4", "0", {}));
    Open(0xFF000000u, [&](MemoryWindow& window) {
        EXPECT_TRUE(SelectableOf(In(window, "color_option_4")).IsSelected());
        Click(window, "color_option_7");
        EXPECT_EQ(m_dialog->CurrentColour(), 0xFF0080FFu);
        EXPECT_EQ(In(window, "color_show_btn").BackgroundColour(), 0xFF0080FFu);
        EXPECT_EQ(In(window, "Pallet").BackgroundColour(), 0xFF0080FFu);
        EXPECT_EQ(Channels(window), "0,128,255");
        EXPECT_EQ(In(window, "collect_color_option_0").BackgroundColour(), 0xFF0080FFu);
        EXPECT_EQ(UserFile()["palletDialogcoloroption_selectitem"].asInt(), 7);
        Click(window, "laterbtn");
    });
    EXPECT_EQ(StoredSlot(0)["color"].asString(), "FF0080FF");
    EXPECT_EQ(StoredSlot(0)["UserData"].asString(), "1");
    // Presets are written as signed decimal numbers.
    EXPECT_EQ(UserFile()["palletDialogcoloroption"][7]["color"].asString(), "-16744193");
    EXPECT_EQ(UserFile()["palletDialogcoloroption"][19]["color"].asString(), "-16777216");
}

// ---- closing ----

TEST_F(ColourSelect, OnlyOkChoosesAndSlotsChangedBeforeACancelStaySaved) {
    for (const char* button : {"closebtn", "laterbtn"}) {
        WriteUserFile(OptionsText("4", "2", {}));
        const int result = Open(0xFF123456u, [&](MemoryWindow& window) {
            EXPECT_TRUE(m_user.PickColour(In(window, "Pallet"), 0xFF654321u));
            Click(window, button);
        });
        EXPECT_EQ(result, CColorSelectWnd::kResultCancelled) << button;
        EXPECT_EQ(StoredSlot(2)["color"].asString(), "FF654321") << button;
    }
    // The frame's close is a cancel too.
    EXPECT_EQ(Open(0xFF123456u, [&](MemoryWindow& window) { m_user.RequestClose(window); }),
              CColorSelectWnd::kResultCancelled);

    // A layout without the palette cannot confirm.
    ScratchFolder skin;
    std::string layout = ReadBytes(SkinFolder() + "/PalletDialog.ui");
    const size_t start = layout.find("<widget class=\"ColorPalette\"");
    ASSERT_NE(start, std::string::npos);
    layout.erase(start, layout.find("</widget>", start) + 9 - start);
    std::ofstream(skin.Path() + "/PalletDialog.ui") << layout;
    std::ofstream(skin.Path() + "/res.xml")
        << "<resources><layout name=\"PalletDialog.xml\" file=\"PalletDialog.ui\"/></resources>";
    EXPECT_EQ(Open(
                  0xFF123456u, [&](MemoryWindow& window) { Click(window, "okbtn"); }, skin.Path()),
              CColorSelectWnd::kResultNoPalette);
}

// ---- the file ----

struct FileCase {
    const char* name;
    std::optional<std::string> userFile; // nothing: no file
    int preset;
    int slot;
    bool slot1Filled;
    bool keptAside;
};

class ColourSelectFile : public ColourSelect, public ::testing::WithParamInterface<FileCase> {};

TEST_P(ColourSelectFile, OpeningReadsWhatIsSoundAndCancellingWritesNothing) {
    const FileCase& param = GetParam();
    if (param.userFile) {
        WriteUserFile(*param.userFile);
    }
    Open(0xFF000000u, [&](MemoryWindow& window) {
        EXPECT_TRUE(SelectableOf(In(window, ui::FamilyName("color_option_", param.preset))).IsSelected());
        EXPECT_TRUE(
            SelectableOf(In(window, ui::FamilyName("collect_color_option_", param.slot))).IsSelected());
        EXPECT_EQ(In(window, "collect_color_option_1").UserData(), param.slot1Filled ? "1" : "");
        Click(window, "closebtn");
    });
    EXPECT_EQ(std::filesystem::exists(UserPath() + ".damaged"), param.keptAside);
    if (param.keptAside) {
        EXPECT_EQ(ReadBytes(UserPath() + ".damaged"), *param.userFile);
    }
    if (!param.userFile || param.keptAside) {
        EXPECT_EQ(CJsonFileHelper().ReadJsonFile(UserPath()),
                  CJsonFileHelper().ReadJsonFile(ShippedOptions()))
            << "the default took its place";
    } else {
        EXPECT_EQ(ReadBytes(UserPath()), *param.userFile) << "opening and cancelling changes nothing";
    }
    // Opened again, the file still reads the same.
    const std::string before = ReadBytes(UserPath());
    Open(0xFF000000u, [&](MemoryWindow& window) { Click(window, "laterbtn"); });
    EXPECT_EQ(ReadBytes(UserPath()), before);
}

INSTANTIATE_TEST_SUITE_P(
    ColourSelect, ColourSelectFile,
    ::testing::Values(FileCase{"Stored", OptionsText("9", "1", {{"FFFFFFFF", ""}, {"ff00aa00", "1"}}), 9, 1,
                               true, false},
                      FileCase{"Missing", std::nullopt, 0, 0, false, false},
                      FileCase{"Damaged", std::string("{\"coloroptioninfo\": [1, 2"), 0, 0, false, true},
                      FileCase{"NotAnObject", std::string("[1, 2]\n"), 0, 0, false, true},
                      FileCase{"IndicesOutOfRange", OptionsText("20", "-1", {}), 4, 0, false, false},
                      FileCase{"IndicesNotNumbers", OptionsText("\"7\"", "2.5", {}), 4, 0, false, false},
                      FileCase{"BadHexadecimal", OptionsText("4", "1", {{"FFFFFFFF", ""}, {"FF00GG00", "1"}}),
                               4, 1, false, false},
                      FileCase{"ShortHexadecimal", OptionsText("4", "1", {{"FFFFFFFF", ""}, {"FF00AA", "1"}}),
                               4, 1, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ColourSelect, ADragWritesAtMostTwiceAndTheLastColourIsSavedOnClose) {
    WriteUserFile(OptionsText("4", "6", {}));
    Open(0xFF000000u, [&](MemoryWindow& window) {
        for (uint32_t move = 0; move < 100; ++move) {
            EXPECT_TRUE(m_user.PickColour(In(window, "Pallet"), 0xFF000000u | move));
            m_toolkit->AdvanceTime(1);
        }
        EXPECT_LE(m_dialog->File().Writes(), 1);
        Click(window, "okbtn");
    });
    EXPECT_LE(m_dialog->File().Writes(), 2);
    EXPECT_EQ(StoredSlot(6)["color"].asString(), "FF000063");
    EXPECT_EQ(m_dialog->ResultColour(), 0xFF000063u);

    // Left alone, a pending save is written once the gap has passed.
    Open(0xFF000000u, [&](MemoryWindow& window) {
        EXPECT_TRUE(m_user.PickColour(In(window, "Pallet"), 0xFF0000AAu));
        EXPECT_TRUE(m_user.PickColour(In(window, "Pallet"), 0xFF0000BBu));
        m_toolkit->AdvanceTime(CColorSelectWnd::kSaveGapMs);
        EXPECT_EQ(StoredSlot(6)["color"].asString(), "FF0000BB");
        EXPECT_EQ(m_dialog->File().Writes(), 2);
        Click(window, "closebtn");
    });
}

TEST_F(ColourSelect, TheScaleIsOneOfTheAcceptedOnesAndTheMulticolourChoiceIsHidden) {
    m_dialog = std::make_unique<CColorSelectWnd>(*m_toolkit, m_ticks, Options());
    ASSERT_TRUE(m_dialog->Create(nullptr));
    ui::Window& window = *m_dialog->GetWindow();
    EXPECT_EQ(window.ClassName(), "ColorSelectWnd");
    EXPECT_EQ(window.Title(), "PalletDialog");
    m_dialog->Prepare(0xFF00FF00u, 144);
    EXPECT_EQ(window.Dpi(), 144);
    EXPECT_EQ(window.Geometry().width, CColorSelectWnd::kWidth * 144 / 96);
    EXPECT_EQ(window.Geometry().height, CColorSelectWnd::kHeight * 144 / 96);
    m_user.ChangeDpi(window, 100);
    EXPECT_EQ(window.Dpi(), 96) << "a scale off the steps of 24 falls back to 96";
    m_user.ChangeDpi(window, 48);
    EXPECT_EQ(window.Dpi(), 48);
    EXPECT_FALSE(window.FindControl("7color")->IsVisible());
    EXPECT_FALSE(SelectableOf(window.FindControl("7color")).IsSelected());
    EXPECT_FALSE(m_dialog->Multicolour());

    // Where the choice is offered, it shows the multicolour picture until a colour is chosen.
    window.FindControl("7color_layout")->SetVisible(true);
    window.FindControl("7color")->SetEnabled(true);
    window.Show();
    ASSERT_TRUE(m_user.Click(window, "7color"));
    EXPECT_TRUE(m_dialog->Multicolour());
    EXPECT_EQ(window.FindControl("color_show_btn")->BackgroundImage(), CColorSelectWnd::kMulticolourImage);
    ASSERT_TRUE(m_user.PickColour(*window.FindControl("Pallet"), 0xFF445566u));
    EXPECT_FALSE(m_dialog->Multicolour());
    EXPECT_FALSE(SelectableOf(window.FindControl("7color")).IsSelected());
    EXPECT_EQ(window.FindControl("color_show_btn")->BackgroundImage(), "");
}

} // namespace
} // namespace velkor::test
