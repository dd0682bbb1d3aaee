// Each notification type is raised by the user action it stands for, on real
// widgets: clicks, option and check box changes, combo and list choices, slider
// drags and steps, typing and focus changes, drag selection, timers, resizing.
#include "QtTestSupport.h"
#include "ui/ControlClasses.h"
#include "ui/FamilyAccess.h"
#include "ui/UiTestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

namespace velkor::ui {
namespace {

using test::ListOf;
using test::RangeOf;
using test::Recorder;
using test::Seen;
using test::SelectableOf;
using test::TestToolkit;
using Types = std::vector<std::string>;

class QtNotification : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        m_window = TestToolkit().CreateWindow(
            WindowOptions{"test/controls.ui", "TestWnd", nullptr, &m_handler}, &error);
        ASSERT_NE(m_window, nullptr) << error;
        m_window->BringToFront();
        ASSERT_TRUE(QTest::qWaitForWindowActive(WidgetOf(*m_window)));
        QCoreApplication::processEvents(); // windowinit, and the first control taking the focus
        m_handler.Clear();
    }
    QWidget* Widget(std::string_view name) {
        Control* control = m_window->FindControl(name);
        EXPECT_NE(control, nullptr) << name;
        return control != nullptr ? WidgetOf(*control) : nullptr;
    }
    Control& Find(std::string_view name) { return *m_window->FindControl(name); }

    Recorder m_handler;
    std::unique_ptr<Window> m_window;
};

TEST_F(QtNotification, ButtonClickRaisesClick) {
    QTest::mouseClick(Widget("confirm_btn"), Qt::LeftButton);
    QTest::mouseClick(Widget("cancel_btn"), Qt::LeftButton); // disabled: nothing
    EXPECT_EQ(m_handler.Types({"click"}), (Types{"click:confirm_btn"}));
}

TEST_F(QtNotification, MousePressMovesTheFocusFirst) {
    Widget("value_edit")->setFocus(Qt::TabFocusReason);
    m_handler.Clear();
    QWidget* option = Widget("mode_option_2");
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
    EXPECT_EQ(m_handler.Types(),
              (Types{"killfocus:value_edit", "setfocus:mode_option_2", "selectchanged:mode_option_1",
                     "selectchanged:mode_option_2", "click:mode_option_2"}));
    m_handler.Clear();
    QTest::mouseClick(Widget("key_1"), Qt::LeftButton);
    EXPECT_EQ(m_handler.Types(), (Types{"click:key_1"})) << "key buttons take no focus";
}

TEST_F(QtNotification, OptionClickRaisesSelectChangedForBothThenClick) {
    QWidget* option = Widget("mode_option_2");
    const Types kinds{"selectchanged", "click"};
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
    EXPECT_EQ(m_handler.Types(kinds),
              (Types{"selectchanged:mode_option_1", "selectchanged:mode_option_2", "click:mode_option_2"}));
    EXPECT_TRUE(SelectableOf(Find("mode_option_2")).IsSelected());
    m_handler.Clear();
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
    EXPECT_EQ(m_handler.Types(kinds), (Types{"click:mode_option_2"}));
}

TEST_F(QtNotification, CheckBoxClickToggles) {
    QWidget* check = Widget("sync_check");
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
    EXPECT_EQ(m_handler.Types({"selectchanged", "click"}),
              (Types{"selectchanged:sync_check", "click:sync_check"}));
    EXPECT_TRUE(SelectableOf(Find("sync_check")).IsSelected());
}

TEST_F(QtNotification, ProgrammaticSelectionNotifiesOnlyWhenAsked) {
    SelectableOf(Find("mode_option_0")).SetSelected(true, false);
    ListOf(Find("profile_combo")).SelectItem(2, false);
    EXPECT_TRUE(m_handler.All().empty());
    SelectableOf(Find("mode_option_0")).SetSelected(false);
    ListOf(Find("profile_combo")).SelectItem(1);
    EXPECT_EQ(m_handler.All(), (std::vector<Seen>{{"selectchanged", "mode_option_0", 0, 0},
                                                  {"itemselect", "profile_combo", 1, 2}}));
    EXPECT_FALSE(SelectableOf(Find("mode_option_0")).IsSelected()) << "an option of a group can be cleared";
}

TEST_F(QtNotification, ComboItemPickedByTheUserRaisesItemSelect) {
    auto* combo = qobject_cast<QComboBox*>(Widget("profile_combo"));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(m_handler.Only({"itemselect"}), (std::vector<Seen>{{"itemselect", "profile_combo", 1, 0}}));
    EXPECT_EQ(ListOf(Find("profile_combo")).SelectedIndex(), 1);
}

TEST_F(QtNotification, ListRowClickRaisesItemSelectThenItemClick) {
    auto* list = qobject_cast<QListWidget*>(Widget("macro_list"));
    const QPoint row = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
    EXPECT_EQ(m_handler.Only({"itemselect", "itemclick"}),
              (std::vector<Seen>{{"itemselect", "macro_list", 1, -1},
                                 {"itemclick", "macro_list", 1, 0},
                                 {"itemclick", "macro_list", 1, 0}}));
}

TEST_F(QtNotification, SliderDragMovesThenReleases) {
    auto* slider = qobject_cast<QSlider*>(Widget("light_slider"));
    ASSERT_EQ(slider->value(), 2);
    const int y = slider->height() / 2;
    test::Press(slider, QPoint(slider->width() / 2, y)); // the handle sits in the middle at 2 of 0..4
    ASSERT_TRUE(slider->isSliderDown());
    test::MoveHeld(slider, QPoint(slider->width() * 3 / 4, y));
    test::MoveHeld(slider, QPoint(slider->width() - 2, y));
    test::Release(slider, QPoint(slider->width() - 2, y));
    EXPECT_EQ(m_handler.Only({"movevaluechanged", "valuechanged"}),
              (std::vector<Seen>{{"movevaluechanged", "light_slider", 3, 0},
                                 {"movevaluechanged", "light_slider", 4, 0},
                                 {"valuechanged", "light_slider", 4, 0}}));
}

TEST_F(QtNotification, SliderStepWithTheKeyboardRaisesValueChanged) {
    QWidget* slider = Widget("light_slider");
    slider->setFocus();
    m_handler.Clear();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(m_handler.Types({"valuechanged", "movevaluechanged"}), (Types{"valuechanged:light_slider"}));
    EXPECT_EQ(RangeOf(Find("light_slider")).Value(), 3);
}

TEST_F(QtNotification, TypingAndFocusLoss) {
    auto* edit = qobject_cast<QLineEdit*>(Widget("value_edit"));
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    QTest::keyClicks(edit, "12");
    Widget("other_edit")->setFocus(Qt::TabFocusReason);
    Types edits;
    for (const std::string& seen : m_handler.Types({"setfocus", "killfocus", "textchanged"})) {
        if (seen.ends_with("value_edit") || seen.ends_with("other_edit")) {
            edits.push_back(seen); // the control that had the focus before may report too
        }
    }
    EXPECT_EQ(edits, (Types{"setfocus:value_edit", "textchanged:value_edit", "textchanged:value_edit",
                            "killfocus:value_edit", "setfocus:other_edit"}));
    EXPECT_EQ(Find("value_edit").Text(), "12");
}

TEST_F(QtNotification, DragSelectionOverKeysRaisesSelectEnd) {
    Control& panel = Find("key_panel");
    QWidget* panelWidget = WidgetOf(panel);
    // From free space below the keys up over key_1 and key_2.
    test::Press(panelWidget, QPoint(60, 75));
    test::MoveHeld(panelWidget, QPoint(80, 40));
    test::MoveHeld(panelWidget, QPoint(100, 30));
    test::Release(panelWidget, QPoint(100, 30));
    Types selected;
    for (Control* key : panel.FindAllOfClass(kDeviceKeyButtonClass)) {
        if (SelectableOf(key).IsSelected()) {
            selected.push_back(key->Name());
        }
    }
    EXPECT_EQ(selected, (Types{"key_1", "key_2", "light_0"}));
    EXPECT_EQ(m_handler.Only({"click_select_end", "click"}),
              (std::vector<Seen>{{"click_select_end", "key_panel", 3, 0}}));
}

TEST_F(QtNotification, DragStartingOnAKeyIsNoClick) {
    QWidget* key = Widget("key_0");
    test::Press(key, QPoint(10, 10));
    test::MoveHeld(key, QPoint(60, 20)); // across into key_1
    test::Release(key, QPoint(60, 20));
    EXPECT_EQ(m_handler.Types({"click_select_end", "click"}), (Types{"click_select_end:key_panel"}));
    EXPECT_TRUE(SelectableOf(Find("key_0")).IsSelected());
    EXPECT_TRUE(SelectableOf(Find("key_1")).IsSelected());
    EXPECT_FALSE(SelectableOf(Find("key_2")).IsSelected());
    m_handler.Clear();
    QTest::mouseClick(Widget("key_2"), Qt::LeftButton);
    EXPECT_EQ(m_handler.Types({"click_select_end", "click"}), (Types{"click:key_2"}))
        << "a plain press and release stays a click";
}

TEST_F(QtNotification, ControlTimerRaisesTimerUntilKilled) {
    Control& badge = Find("badge");
    ASSERT_TRUE(badge.SetTimer(1000, 1));
    test::ProcessUntil([&] { return m_handler.Types({"timer"}).size() >= 2; });
    EXPECT_EQ(m_handler.Types({"timer"})[0], "timer:badge");
    for (const Seen& seen : m_handler.All()) {
        if (seen.type == "timer") {
            EXPECT_EQ(seen.wParam, 1000);
        }
    }
    EXPECT_TRUE(badge.KillTimer(1000));
    EXPECT_FALSE(badge.KillTimer(1000));
    EXPECT_FALSE(badge.SetTimer(2, 0));
}

TEST_F(QtNotification, ResizeRaisesWindowSize) {
    WidgetOf(*m_window)->resize(700, 500);
    WidgetOf(*m_window)->resize(700, 500);
    EXPECT_EQ(m_handler.Only({"windowsize"}), (std::vector<Seen>{{"windowsize", "root", 700, 500}}));
}

TEST_F(QtNotification, DestroyedWindowRaisesNothingMore) {
    Control& badge = Find("badge");
    badge.SetTimer(1, 1);
    QPointer<QWidget> button = Widget("confirm_btn");
    m_window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(button.isNull());
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_handler.All().empty());
}

// Shown is not yet seen: a window is on screen once the platform has exposed
// it, and the handler hears of every change (shown, minimised, hidden).
TEST(QtWindowOnScreen, FollowsTheExposureAndEveryChangeIsTold) {
    struct Watcher : WindowHandler {
        void Notify(const Notification&) override {}
        void ShownChanged(Window& window) override { told.push_back(window.IsOnScreen()); }
        std::vector<bool> told;
    } watcher;
    std::string error;
    std::unique_ptr<Window> window =
        TestToolkit().CreateWindow(WindowOptions{"test/controls.ui", "TestWnd", nullptr, &watcher}, &error);
    ASSERT_NE(window, nullptr) << error;
    EXPECT_FALSE(window->IsOnScreen());
    const auto toldNow = [&](bool onScreen) {
        return QTest::qWaitFor([&] { return !watcher.told.empty() && watcher.told.back() == onScreen; },
                               5000) &&
               window->IsOnScreen() == onScreen;
    };
    window->Show();
    EXPECT_TRUE(toldNow(true));
    window->Minimize();
    EXPECT_TRUE(toldNow(false));
    EXPECT_TRUE(window->IsVisible());
    window->Restore();
    EXPECT_TRUE(toldNow(true));
    window->Hide();
    EXPECT_TRUE(toldNow(false));
}

} // namespace
} // namespace velkor::ui
