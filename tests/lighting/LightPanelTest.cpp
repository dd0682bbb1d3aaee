// The lighting panel on the shipped layout: the mode list, the enabling rules
// per device kind, showing a light record, and the panel handlers with their
// commit sequence, driven as a user would through the router.
#include "LightingTestSupport.h"
#include "lighting/LightPanelRouter.h"
#include "ui/FamilyAccess.h"

namespace velkor::test {
namespace {

using ui::test::ListOf;
using ui::test::PagesOf;
using ui::test::RangeOf;
using ui::test::SelectableOf;

class LightPanel : public LightingFixture {
protected:
    void SetUp() override {
        LightingFixture::SetUp();
        m_sync = std::make_unique<SyncLighting>(m_ticks);
        m_sameMode = std::make_unique<SameMode>(*m_sync, m_lightPanels, DevicesOfClass(), m_screen);
        m_router = std::make_unique<LightPanelRouter>(
            m_lightPanels, [this] { return m_selected; }, m_handlers, *m_sameMode);
        m_keyboard = &AddDevice(DeviceKind::Keyboard, "kb");
        m_selected = m_keyboard;
        m_receiver.router = m_router.get();
        HostWindow().AddNotifier(m_receiver);
    }
    ui::Window& HostWindow() { return PanelOf(*m_keyboard).Panel().OwnerWindow(); }
    bool Shown(std::string_view name) { return Control(*m_keyboard, name).IsVisible(); }
    bool Enabled(std::string_view name) { return Control(*m_keyboard, name).IsEnabled(); }

    // Hands the window's notifications to the router, as the main window does.
    struct Receiver : ui::NotifyReceiver {
        LightPanelRouter* router = nullptr;
        void Notify(const ui::Notification& n) override { router->Route(n); }
    };

    LightPanelHandlers m_handlers{m_screen};
    std::unique_ptr<SyncLighting> m_sync;
    std::unique_ptr<SameMode> m_sameMode;
    std::unique_ptr<LightPanelRouter> m_router;
    Receiver m_receiver;
    LoggedDevice* m_keyboard = nullptr;
    CTolvanicUSBDevice* m_selected = nullptr;

    void TearDown() override {
        HostWindow().RemoveNotifier(m_receiver);
        LightingFixture::TearDown();
    }
};

TEST_F(LightPanel, AHiddenModeKeepsItsNumber) {
    CLightControlUI& panel = PanelOf(*m_keyboard);
    panel.FillModeList({"m0", "m1", "m2", "m3", "m4"}, {1, 1, 0, 1, 1}, 4, 4);
    ui::Control& combo = Control(*m_keyboard, CLightControlUI::kModeCombo);
    ui::ListControl& rows = ListOf(combo);
    ASSERT_EQ(rows.ItemCount(), 4) << "the hidden mode has no row";
    EXPECT_EQ(rows.ItemText(2), "m3");
    EXPECT_TRUE(combo.IsResourceText());

    ASSERT_TRUE(m_user.ChooseItem(combo, 2));
    EXPECT_EQ(m_keyboard->State().LightRecord().selectItem, 3)
        << "the entry after the hidden one keeps number 3";

    LightInfoRecord record = m_keyboard->State().LightRecord();
    record.selectItem = 2;
    panel.ShowLightInfo(record);
    EXPECT_EQ(rows.SelectedIndex(), -1);
    EXPECT_EQ(panel.CurrentMode(), 2) << "a stored profile can still select the hidden mode";
    record.selectItem = 9;
    panel.ShowLightInfo(record);
    EXPECT_EQ(panel.CurrentMode(), -1) << "a mode outside the list selects nothing";
}

TEST_F(LightPanel, KeyboardModesThatHideTheSpeedGroupShowItAgainWhenLeft) {
    CLightControlUI& panel = PanelOf(*m_keyboard);
    for (int mode : {17, 19, 29}) {
        panel.SelectMode(1);
        ASSERT_TRUE(Shown(CLightControlUI::kSpeedLayout));
        panel.SelectMode(mode);
        EXPECT_FALSE(Shown(CLightControlUI::kSpeedLayout)) << mode;
        EXPECT_EQ(Shown(CLightControlUI::kZzccLayout), mode == 17);
        EXPECT_EQ(Shown(CLightControlUI::kCustomLayout), mode == 19);
        EXPECT_EQ(Shown(CLightControlUI::kAudioLayout), mode == 29);
        EXPECT_EQ(PagesOf(Control(*m_keyboard, CLightControlUI::kColourPages)).CurrentPage(),
                  mode == 29 ? 1 : 0);
        panel.SelectMode(7);
        EXPECT_TRUE(Shown(CLightControlUI::kSpeedLayout)) << "after " << mode;
        EXPECT_FALSE(Shown(CLightControlUI::kZzccLayout) || Shown(CLightControlUI::kCustomLayout) ||
                     Shown(CLightControlUI::kAudioLayout));
        EXPECT_EQ(PagesOf(Control(*m_keyboard, CLightControlUI::kColourPages)).CurrentPage(), 0);
    }
    // Mode 20 disables every group like a mode outside the table.
    for (int mode : {20, 31, 200}) {
        panel.SelectMode(mode);
        EXPECT_FALSE(Enabled(CLightControlUI::kBrightnessLayout) || Enabled(CLightControlUI::kColourLayout) ||
                     Enabled(CLightControlUI::kSpeedLayout) || Enabled(CLightControlUI::kDirectionLayout) ||
                     Enabled(CLightControlUI::kSevenColorCheck))
            << mode;
        EXPECT_TRUE(Enabled(CLightControlUI::kColourTabLayout));
        EXPECT_TRUE(Enabled(CLightControlUI::kEffectLayout));
    }
}

// Which groups the panel shows, by (keyboard mode, colours cycling), and the
// shown bands close up under the effect row: no band starts below a gap.
TEST_F(LightPanel, OnlyTheGroupsAnEffectUsesAreShownWithoutGaps) {
    struct Case {
        int mode;
        bool cycling;
        bool colour, seven, speed, direction, colourTab;
    };
    const Case cases[] = {
        {1, false, true, true, true, true, true},     // uses everything
        {1, true, false, true, true, true, true},     // cycling: no fixed colour
        {6, false, true, true, false, false, true},   // steady: no speed or direction
        {4, false, false, false, true, false, false}, // colour cycle on its own
        {17, false, false, false, false, false, false},
        {19, true, true, false, false, false, true}, // per-key colours ignore cycling
        {20, false, false, false, false, false, true},
    };
    CLightControlUI& panel = PanelOf(*m_keyboard);
    for (const Case& c : cases) {
        LightInfoRecord record;
        record.selectItem = uint8_t(c.mode);
        record.multiColor = c.cycling ? 1 : 0;
        panel.ShowLightInfo(record);
        const std::string at = "mode " + std::to_string(c.mode) + (c.cycling ? " cycling" : "");
        EXPECT_EQ(Shown(CLightControlUI::kColourLayout), c.colour) << at;
        EXPECT_EQ(Shown(CLightControlUI::kPaletteLayout), c.colour) << at;
        EXPECT_EQ(Shown(CLightControlUI::kSevenColorCheck), c.seven) << at;
        EXPECT_EQ(Shown(CLightControlUI::kSpeedLayout), c.speed) << at;
        EXPECT_EQ(Shown(CLightControlUI::kDirectionLayout), c.direction) << at;
        EXPECT_EQ(Shown(CLightControlUI::kColourTabLayout), c.colourTab) << at;

        int bottom = Control(*m_keyboard, CLightControlUI::kEffectLayout).Geometry().y;
        for (std::string_view band : {CLightControlUI::kEffectLayout, CLightControlUI::kZzccLayout,
                                      CLightControlUI::kAudioLayout, CLightControlUI::kCustomLayout,
                                      CLightControlUI::kBrightnessLayout, CLightControlUI::kSpeedLayout,
                                      CLightControlUI::kDirectionLayout, CLightControlUI::kColourTabLayout}) {
            if (!Shown(band)) {
                continue;
            }
            const ui::Rect rect = Control(*m_keyboard, band).Geometry();
            EXPECT_LE(rect.y - bottom, 2) << at << ": a gap above " << band;
            EXPECT_GE(rect.y, bottom) << at << ": " << band << " overlaps the band above";
            bottom = rect.y + rect.height;
        }
    }
    // Unticking "cycling" brings the fixed colour back at once.
    LightInfoRecord cycling;
    cycling.selectItem = 1;
    cycling.multiColor = 1;
    panel.ShowLightInfo(cycling);
    ASSERT_FALSE(Shown(CLightControlUI::kColourLayout));
    ASSERT_TRUE(m_user.Click(HostWindow(), CLightControlUI::kSevenColorCheck));
    EXPECT_EQ(m_keyboard->State().LightRecord().multiColor, 0);
    EXPECT_TRUE(Shown(CLightControlUI::kColourLayout));
    EXPECT_TRUE(Shown(CLightControlUI::kPaletteLayout));
}

TEST_F(LightPanel, DirectionTextsFollowTheKeyboardMode) {
    CLightControlUI& panel = PanelOf(*m_keyboard);
    const std::vector<std::tuple<int, std::string, std::string>> cases = {
        {3, "light_set_clockwise_text", "light_set_anticlockwise_text"},
        {24, "light_set_clockwise_text", "light_set_anticlockwise_text"},
        {12, "light_set_down_to_up_text", "light_set_up_to_down_text"},
        {21, "light_set_up_to_down_text", "light_set_down_to_up_text"},
        {18, "light_set_outside_to_inside_text", "light_set_inside_to_outside_text"},
        {1, "light_set_right_to_left_text", "light_set_left_to_right_text"},
    };
    for (const auto& [mode, left, right] : cases) {
        panel.SelectMode(mode);
        EXPECT_EQ(Control(*m_keyboard, CLightControlUI::kLeftCheck).Text(), left) << mode;
        EXPECT_EQ(Control(*m_keyboard, CLightControlUI::kRightCheck).Text(), right) << mode;
        EXPECT_TRUE(Control(*m_keyboard, CLightControlUI::kLeftCheck).IsResourceText());
    }
}

TEST_F(LightPanel, MouseAndPadRulesLeaveTheKeyboardGroupsAlone) {
    LoggedDevice& mouse = AddDevice(DeviceKind::Mouse, "ms");
    LoggedDevice& pad = AddDevice(DeviceKind::Headset, "hs");
    PanelOf(mouse).SelectMode(3);
    EXPECT_TRUE(Control(mouse, CLightControlUI::kColourLayout).IsEnabled());
    EXPECT_FALSE(Control(mouse, CLightControlUI::kSevenColorCheck).IsEnabled());
    EXPECT_FALSE(Control(mouse, CLightControlUI::kSpeedLayout).IsEnabled());
    EXPECT_EQ(Control(mouse, CLightControlUI::kLeftCheck).Text(), "light_set_right_to_left_text");
    PanelOf(pad).SelectMode(8);
    EXPECT_FALSE(Control(pad, CLightControlUI::kBrightnessLayout).IsEnabled());
    PanelOf(pad).SelectMode(0);
    EXPECT_TRUE(Control(pad, CLightControlUI::kDirectionLayout).IsEnabled());

    // An unknown kind touches nothing.
    CLightControlUI& panel = PanelOf(pad);
    panel.SetDeviceKind(DeviceClass::None);
    panel.SelectMode(8);
    EXPECT_TRUE(Control(pad, CLightControlUI::kBrightnessLayout).IsEnabled());
}

TEST_F(LightPanel, ShowLightInfoFillsEveryControl) {
    LightInfoRecord record;
    record.selectItem = 21;
    record.light = 3;
    record.speed = 2;
    record.fx = 1;
    record.multiColor = 1;
    record.red = 0x12;
    record.green = 0x34;
    record.blue = 0x56;
    record.ledMode = 2;
    PanelOf(*m_keyboard).ShowLightInfo(record);
    EXPECT_EQ(ListOf(Control(*m_keyboard, CLightControlUI::kModeCombo)).SelectedIndex(), 21);
    EXPECT_EQ(RangeOf(Control(*m_keyboard, CLightControlUI::kBrightnessSlider)).Value(), 3);
    EXPECT_EQ(RangeOf(Control(*m_keyboard, CLightControlUI::kSpeedSlider)).Value(), 2);
    EXPECT_EQ(Control(*m_keyboard, CLightControlUI::kEditGreen).Text(), "52");
    EXPECT_EQ(Control(*m_keyboard, CLightControlUI::kPalette).BackgroundColour(), 0xFF123456u);
    EXPECT_EQ(Control(*m_keyboard, CLightControlUI::kSwatch).BackgroundColour(), 0xFF123456u);
    EXPECT_TRUE(SelectableOf(Control(*m_keyboard, CLightControlUI::kSevenColorCheck)).IsSelected());
    EXPECT_EQ(ListOf(Control(*m_keyboard, CLightControlUI::kZzccCombo)).SelectedIndex(), 2);
    EXPECT_TRUE(SelectableOf(Control(*m_keyboard, CLightControlUI::kLeftCheck)).IsSelected());
    EXPECT_FALSE(SelectableOf(Control(*m_keyboard, CLightControlUI::kRightCheck)).IsSelected());
    EXPECT_EQ(Control(*m_keyboard, CLightControlUI::kLeftCheck).Text(), "light_set_up_to_down_text");
    EXPECT_TRUE(TakeLog().empty()) << "showing commits nothing";
}

TEST_F(LightPanel, MissingControlsGiveNeutralValues) {
    ui::Control& label = Control(*m_keyboard, "light_effect_label");
    CLightControlUI bare(label);
    bare.SetDeviceKind(DeviceClass::Keyboard);
    bare.SelectMode(4);
    bare.SetBrightness(3);
    EXPECT_EQ(bare.CurrentMode(), -1);
    EXPECT_EQ(bare.ZzccIndex(), -1);
    EXPECT_EQ(bare.Brightness(), 0);
    EXPECT_FALSE(bare.SevenColor());
    EXPECT_EQ(bare.PaletteColour(), 0xFF000000u);
    EXPECT_EQ(bare.PresetColour(3), 0u);
    EXPECT_EQ(PanelOf(*m_keyboard).PresetColour(3), 0xFF00FF00u);
    EXPECT_EQ(PanelOf(*m_keyboard).PresetColour(99), 0u);
}

TEST(ColourEdit, ParsesLeadingDigitsSafely) {
    EXPECT_EQ(ParseColourEdit("300").value, 255);
    EXPECT_EQ(ParseColourEdit("300").rewrite, "255");
    EXPECT_EQ(ParseColourEdit("").value, 0);
    EXPECT_EQ(ParseColourEdit("").rewrite, "0");
    EXPECT_EQ(ParseColourEdit("12ab").value, 12);
    EXPECT_FALSE(ParseColourEdit("12ab").rewrite);
    EXPECT_EQ(ParseColourEdit("abc").value, 0);
    EXPECT_FALSE(ParseColourEdit("abc").rewrite) << "left as typed";
    EXPECT_EQ(ParseColourEdit("-5").value, 0) << "not 251";
    EXPECT_EQ(ParseColourEdit("-5").rewrite, "0");
    EXPECT_EQ(ParseColourEdit("99999999999999999999").value, 255);
    EXPECT_EQ(ParseColourEdit("255").value, 255);
    EXPECT_FALSE(ParseColourEdit("255").rewrite);
}

TEST_F(LightPanel, ColourEditsClampStoreAndClearMultiColor) {
    LightInfoRecord record;
    record.selectItem = 19; // its colour edits show even while the colours cycle
    record.multiColor = 1;
    record.red = 10;
    SetRecord(*m_keyboard, record);
    PanelOf(*m_keyboard).ShowLightInfo(record);
    SetSynchronised(*m_keyboard, true);

    ui::Control& green = Control(*m_keyboard, CLightControlUI::kEditGreen);
    ui::Control& blue = Control(*m_keyboard, CLightControlUI::kEditBlue);
    ASSERT_TRUE(m_user.Type(green, "300"));
    ASSERT_TRUE(m_user.Focus(blue)); // killfocus of the green edit
    EXPECT_EQ(green.Text(), "255");
    EXPECT_EQ(m_keyboard->State().LightRecord().green, 255);
    EXPECT_EQ(m_keyboard->State().LightRecord().multiColor, 0);
    EXPECT_FALSE(IsSynchronised(*m_keyboard));
    EXPECT_FALSE(SelectableOf(Control(*m_keyboard, CLightControlUI::kSevenColorCheck)).IsSelected());
    EXPECT_EQ(Control(*m_keyboard, CLightControlUI::kSwatch).BackgroundColour(), 0xFF0AFF00u);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"kb:SetLightInfo", "kb:Save", "kb:Apply", "kb:Send"}));
    EXPECT_EQ(m_keyboard->lastSend, (std::vector<int>{0, 0, 1, 1920, 1080}));

    ASSERT_TRUE(m_user.Type(blue, ""));
    ASSERT_TRUE(m_user.Focus(green));
    EXPECT_EQ(blue.Text(), "0");
    EXPECT_EQ(m_keyboard->State().LightRecord().blue, 0);
}

TEST_F(LightPanel, PaletteAndPresetsSetTheColourPresetsKeepTheGroup) {
    PanelOf(*m_keyboard).SelectMode(1); // mode 0 disables the colour groups
    SetSynchronised(*m_keyboard, true);
    ASSERT_TRUE(m_user.Click(HostWindow(), "color_option_5"));
    EXPECT_EQ(m_keyboard->State().LightRecord().blue, 255);
    EXPECT_EQ(m_keyboard->State().LightRecord().red, 0);
    EXPECT_TRUE(IsSynchronised(*m_keyboard)) << "a preset colour leaves the group as it is";
    EXPECT_EQ(PanelOf(*m_keyboard).PaletteColour(), 0xFF0000FFu);
    EXPECT_EQ(Control(*m_keyboard, CLightControlUI::kEditBlue).Text(), "255");

    ASSERT_TRUE(m_user.PickColour(Control(*m_keyboard, CLightControlUI::kPalette), 0xFF804020));
    EXPECT_EQ(m_keyboard->State().LightRecord().red, 0x80);
    EXPECT_EQ(m_keyboard->State().LightRecord().green, 0x40);
    EXPECT_EQ(m_keyboard->State().LightRecord().blue, 0x20);
    EXPECT_FALSE(IsSynchronised(*m_keyboard));
    EXPECT_EQ(Control(*m_keyboard, CLightControlUI::kSwatch).BackgroundColour(), 0xFF804020u);
    EXPECT_EQ(Control(*m_keyboard, CLightControlUI::kEditRed).Text(), "128");
}

TEST_F(LightPanel, SlidersChecksAndCombosCommitTheirByte) {
    PanelOf(*m_keyboard).SelectMode(1);
    ASSERT_TRUE(m_user.StepSlider(Control(*m_keyboard, CLightControlUI::kBrightnessSlider), 2));
    ASSERT_TRUE(m_user.StepSlider(Control(*m_keyboard, CLightControlUI::kSpeedSlider), 4));
    ASSERT_TRUE(m_user.Click(Control(*m_keyboard, CLightControlUI::kLeftCheck)));
    ASSERT_TRUE(m_user.Click(Control(*m_keyboard, CLightControlUI::kSevenColorCheck)));
    LightInfoRecord record = m_keyboard->State().LightRecord();
    EXPECT_EQ(record.light, 2);
    EXPECT_EQ(record.speed, 4);
    EXPECT_EQ(record.fx, 1);
    EXPECT_EQ(record.multiColor, 1);
    // Clicking the other side moves the direction; clicking the same side again keeps it.
    ASSERT_TRUE(m_user.Click(Control(*m_keyboard, CLightControlUI::kRightCheck)));
    EXPECT_EQ(m_keyboard->State().LightRecord().fx, 0);
    ASSERT_TRUE(m_user.Click(Control(*m_keyboard, CLightControlUI::kRightCheck)));
    EXPECT_EQ(m_keyboard->State().LightRecord().fx, 0);
    EXPECT_TRUE(SelectableOf(Control(*m_keyboard, CLightControlUI::kRightCheck)).IsSelected());

    PanelOf(*m_keyboard).SelectMode(17);
    SetSynchronised(*m_keyboard, true);
    ASSERT_TRUE(m_user.ChooseItem(Control(*m_keyboard, CLightControlUI::kZzccCombo), 3));
    EXPECT_EQ(m_keyboard->State().LightRecord().ledMode, 3);
    EXPECT_TRUE(IsSynchronised(*m_keyboard)) << "the sub-effect leaves the group as it is";
}

TEST_F(LightPanel, NotificationsOfAnotherDevicesPanelAreNotRouted) {
    LoggedDevice& mouse = AddDevice(DeviceKind::Mouse, "ms");
    TakeLog();
    ui::Notification n{ui::kNotifyValueChanged, &Control(mouse, CLightControlUI::kBrightnessSlider)};
    EXPECT_FALSE(m_router->Route(n)) << "the keyboard is selected";
    m_selected = nullptr;
    n.sender = &Control(*m_keyboard, CLightControlUI::kBrightnessSlider);
    EXPECT_FALSE(m_router->Route(n)) << "no selected device";
    EXPECT_TRUE(TakeLog().empty());
}

TEST_F(LightPanel, SameModeButtonNeedsTwoDevicesOnline) {
    CLightControlUI& panel = PanelOf(*m_keyboard);
    m_sameMode->DeviceListRefreshed(1);
    for (int mode = 0; mode < 32; ++mode) {
        panel.SelectMode(mode);
        EXPECT_FALSE(Shown(CLightControlUI::kSameModeButton)) << mode;
    }
    m_sameMode->DeviceListRefreshed(2);
    for (int mode = 0; mode < 32; ++mode) {
        panel.SelectMode(mode);
        const bool offered = mode == 4 || mode == 5 || mode == 6 || mode == 23 || mode == 28;
        EXPECT_EQ(Shown(CLightControlUI::kSameModeButton), offered) << mode;
    }
    SetSynchronised(*m_keyboard, true);
    m_sameMode->DeviceListRefreshed(1);
    EXPECT_FALSE(Shown(CLightControlUI::kSameModeButton));
    EXPECT_FALSE(IsSynchronised(*m_keyboard)) << "the group ends with the second device";
}

} // namespace
} // namespace velkor::test
