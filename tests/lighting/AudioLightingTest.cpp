// The audio part of the lighting panel on the shipped layout, driven as a
// user would through its router; the capture tool's styles and their file;
// the style window; and the waveform.
#include "LightingTestSupport.h"
#include "lighting/AudioPanelRouter.h"
#include "lighting/AudioStyles.h"
#include "lighting/MusicWnd.h"
#include "platform/JsonFileHelper.h"
#include "support/ScratchFolder.h"
#include "ui/FamilyAccess.h"

#include <climits>
#include <fstream>

namespace velkor::test {
namespace {

using ui::test::ListOf;
using ui::test::RangeOf;
using ui::test::SelectableOf;
using ui::test::WaveformOf;
using Controls = AudioLightControls;

// Notes what would go to the capture tool.
struct ToolRecorder final : AudioToolSender {
    void SendParameter(int32_t parameter, int32_t value) override {
        parameters.push_back({parameter, value});
    }
    void SendStyleColour(int32_t red, int32_t green, int32_t blue) override {
        colours.push_back({red, green, blue});
    }
    std::vector<std::pair<int32_t, int32_t>> parameters;
    std::vector<std::array<int32_t, 3>> colours;
};

// The device's lighting panel link, as the program's adapter does it for the audio part.
struct AudioLink final : LightPanelLink {
    explicit AudioLink(ui::Control& panel) : controls(panel) {}
    void ShowAudioLightValues(const AudioLightValues& values) override { controls.Show(values); }
    bool ReadAudioLightValues(AudioLightValues& values) const override {
        return controls.Read(false, values);
    }
    void ShowDeviceLighting() override {}
    void SelectCustomGroup(int) override {}
    int SelectedCustomGroup() override { return -1; }
    AudioLightControls controls;
};

AudioLightWords Words(uint8_t style, uint32_t bk, uint32_t fg, bool multi, bool targetFg) {
    AudioLightWords words;
    words.style = style;
    words.background = bk;
    words.foreground = fg;
    words.multicolour = multi;
    words.targetForeground = targetFg;
    return words;
}

class AudioPanel : public LightingFixture {
protected:
    void SetUp() override {
        LightingFixture::SetUp();
        m_keyboard = &AddDevice(DeviceKind::Keyboard, "kb");
        m_link = std::make_unique<AudioLink>(PanelOf(*m_keyboard).Panel());
        m_keyboard->Presenter().SetLightPanel(m_link.get());
        m_router = std::make_unique<AudioPanelRouter>(
            m_lightPanels, [this] { return m_keyboard; }, m_tool, [this] { ++m_musicOpened; });
        m_receiver.router = m_router.get();
        Window().AddNotifier(m_receiver);
        PanelOf(*m_keyboard).SelectMode(29);
    }
    void TearDown() override {
        Window().RemoveNotifier(m_receiver);
        m_keyboard->Presenter().SetLightPanel(nullptr);
        LightingFixture::TearDown();
    }
    ui::Window& Window() { return PanelOf(*m_keyboard).Panel().OwnerWindow(); }
    ui::Control& C(std::string_view name) { return Control(*m_keyboard, name); }
    void Set(const AudioLightWords& words) { m_keyboard->SetAudioLightValues(words.Values()); }
    AudioLightWords Stored() { return AudioLightWords::From(m_keyboard->GetAudioLightValues()); }

    struct Receiver : ui::NotifyReceiver {
        AudioPanelRouter* router = nullptr;
        void Notify(const ui::Notification& n) override { router->Route(n); }
    };
    LoggedDevice* m_keyboard = nullptr;
    std::unique_ptr<AudioLink> m_link;
    ToolRecorder m_tool;
    int m_musicOpened = 0;
    std::unique_ptr<AudioPanelRouter> m_router;
    Receiver m_receiver;
};

TEST_F(AudioPanel, TheStyleComboHasSevenItemsAndStyle3DisablesTheColourLayouts) {
    ASSERT_EQ(ListOf(C(Controls::kCombo)).ItemCount(), 7);
    for (int style : {3, 1, 3, 6}) {
        TakeLog();
        ASSERT_TRUE(m_user.ChooseItem(C(Controls::kCombo), style));
        EXPECT_EQ(Stored().style, style);
        EXPECT_EQ(TakeLog(), (std::vector<std::string>{"kb:Save", "kb:Apply"})) << "commit";
        EXPECT_EQ(C(Controls::kColourLayout).IsEnabled(), style != 3);
        EXPECT_EQ(C(Controls::kPaletteLayout).IsEnabled(), style != 3);
    }
}

TEST_F(AudioPanel, ShowingARecordSelectsTheTargetAndShowsItsColour) {
    Set(Words(4, 0x010203, 0x0A141E, true, true));
    EXPECT_EQ(ListOf(C(Controls::kCombo)).SelectedIndex(), 4);
    EXPECT_TRUE(SelectableOf(C(Controls::kForegroundOption)).IsSelected());
    EXPECT_FALSE(SelectableOf(C(Controls::kBackgroundOption)).IsSelected());
    EXPECT_TRUE(SelectableOf(C(Controls::kMulticolourCheck)).IsSelected());
    EXPECT_EQ(C(Controls::kEdits[1]).Text(), "20");
    EXPECT_EQ(C(Controls::kSwatch).BackgroundColour(), 0xFF0A141Eu);
    EXPECT_EQ(C(Controls::kPalette).BackgroundColour(), 0xFF0A141Eu);
    Set(Words(4, 0x010203, 0x0A141E, true, false));
    EXPECT_TRUE(SelectableOf(C(Controls::kBackgroundOption)).IsSelected());
    EXPECT_EQ(C(Controls::kEdits[2]).Text(), "3");
}

TEST_F(AudioPanel, ThePaletteMovesTheBackgroundAndKeepsTheForeground) {
    Set(Words(0, 0, 0x112233, true, false));
    ASSERT_TRUE(m_user.PickColour(C(Controls::kPalette), 0xFF0A141E));
    const AudioLightWords stored = Stored();
    EXPECT_EQ(stored.background, 0x0A141Eu);
    EXPECT_EQ(stored.foreground, 0x112233u);
    EXPECT_TRUE(stored.multicolour);
}

TEST_F(AudioPanel, TypingAboveTheRangeStores255AndEndsMulticolourOnTheForeground) {
    Set(Words(0, 0, 0x112233, true, true));
    ASSERT_TRUE(m_user.Type(C(Controls::kEdits[1]), "300"));
    ASSERT_TRUE(m_user.Focus(C(Controls::kEdits[0]))); // killfocus of the green edit
    const AudioLightWords stored = Stored();
    EXPECT_EQ(stored.foreground, 0x11FF33u);
    EXPECT_FALSE(stored.multicolour);
    EXPECT_EQ(C(Controls::kEdits[1]).Text(), "255");
}

TEST_F(AudioPanel, ClearingTheBackgroundKeepsTheForegroundAndAPresetPaintsTheTarget) {
    Set(Words(0, 0x445566, 0x112233, true, true));
    ASSERT_TRUE(m_user.Click(C(Controls::kClearBackground)));
    EXPECT_EQ(Stored().background, 0u);
    EXPECT_EQ(Stored().foreground, 0x112233u);
    ASSERT_TRUE(m_user.Click(C("audiocolor_option_3")));
    EXPECT_EQ(Stored().foreground, 0x00FF00u);
    EXPECT_FALSE(Stored().multicolour);
}

TEST_F(AudioPanel, ToolSlidersLabelTheirValueAndGoToTheTool) {
    ASSERT_TRUE(m_user.StepSlider(C("G_light_slider"), 17));
    EXPECT_EQ(C("G_light_label").Text(), "G 17");
    ASSERT_TRUE(m_user.StepSlider(C("B_light_slider"), 255));
    EXPECT_EQ(m_tool.parameters, (std::vector<std::pair<int32_t, int32_t>>{{7, 17}, {8, 255}}));
    ASSERT_TRUE(m_user.Click(C(Controls::kMusicButton)));
    EXPECT_EQ(m_musicOpened, 1);
}

// The target the options say, by (background option, foreground option, stored target); the
// two options are one group, so one of them is selected.
struct TargetCase {
    bool background;
    bool foreground;
    bool stored;
    bool expected;
};
class AudioTarget : public AudioPanel, public testing::WithParamInterface<TargetCase> {};

TEST_P(AudioTarget, FollowsTheOptionsAndTheStoredTarget) {
    const TargetCase c = GetParam();
    Controls controls(PanelOf(*m_keyboard).Panel());
    controls.Show(Words(0, 0, 0, false, c.stored).Values());
    SelectableOf(C(c.background ? Controls::kBackgroundOption : Controls::kForegroundOption))
        .SetSelected(true, false);
    ASSERT_EQ(SelectableOf(C(Controls::kForegroundOption)).IsSelected(), c.foreground);
    AudioLightValues values{};
    ASSERT_TRUE(controls.Read(false, values));
    EXPECT_EQ(AudioLightWords::From(values).targetForeground, c.expected);
}
INSTANTIATE_TEST_SUITE_P(AudioPanel, AudioTarget,
                         testing::Values(TargetCase{false, true, false, true},
                                         TargetCase{false, true, true, true},
                                         TargetCase{true, false, false, false},
                                         TargetCase{true, false, true, false}));

TEST_F(AudioPanel, APanelWithoutTheAudioControlsRefusesToShowOrRead) {
    std::string error;
    auto bare = m_toolkit->CreateWindow(ui::WindowOptions{"XML_MSG", "Bare"}, &error);
    ASSERT_NE(bare, nullptr) << error;
    Controls controls(bare->Root());
    EXPECT_FALSE(controls.Show(Words(1, 2, 3, false, true).Values()));
    AudioLightValues values{7, 7, 7};
    EXPECT_FALSE(controls.Read(true, values));
    EXPECT_EQ(values, (AudioLightValues{7, 7, 7}));
}

TEST_F(AudioPanel, TheWaveformShowsEveryThirdFrameClampedAtMost30TimesASecondOnlyWhileShown) {
    CAudioRecordUI* waveform = PanelOf(*m_keyboard).Waveform();
    ASSERT_NE(waveform, nullptr);
    std::vector<int32_t> frame(500, 100);
    frame[0] = INT32_MIN;
    frame[1] = -5;
    frame[2] = 9000;
    int paints = 0;
    for (uint32_t t = 0; t < 1000; t += 4) { // a frame every 4 ms
        paints += waveform->Feed(frame, t) ? 1 : 0;
    }
    EXPECT_GE(paints, 25);
    EXPECT_LE(paints, 30);
    const std::vector<int16_t> shown = WaveformOf(C(CAudioRecordUI::kName)).Waveform();
    ASSERT_EQ(shown.size(), 500u);
    EXPECT_EQ(shown[0], 8192);
    EXPECT_EQ(shown[1], 5);
    EXPECT_EQ(shown[2], 8192);
    EXPECT_EQ(shown[3], 100);

    CAudioRecordUI other(C(CAudioRecordUI::kName));
    EXPECT_FALSE(other.Feed(frame, 5000));
    EXPECT_FALSE(other.Feed(frame, 5000));
    EXPECT_TRUE(other.Feed(frame, 5000)) << "the third frame";
    PanelOf(*m_keyboard).SelectMode(1); // the colour page hides the audio page
    for (uint32_t t = 6000; t < 7000; t += 10) {
        ASSERT_FALSE(other.Feed(frame, t));
    }
}

// ---- The styles and their file ----

class AudioStyleFiles : public testing::Test {
protected:
    AudioStyleFiles() {
        std::filesystem::create_directories(m_folder.Path() + "/default");
        std::filesystem::copy_file(SkinFolder() + "/../DefaultData/AudioFile.json", DefaultPath());
    }
    std::string DefaultPath() const { return m_folder.Path() + "/default/AudioFile.json"; }
    std::string UserPath() const { return m_folder.Path() + "/user/VELKOR01/AudioFile.json"; }
    void WriteUser(const std::string& text) {
        std::filesystem::create_directories(m_folder.Path() + "/user/VELKOR01");
        std::ofstream(UserPath(), std::ios::binary) << text;
    }
    ScratchFolder m_folder;
};

TEST_F(AudioStyleFiles, AMissingOrDamagedUserFileIsReplacedByTheDefault) {
    for (const char* user : {"", "{ not json"}) {
        if (*user != '\0') {
            WriteUser(user);
        }
        AudioStyleFile file(DefaultPath(), UserPath());
        ASSERT_TRUE(file.Load());
        EXPECT_EQ(file.Record().names[2], "第三组");
        EXPECT_EQ(file.Record().colours[1], (std::array<uint8_t, 3>{0, 9, 0}));
        EXPECT_EQ(CJsonFileHelper().ReadJsonFile(UserPath()), CJsonFileHelper().ReadJsonFile(DefaultPath()));
    }
}

TEST_F(AudioStyleFiles, ValuesOutOfRangeReadAsUsableOnes) {
    WriteUser(R"({"Device": {"AudioLightInfo": {"nAudioStyle": 7, "nStyleR0": 12, "nStyleG0": -3,
               "nStyleB0": 1e30, "nStyleName1": 5, "Other": 1}}, "Kept": true})");
    AudioStyleFile file(DefaultPath(), UserPath());
    ASSERT_TRUE(file.Load());
    EXPECT_EQ(file.Record().style, 0);
    EXPECT_EQ(file.Record().colours[0], (std::array<uint8_t, 3>{9, 0, 9}));
    EXPECT_EQ(file.Record().names[0], "");
    AudioStyleRecord edited = file.Record();
    edited.style = 2;
    edited.names[3] = "mine";
    ASSERT_TRUE(file.Save(edited));
    const Json::Value saved = CJsonFileHelper().ReadJsonFile(UserPath());
    EXPECT_EQ(saved["Device"]["AudioLightInfo"]["nAudioStyle"], 2);
    EXPECT_EQ(saved["Device"]["AudioLightInfo"]["nStyleName4"], "mine");
    EXPECT_EQ(saved["Device"]["AudioLightInfo"]["Other"], 1) << "other members stay";
    EXPECT_EQ(saved["Kept"], true);
    ASSERT_TRUE(file.Reset());
    EXPECT_EQ(file.Record().style, 0);
    EXPECT_EQ(CJsonFileHelper().ReadJsonFile(UserPath()), CJsonFileHelper().ReadJsonFile(DefaultPath()));
}

// ---- The style window ----

class MusicWindow : public LightingFixture {
protected:
    int Open(const AudioStyleRecord& record, const std::function<void(ui::Window&)>& act) {
        m_window = std::make_unique<MusicWnd>(*m_toolkit);
        std::string error;
        EXPECT_TRUE(m_window->Create(nullptr, &error)) << error;
        m_window->Prepare(record, 96);
        m_toolkit->SetModalDriver([&](ui::MemoryWindow& window) { act(window); });
        return m_window->Run();
    }
    ui::Control& In(ui::Window& window, std::string_view name) {
        ui::Control* control = window.FindControl(name);
        EXPECT_NE(control, nullptr) << name;
        return control != nullptr ? *control : window.Root();
    }
    std::unique_ptr<MusicWnd> m_window;
};

TEST_F(MusicWindow, EditsTheStylesAndAnEmptiedNameBecomesTheDefault) {
    AudioStyleRecord record;
    record.style = 1;
    record.names = {"a", "b", "c", "d"};
    record.colours[1] = {1, 2, 3};
    record.colours[3] = {4, 5, 6};
    const int result = Open(record, [&](ui::Window& window) {
        EXPECT_EQ(RangeOf(In(window, "audio_g_slider")).Value(), 2) << "style 1's colour";
        EXPECT_EQ(RangeOf(In(window, "audio_g_slider")).Maximum(), 9);
        EXPECT_TRUE(SelectableOf(In(window, "audio_select_tab2")).IsSelected());
        m_user.Click(In(window, "audio_select_tab4"));
        EXPECT_EQ(RangeOf(In(window, "audio_b_slider")).Value(), 6);
        m_user.StepSlider(In(window, "audio_r_slider"), 9);
        m_user.Type(In(window, "audio_edit_name3"), "");
        m_user.Focus(In(window, "audio_edit_name1"));
        EXPECT_EQ(In(window, "audio_edit_name3").Text(), "第三组");
        m_user.Click(In(window, "okbtn"));
    });
    EXPECT_EQ(result, MusicWnd::kResultOk);
    EXPECT_EQ(m_window->Record().style, 3);
    EXPECT_EQ(m_window->Record().colours[3], (std::array<uint8_t, 3>{9, 5, 6}));
    EXPECT_EQ(m_window->Record().names[2], "第三组");
    EXPECT_EQ(Open(record, [&](ui::Window& window) { m_user.Click(In(window, "closebtn")); }),
              MusicWnd::kResultClosed);
}

} // namespace
} // namespace velkor::test
