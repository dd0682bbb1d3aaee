// The key assignment panel on the shipped layout, under the in-memory
// toolkit: what a stored function opens as, what the panel builds back,
// key capture and the routing of its buttons.
#include "keys/CKeySetControlUI.h"
#include "keys/KeySetPanelRouter.h"
#include "ui/Control.h"
#include "ui/FamilyAccess.h"
#include "ui/Notification.h"
#include "ui/memory/MemoryToolkit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <linux/input-event-codes.h>

#include "keys/EvdevKeys.h"

namespace velkor {
namespace {

using ui::test::ListOf;
using ui::test::PagesOf;

std::string SkinFolder() {
    const std::filesystem::path here = std::filesystem::path(__FILE__).lexically_normal();
    return (here.parent_path().parent_path().parent_path() / "skin").string();
}

class PanelCreator final : public ui::ControlCreator {
public:
    bool CanCreate(std::string_view className) const override { return className == "KeySetControl"; }
    void ControlCreated(std::string_view, ui::Control&) override {}
};

class Names final : public ui::TextProvider {
public:
    std::optional<std::string> Text(std::string_view key) const override {
        if (key.starts_with("keyboard_key_")) {
            return "<" + std::string(key.substr(13)) + ">";
        }
        return std::nullopt;
    }
};

KeyFunction F(int category, int a, int b) {
    return KeyFunction::FromTriple(uint8_t(category), uint8_t(a), uint8_t(b));
}

class KeySetPanel : public ::testing::Test {
public:
    void SetUp() override {
        std::string error;
        m_toolkit = ui::MemoryToolkit::Create(SkinFolder(), m_clock, &error);
        ASSERT_TRUE(m_toolkit) << error;
        m_toolkit->SetTextProvider(&m_names);
        m_window = m_toolkit->CreateWindow(ui::WindowOptions{"XML\\CustomControlXML\\KeySetControl.xml",
                                                             "KeySetWnd", nullptr, nullptr, &m_creator},
                                           &error);
        ASSERT_TRUE(m_window) << error;
        m_panel = std::make_unique<CKeySetControlUI>(m_window->Root());
        ASSERT_TRUE(m_panel->Bound());
    }
    ui::Control& C(std::string_view name) {
        ui::Control* control = m_window->FindControl(name);
        EXPECT_NE(control, nullptr) << name;
        return *control;
    }
    // Selects the function-list item of `page`.
    void ChoosePage(int page) {
        ui::ListControl& combo = ListOf(C(CKeySetControlUI::kFunctionCombo));
        for (int i = 0; i < combo.ItemCount(); ++i) {
            if (combo.ItemUserData(i) == std::to_string(page)) {
                combo.SelectItem(i, false);
            }
        }
        m_panel->ShowChosenPage();
    }

    ui::ManualClock m_clock;
    Names m_names;
    PanelCreator m_creator;
    std::unique_ptr<ui::MemoryToolkit> m_toolkit;
    std::unique_ptr<ui::Window> m_window;
    std::unique_ptr<CKeySetControlUI> m_panel;
};

// A stored function opens on a page; saving it without a change gives `built`.
// A setup step may change the panel in between (type into an edit, select).
struct ShowBuildCase {
    const char* name;
    DeviceClass kind;
    KeyFunction current;
    KeyFunction standard;
    int macros;
    int page; // -1: the editor hides
    KeyFunction built;
    std::function<void(KeySetPanel&)> edit;
};

class ShowAndBuild : public KeySetPanel, public ::testing::WithParamInterface<ShowBuildCase> {};

TEST_P(ShowAndBuild, OpensOnItsPageAndBuildsBack) {
    const ShowBuildCase& c = GetParam();
    m_panel->SetDeviceKind(c.kind);
    std::vector<std::string> names;
    for (int i = 0; i < c.macros; ++i) {
        names.push_back("m" + std::to_string(i));
    }
    m_panel->FillMacroList(names);
    m_panel->EditKey(c.current, c.standard);
    if (c.page < 0) {
        EXPECT_FALSE(C(CKeySetControlUI::kLayout).IsVisible());
        return;
    }
    EXPECT_TRUE(C(CKeySetControlUI::kLayout).IsVisible());
    EXPECT_EQ(m_panel->SelectedPage(), c.page);
    EXPECT_EQ(PagesOf(C(CKeySetControlUI::kPages)).CurrentPage(), c.page);
    if (c.edit) {
        c.edit(*this);
    }
    const KeyListEntry entry = m_panel->Build();
    EXPECT_TRUE(entry.current.SameFunction(c.built))
        << std::hex << int(entry.current.category) << " " << int(entry.current.paramA) << " "
        << int(entry.current.paramB);
    EXPECT_EQ(entry.current.code, 0);
    EXPECT_TRUE(entry.defaultFunction.SameFunction(c.standard));
}

const KeyFunction kKeyA = F(0x20, 0, 0x04);

INSTANTIATE_TEST_SUITE_P(
    Cases, ShowAndBuild,
    ::testing::Values(
        ShowBuildCase{"CurrentEqualsDefaultOpensOnPage0", DeviceClass::Mouse, F(0x10, 1, 0), F(0x10, 1, 0), 0, 0,
                      F(0x10, 1, 0)},
        ShowBuildCase{"RightShiftShowsShiftAndSavesLeftShift", DeviceClass::Keyboard, F(0x20, 0x20, 0x04), kKeyA, 0, 6,
                      F(0x20, 0x02, 0x04), [](KeySetPanel& t) { EXPECT_EQ(t.m_panel->ModifierOption(), 2); }},
        ShowBuildCase{"CtrlCSelectsFifthShortcut", DeviceClass::Keyboard, F(0x20, 0x10, 0x06), kKeyA, 0, 11, F(0x20, 0x10, 0x06),
                      [](KeySetPanel& t) { EXPECT_EQ(ListOf(t.C("keyset_combokey_combo")).SelectedIndex(), 4); }},
        // Nothing selected on a table page: the key keeps what it has.
        ShowBuildCase{"CtrlQOpensShortcutPageWithNothingSelectedAndKeepsIt", DeviceClass::Keyboard, F(0x20, 0x10, 0x14), kKeyA, 0,
                      11, F(0x20, 0x10, 0x14),
                      [](KeySetPanel& t) { EXPECT_EQ(ListOf(t.C("keyset_combokey_combo")).SelectedIndex(), -1); }},
        ShowBuildCase{"TwoModifierBitsShowOption0AndAreDropped", DeviceClass::Keyboard, F(0x20, 0x03, 0x05), kKeyA, 0, 6,
                      F(0x20, 0, 0x05),
                      [](KeySetPanel& t) {
                          EXPECT_EQ(t.m_panel->ModifierOption(), 0);
                          EXPECT_EQ(t.m_panel->KeyText(), "<B>");
                      }},
        ShowBuildCase{"KeyboardHasNoDpiPage", DeviceClass::Keyboard, F(0x13, 1, 0), kKeyA, 0, -1, {}},
        ShowBuildCase{"MKeyHidesTheEditor", DeviceClass::Keyboard, F(0xD0, 0xA2, 1), kKeyA, 0, -1, {}},
        ShowBuildCase{"MouseDpiPage", DeviceClass::Mouse, F(0x13, 2, 0), F(0x10, 1, 0), 0, 4, F(0x13, 2, 0)},
        ShowBuildCase{"SwingSecondDirection", DeviceClass::Mouse, F(0x11, 0x35, 0x85), F(0x10, 1, 0), 0, 2,
                      F(0x11, 0x35, 0x85),
                      [](KeySetPanel& t) { EXPECT_EQ(t.C("keyset_mouseswing_num_edit").Text(), "5"); }},
        ShowBuildCase{"WheelSecondDirection", DeviceClass::Mouse, F(0x12, 0x00, 0xFB), F(0x10, 1, 0), 0, 3, F(0x12, 0, 0xFB),
                      [](KeySetPanel& t) { EXPECT_EQ(t.C("keyset_mousewheel_num_edit").Text(), "5"); }},
        // Out-of-range edits are clamped and shown clamped, not masked.
        ShowBuildCase{
            "SwingCount200IsClampedTo127", DeviceClass::Mouse, F(0x11, 0, 1), F(0x10, 1, 0), 0, 2, F(0x11, 0x0F, 0x7F),
            [](KeySetPanel& t) {
                t.C("keyset_mouseswing_num_edit").SetText("200");
                t.C("keyset_mouseswing_speed_edit").SetText("16");
                t.m_panel->Build();
                EXPECT_EQ(t.C("keyset_mouseswing_num_edit").Text(), "127");
                EXPECT_EQ(t.C("keyset_mouseswing_speed_edit").Text(), "15");
            }},
        ShowBuildCase{"RapidFireDigitsOnly", DeviceClass::Mouse, F(0x14, 1, 1), F(0x10, 1, 0), 0, 5, F(0x14, 30, 0xFF),
                      [](KeySetPanel& t) {
                          t.C("keyset_mousefire_interval_edit").SetText("30ms");
                          t.C("keyset_mousefire_num_edit").SetText("99999999999999");
                      }},
        ShowBuildCase{"MacroIndexBelowCount", DeviceClass::Mouse, F(0x70, 1, 2), F(0x10, 1, 0), 2, 9, F(0x70, 1, 2)},
        // An index equal to the count names no macro: nothing selected, kept.
        ShowBuildCase{
            "MacroIndexEqualToCountSelectsNothing", DeviceClass::Mouse, F(0x71, 2, 3), F(0x10, 1, 0), 2, 9, F(0x71, 2, 3),
            [](KeySetPanel& t) {
                EXPECT_EQ(ListOf(t.C("keyset_macro_combo")).SelectedIndex(), -1);
                EXPECT_FALSE(t.C("keyset_macro_cycle_layout").IsVisible());
            }},
        ShowBuildCase{"MacroRepeatShowsCycleRow", DeviceClass::Mouse, F(0x71, 0, 7), F(0x10, 1, 0), 1, 9, F(0x71, 0, 9),
                      [](KeySetPanel& t) {
                          EXPECT_TRUE(t.C("keyset_macro_cycle_layout").IsVisible());
                          t.C("keyset_macro_cycle_edit").SetText("9");
                      }},
        ShowBuildCase{"GunKeyNothingSelectedKeeps", DeviceClass::Mouse, F(0x72, 200, 0), F(0x10, 1, 0), 0, 10,
                      F(0x72, 200, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeySetPanel, PlayMode4ShowsTheRepeatRowOthersHideIt) {
    m_panel->SetDeviceKind(DeviceClass::Mouse);
    ChoosePage(kPageMacro);
    for (int mode = 0; mode <= 4; ++mode) {
        ListOf(C(CKeySetControlUI::kPlayModeCombo)).SelectItem(mode, false);
        m_panel->ShowPlayModeRow();
        EXPECT_EQ(C("keyset_macro_cycle_layout").IsVisible(), mode == 4) << mode;
    }
}

// Capture: left Alt, then A; a release in between changes nothing.
TEST_F(KeySetPanel, CaptureAltThenAKeepsAltAndIgnoresReleases) {
    m_panel->SetDeviceKind(DeviceClass::Keyboard);
    std::vector<KeyFunction> stored;
    KeySetHooks hooks;
    hooks.storeEntry = [&](const KeyListEntry& entry) { stored.push_back(entry.current); };
    KeySetPanelRouter router(*m_panel, std::move(hooks));
    m_panel->EditKey(kKeyA, kKeyA);
    ChoosePage(kPageKeyboard);
    const auto scan = [](uint16_t code) { return *ScanCodeFromEvdev(code); };

    ASSERT_TRUE(router.TakeCapturedKey(scan(KEY_LEFTALT), true));
    EXPECT_EQ(m_panel->ModifierOption(), 3);
    EXPECT_EQ(m_panel->KeyText(), "");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_TRUE(stored.back().SameFunction(F(0x20, 0x04, 0)));

    ASSERT_TRUE(router.TakeCapturedKey(scan(KEY_A), true));
    EXPECT_EQ(m_panel->KeyText(), "<A>");
    EXPECT_FALSE(router.TakeCapturedKey(scan(KEY_A), false));
    EXPECT_FALSE(router.TakeCapturedKey(scan(KEY_LEFTALT), false));
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_TRUE(stored.back().SameFunction(F(0x20, 0x04, 0x04)));
    EXPECT_TRUE(router.SavingEnabled());
    EXPECT_TRUE(C(CKeySetControlUI::kWriteButton).IsEnabled());
}

// The write button: 0 and -1 end the pending state, n > 0 keeps it.
TEST_F(KeySetPanel, WriteResultsDecideThePendingMark) {
    m_panel->SetDeviceKind(DeviceClass::Mouse);
    bool pending = false;
    int nextResult = 0;
    KeySetHooks hooks;
    hooks.pendingChanged = [&](bool p) { pending = p; };
    hooks.writeAllKeys = [&](std::function<void(int)> done) {
        done(nextResult);
        return true;
    };
    KeySetPanelRouter router(*m_panel, std::move(hooks));
    for (const int result : {0, -1, 5}) {
        router.SaveKey();
        ASSERT_TRUE(pending);
        nextResult = result;
        ASSERT_TRUE(router.WriteAllKeys());
        EXPECT_EQ(pending, result > 0) << result;
        EXPECT_EQ(C(CKeySetControlUI::kSaveButton).IsEnabled(), result > 0) << result;
    }
}

TEST_F(KeySetPanel, OtherKindsTakeNoAction) {
    m_panel->SetDeviceKind(DeviceClass::MousePad);
    int stores = 0;
    KeySetHooks hooks;
    hooks.storeEntry = [&](const KeyListEntry&) { ++stores; };
    KeySetPanelRouter router(*m_panel, std::move(hooks));
    ui::Notification click;
    click.type = ui::kNotifyClick;
    click.sender = &C(CKeySetControlUI::kSaveButton);
    EXPECT_TRUE(router.Route(click));
    EXPECT_FALSE(router.TakeCapturedKey(*ScanCodeFromEvdev(KEY_A), true));
    EXPECT_EQ(stores, 0);
}

} // namespace
} // namespace velkor
