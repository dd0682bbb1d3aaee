// Notifications, timers, modal runs and the loop of the in-memory toolkit:
// what the logic sees when a user acts, in the order the Qt toolkit gives it.
#include "UiTestSupport.h"
#include "ui/ControlClasses.h"
#include "ui/FamilyAccess.h"
#include "ui/memory/MemoryShell.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryUser.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace velkor::ui {
namespace {

using test::ListOf;
using test::MapTextProvider;
using test::RangeOf;
using test::Recorder;
using test::Seen;
using test::SelectableOf;
using test::SkinFolder;
using Types = std::vector<std::string>;

class MemoryInteraction : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        m_toolkit = MemoryToolkit::Create(SkinFolder(), m_clock, &error);
        ASSERT_NE(m_toolkit, nullptr) << error;
        m_window = m_toolkit->CreateWindow(WindowOptions{"test/controls.ui", "TestWnd", nullptr, &m_handler},
                                           &error);
        ASSERT_NE(m_window, nullptr) << error;
        m_toolkit->ProcessPending(); // windowinit
        m_window->Show();
        m_handler.Clear();
    }
    Control& Find(std::string_view name) {
        Control* control = m_window->FindControl(name);
        EXPECT_NE(control, nullptr) << name;
        return *control;
    }

    ManualClock m_clock;
    std::unique_ptr<MemoryToolkit> m_toolkit;
    Recorder m_handler;
    std::unique_ptr<Window> m_window;
    MemoryUser m_user;
};

TEST_F(MemoryInteraction, WindowInitArrivesOnceFromTheLoop) {
    Recorder handler;
    auto window = m_toolkit->CreateWindow(WindowOptions{"XML_MSG", "MsgWnd", nullptr, &handler});
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(handler.All().empty()) << "not during creation";
    m_toolkit->ProcessPending();
    m_toolkit->ProcessPending();
    EXPECT_EQ(handler.Types(), (Types{"windowinit:root"}));
}

TEST_F(MemoryInteraction, WindowInitOfADestroyedWindowIsDropped) {
    Recorder handler;
    auto window = m_toolkit->CreateWindow(WindowOptions{"XML_MSG", "MsgWnd", nullptr, &handler});
    window.reset();
    EXPECT_EQ(m_toolkit->ProcessPending(), 1);
    EXPECT_TRUE(handler.All().empty());
}

TEST_F(MemoryInteraction, ButtonClickReachesHandlerThenReceiversInOrder) {
    Recorder first;
    Recorder second;
    m_window->AddNotifier(first);
    m_window->AddNotifier(second);
    m_window->AddNotifier(first); // once only
    ASSERT_TRUE(m_user.Click(*m_window, "confirm_btn"));
    EXPECT_EQ(m_handler.Types(), (Types{"setfocus:confirm_btn", "click:confirm_btn"}));
    EXPECT_EQ(first.Types(), m_handler.Types());
    EXPECT_EQ(second.Types(), m_handler.Types());
    m_window->RemoveNotifier(first);
    m_user.Click(*m_window, "confirm_btn");
    EXPECT_EQ(first.Types({"click"}).size(), 1u);
    EXPECT_EQ(second.Types({"click"}).size(), 2u);
}

TEST_F(MemoryInteraction, AReceiverRemovedDuringDeliveryHearsNoMore) {
    Recorder last;
    struct Remover : NotifyReceiver {
        Window* window = nullptr;
        NotifyReceiver* victim = nullptr;
        void Notify(const Notification&) override { window->RemoveNotifier(*victim); }
    } remover;
    remover.window = m_window.get();
    remover.victim = &last;
    m_window->AddNotifier(remover);
    m_window->AddNotifier(last);
    m_user.Click(*m_window, "confirm_btn");
    EXPECT_TRUE(last.All().empty());
}

TEST_F(MemoryInteraction, UsersCannotReachHiddenDisabledOrBlockedControls) {
    EXPECT_FALSE(m_user.Click(*m_window, "cancel_btn")) << "disabled";
    EXPECT_FALSE(m_user.Click(*m_window, "hidden_btn")) << "hidden";
    EXPECT_FALSE(m_user.Click(*m_window, "in_page_1_btn")) << "on a tab page not shown";
    EXPECT_FALSE(m_user.Click(*m_window, "title_label")) << "labels do not click";
    EXPECT_FALSE(m_user.Click(*m_window, "missing_btn"));
    m_window->Hide();
    EXPECT_FALSE(m_user.Click(*m_window, "confirm_btn")) << "window hidden";
    EXPECT_TRUE(m_handler.All().empty());
}

TEST_F(MemoryInteraction, MousePressMovesTheFocusFirst) {
    m_user.Focus(Find("value_edit"));
    m_handler.Clear();
    m_user.Click(*m_window, "mode_option_2");
    EXPECT_EQ(m_handler.Types(),
              (Types{"killfocus:value_edit", "setfocus:mode_option_2", "selectchanged:mode_option_1",
                     "selectchanged:mode_option_2", "click:mode_option_2"}));
    m_handler.Clear();
    m_user.Click(*m_window, "key_1");
    EXPECT_EQ(m_handler.Types(), (Types{"click:key_1"})) << "key buttons take no focus";
}

TEST_F(MemoryInteraction, OptionClickRaisesSelectChangedForBothThenClick) {
    ASSERT_TRUE(m_user.Click(*m_window, "mode_option_2"));
    const Types kinds{"selectchanged", "click"};
    EXPECT_EQ(m_handler.Types(kinds),
              (Types{"selectchanged:mode_option_1", "selectchanged:mode_option_2", "click:mode_option_2"}));
    EXPECT_TRUE(SelectableOf(Find("mode_option_2")).IsSelected());
    EXPECT_FALSE(SelectableOf(Find("mode_option_1")).IsSelected());
    m_handler.Clear();
    m_user.Click(*m_window, "mode_option_2");
    EXPECT_EQ(m_handler.Types(kinds), (Types{"click:mode_option_2"})) << "no change, no selectchanged";
}

TEST_F(MemoryInteraction, CheckBoxClickToggles) {
    m_user.Click(*m_window, "sync_check");
    m_user.Click(*m_window, "sync_check");
    EXPECT_EQ(m_handler.Types({"selectchanged", "click"}),
              (Types{"selectchanged:sync_check", "click:sync_check", "selectchanged:sync_check",
                     "click:sync_check"}));
    EXPECT_FALSE(SelectableOf(Find("sync_check")).IsSelected());
}

TEST_F(MemoryInteraction, ProgrammaticChangesNotifyOnlyWhenAsked) {
    SelectableOf(Find("mode_option_0")).SetSelected(true, false);
    ListOf(Find("profile_combo")).SelectItem(2, false);
    RangeOf(Find("light_slider")).SetValue(4);
    Find("value_edit").SetText("1");
    EXPECT_TRUE(m_handler.All().empty());
    SelectableOf(Find("mode_option_2")).SetSelected(true);
    ListOf(Find("profile_combo")).SelectItem(1);
    ListOf(Find("profile_combo")).SelectItem(1);
    EXPECT_EQ(m_handler.All(), (std::vector<Seen>{{"selectchanged", "mode_option_0", 0, 0},
                                                  {"selectchanged", "mode_option_2", 0, 0},
                                                  {"itemselect", "profile_combo", 1, 2}}));
}

TEST_F(MemoryInteraction, ComboAndListChoices) {
    Control& combo = Find("profile_combo");
    ASSERT_TRUE(m_user.ChooseItem(combo, 2));
    m_user.ChooseItem(combo, 2);
    EXPECT_FALSE(m_user.ChooseItem(combo, 3));
    Control& list = Find("macro_list");
    m_user.ChooseItem(list, 1);
    m_user.ChooseItem(list, 1);
    EXPECT_EQ(m_handler.Only({"itemselect", "itemclick"}),
              (std::vector<Seen>{{"itemselect", "profile_combo", 2, 0},
                                 {"itemselect", "macro_list", 1, -1},
                                 {"itemclick", "macro_list", 1, 0},
                                 {"itemclick", "macro_list", 1, 0}}));
    EXPECT_EQ(ListOf(combo).SelectedIndex(), 2);
}

TEST_F(MemoryInteraction, SliderDragMovesThenReleases) {
    Control& slider = Find("light_slider");
    ASSERT_TRUE(m_user.DragSlider(slider, {3, 3, 9}));
    EXPECT_EQ(m_handler.Only({"movevaluechanged", "valuechanged"}),
              (std::vector<Seen>{{"movevaluechanged", "light_slider", 3, 0},
                                 {"movevaluechanged", "light_slider", 4, 0},
                                 {"valuechanged", "light_slider", 4, 0}}));
    m_handler.Clear();
    m_user.StepSlider(slider, 4);
    m_user.StepSlider(slider, 1);
    EXPECT_EQ(m_handler.Only({"movevaluechanged", "valuechanged"}),
              (std::vector<Seen>{{"valuechanged", "light_slider", 1, 0}}));
    EXPECT_FALSE(m_user.DragSlider(Find("battery_progress"), {1})) << "a progress bar is not dragged";
}

TEST_F(MemoryInteraction, TypingAndFocusLoss) {
    Control& edit = Find("value_edit");
    Control& other = Find("other_edit");
    ASSERT_TRUE(m_user.Type(edit, "128"));
    m_user.Focus(other);
    EXPECT_EQ(m_handler.Types(), (Types{"setfocus:value_edit", "textchanged:value_edit",
                                        "killfocus:value_edit", "setfocus:other_edit"}));
    EXPECT_EQ(edit.Text(), "128");
    EXPECT_FALSE(m_user.Type(Find("confirm_btn"), "x"));
}

TEST_F(MemoryInteraction, FocusedControlGoingAwayIsForgotten) {
    ListControl& list = ListOf(Find("macro_list"));
    Control* row = list.InsertItemLayout(-1, "test/row.ui", nullptr);
    ASSERT_NE(row, nullptr);
    ASSERT_TRUE(m_user.Focus(*row->FindChild("row_delay")));
    list.RemoveAllItems();
    m_handler.Clear();
    m_user.Focus(Find("value_edit"));
    EXPECT_EQ(m_handler.Types(), (Types{"setfocus:value_edit"})) << "no killfocus from a destroyed control";
}

TEST_F(MemoryInteraction, DragSelectionMarksTheKeysItMeets) {
    Control& panel = Find("key_panel");
    ASSERT_TRUE(m_user.DragSelect(panel, Point{60, 20}, Point{100, 30}));
    std::vector<std::string> selected;
    for (Control* key : panel.FindAllOfClass(kDeviceKeyButtonClass)) {
        if (SelectableOf(key).IsSelected()) {
            selected.push_back(key->Name());
        }
    }
    EXPECT_EQ(selected, (Types{"key_1", "key_2"}));
    EXPECT_EQ(m_handler.All(), (std::vector<Seen>{{"click_select_end", "key_panel", 2, 0}}));

    // A new drag replaces the selection; a click on empty space clears it.
    m_user.DragSelect(panel, Point{15, 65}, Point{15, 65});
    EXPECT_FALSE(SelectableOf(Find("key_1")).IsSelected());
    EXPECT_TRUE(SelectableOf(Find("light_0")).IsSelected());
    m_user.DragSelect(panel, Point{5, 5}, Point{5, 5});
    EXPECT_FALSE(SelectableOf(Find("light_0")).IsSelected());
    EXPECT_FALSE(m_user.DragSelect(panel, Point{500, 5}, Point{5, 5})) << "press outside the panel";
}

TEST_F(MemoryInteraction, HiddenKeysAreNotDragSelected) {
    Find("key_1").SetVisible(false);
    m_user.DragSelect(Find("key_panel"), Point{0, 0}, Point{199, 79});
    EXPECT_FALSE(SelectableOf(Find("key_1")).IsSelected());
    EXPECT_TRUE(SelectableOf(Find("key_2")).IsSelected());
}

TEST_F(MemoryInteraction, ControlTimerFiresAfterItsTimeOnTheTestClock) {
    Control& badge = Find("badge");
    ASSERT_TRUE(badge.SetTimer(1001, 500));
    EXPECT_EQ(m_toolkit->AdvanceTime(499), 0);
    EXPECT_TRUE(m_handler.All().empty());
    EXPECT_EQ(m_toolkit->AdvanceTime(1), 1);
    EXPECT_EQ(m_handler.All(), (std::vector<Seen>{{"timer", "badge", 1001, 0}}));
    EXPECT_EQ(m_toolkit->AdvanceTime(1000), 2) << "a timer repeats until killed";
    EXPECT_TRUE(badge.KillTimer(1001));
    EXPECT_FALSE(badge.KillTimer(1001));
    EXPECT_EQ(m_toolkit->AdvanceTime(5000), 0);
    EXPECT_FALSE(badge.SetTimer(1, 0));
}

TEST_F(MemoryInteraction, TimersFireInDueOrderAtTheirOwnTime) {
    std::vector<std::pair<int64_t, int64_t>> fired; // (time, id)
    struct Clocked : NotifyReceiver {
        ManualClock* clock;
        std::vector<std::pair<int64_t, int64_t>>* fired;
        void Notify(const Notification& n) override { fired->push_back({clock->NowMs(), n.wParam}); }
    } receiver;
    receiver.clock = &m_clock;
    receiver.fired = &fired;
    m_window->AddNotifier(receiver);
    Find("badge").SetTimer(10, 10);
    Find("confirm_btn").SetTimer(25, 25);
    m_toolkit->AdvanceTime(50);
    EXPECT_EQ(fired, (std::vector<std::pair<int64_t, int64_t>>{
                         {10, 10}, {20, 10}, {25, 25}, {30, 10}, {40, 10}, {50, 25}, {50, 10}}))
        << "timers due together fire in the order they were last armed";
    EXPECT_EQ(m_clock.NowMs(), 50);
}

TEST_F(MemoryInteraction, RestartingATimerMovesItsDueTime) {
    Control& badge = Find("badge");
    badge.SetTimer(7, 100);
    m_toolkit->AdvanceTime(60);
    badge.SetTimer(7, 100);
    EXPECT_EQ(m_toolkit->AdvanceTime(99), 0);
    EXPECT_EQ(m_toolkit->AdvanceTime(1), 1);
    EXPECT_EQ(m_toolkit->RunningTimers(badge), (std::vector<int>{7}));
}

TEST_F(MemoryInteraction, TimersStopWithTheirControl) {
    ListControl& list = ListOf(Find("macro_list"));
    Control* row = list.InsertItemLayout(-1, "test/row.ui", nullptr);
    ASSERT_NE(row, nullptr);
    row->SetTimer(3, 10);
    list.RemoveAllItems();
    EXPECT_EQ(m_toolkit->AdvanceTime(100), 0);
}

TEST_F(MemoryInteraction, TimerHandlerMayKillItsOwnTimer) {
    struct Killer : NotifyReceiver {
        int count = 0;
        void Notify(const Notification& n) override {
            if (n.type == kNotifyTimer) {
                ++count;
                n.sender->KillTimer(int(n.wParam));
            }
        }
    } killer;
    m_window->AddNotifier(killer);
    Find("badge").SetTimer(1, 10);
    m_toolkit->AdvanceTime(100);
    EXPECT_EQ(killer.count, 1);
}

TEST_F(MemoryInteraction, ModalRunReturnsTheCodeItWasClosedWith) {
    struct MessageBox : WindowHandler {
        Window* window = nullptr;
        void Notify(const Notification& n) override {
            if (n.type == kNotifyClick && n.sender->Name() == "confirm_btn") {
                window->Close(1);
            } else if (n.type == kNotifyClick && n.sender->Name() == "cancel_btn") {
                window->Close(0);
            }
        }
    } handler;
    auto box = m_toolkit->CreateWindow(WindowOptions{"XML_MSG", "MsgWnd", m_window.get(), &handler});
    ASSERT_NE(box, nullptr);
    handler.window = box.get();
    bool ownerBlocked = false;
    m_toolkit->SetModalDriver([&](MemoryWindow& modal) {
        ownerBlocked = !m_user.Click(*m_window, "confirm_btn");
        m_user.Click(modal, "confirm_btn");
    });
    EXPECT_EQ(box->ShowModal(), 1);
    EXPECT_TRUE(ownerBlocked) << "the owner takes no input during the modal run";
    EXPECT_FALSE(box->IsVisible());
    EXPECT_FALSE(box->IsModal());
    EXPECT_TRUE(m_user.Click(*m_window, "confirm_btn")) << "and takes it again afterwards";

    m_toolkit->SetModalDriver([&](MemoryWindow& modal) { m_user.Click(modal, "cancel_btn"); });
    EXPECT_EQ(box->ShowModal(), 0);
}

TEST_F(MemoryInteraction, ModalRunKeepsTimersAndPostsGoing) {
    auto box = m_toolkit->CreateWindow(WindowOptions{"XML_MSG", "MsgWnd", m_window.get()});
    ASSERT_NE(box, nullptr);
    // Work sent by another thread and a timer of the main window reach their
    // handlers while the box is open; the box closes on a timer once both came.
    struct Closer : NotifyReceiver {
        Window* box = nullptr;
        std::atomic<bool> sentRan{false};
        int timers = 0;
        void Notify(const Notification& n) override {
            if (n.type == kNotifyTimer && ++timers >= 3 && sentRan) {
                box->Close(7);
            }
        }
    } closer;
    closer.box = box.get();
    m_window->AddNotifier(closer);
    bool sent = false;
    std::thread worker;
    m_toolkit->SetModalDriver([&](MemoryWindow&) {
        Find("badge").SetTimer(1011, 100);
        worker = std::thread([&] { sent = m_toolkit->GetDispatcher().Send([&] { closer.sentRan = true; }); });
    });
    EXPECT_EQ(box->ShowModal(), 7);
    worker.join();
    EXPECT_TRUE(sent);
    EXPECT_GE(m_clock.NowMs(), 300) << "the loop jumped to the timer's due times";
}

TEST_F(MemoryInteraction, CloseRequestAsksTheHandler) {
    struct KeepOpen : WindowHandler {
        bool allow = false;
        void Notify(const Notification&) override {}
        bool CloseRequested(Window&) override { return allow; }
    } handler;
    auto window = m_toolkit->CreateWindow(WindowOptions{"XML_MSG", "MsgWnd", nullptr, &handler});
    window->Show();
    m_user.RequestClose(*window);
    EXPECT_TRUE(window->IsVisible()) << "the main window hides itself instead";
    handler.allow = true;
    m_toolkit->SetModalDriver([&](MemoryWindow& modal) { m_user.RequestClose(modal); });
    EXPECT_EQ(window->ShowModal(), 0);
}

TEST_F(MemoryInteraction, QuitEndsTheLoopAndItsModalRuns) {
    auto box = m_toolkit->CreateWindow(WindowOptions{"XML_MSG", "MsgWnd"});
    int modalCode = 99;
    m_toolkit->GetDispatcher().Post([&] {
        m_toolkit->SetModalDriver([&](MemoryWindow&) { m_toolkit->Quit(5); });
        modalCode = box->ShowModal();
    });
    EXPECT_EQ(m_toolkit->RunLoop(), 5);
    EXPECT_EQ(modalCode, -1);
    // Outside RunLoop a quit does nothing, now or later.
    m_toolkit->Quit(1);
    m_toolkit->SetModalDriver([&](MemoryWindow& modal) {
        m_toolkit->Quit(2);
        modal.Close(3);
    });
    EXPECT_EQ(box->ShowModal(), 3);
}

TEST_F(MemoryInteraction, DpiScalesTheWindowAndItsControls) {
    Control& key = Find("key_1");
    EXPECT_FALSE(m_window->SetDpi(100));
    EXPECT_EQ(m_window->Dpi(), 96);
    ASSERT_TRUE(m_toolkit->SetDpiForAll(144));
    EXPECT_EQ(m_window->Dpi(), 144);
    EXPECT_EQ(key.Geometry(), (Rect{83, 15, 60, 60}));
    EXPECT_EQ(m_window->Geometry().width, 960);
    key.SetGeometry(Rect{30, 30, 60, 60});
    m_window->SetDpi(96);
    EXPECT_EQ(key.Geometry(), (Rect{20, 20, 40, 40})) << "positions set at 144 DPI keep their place";
    EXPECT_FALSE(m_toolkit->SetDpiForAll(200));
}

TEST_F(MemoryInteraction, ResizeRaisesWindowSizeAndCentringUsesTheWorkArea) {
    m_user.Resize(*m_window, 1000, 640);
    m_user.Resize(*m_window, 1000, 640);
    EXPECT_EQ(m_handler.All(), (std::vector<Seen>{{"windowsize", "root", 1000, 640}}));
    m_toolkit->SetScreen(Rect{0, 0, 1600, 1000}, Rect{0, 0, 1600, 960});
    m_window->CenterWindow();
    EXPECT_EQ(m_window->Geometry(), (Rect{300, 160, 1000, 640}));
    EXPECT_EQ(m_window->WorkArea(), (Rect{0, 0, 1600, 960}));
}

TEST_F(MemoryInteraction, WindowStateAndFonts) {
    m_window->Minimize();
    EXPECT_TRUE(m_window->IsMinimized());
    EXPECT_FALSE(m_user.Click(*m_window, "confirm_btn")) << "a minimised window takes no clicks";
    m_window->Restore();
    EXPECT_FALSE(m_window->IsMinimized());
    EXPECT_TRUE(m_window->IsVisible());
    EXPECT_FALSE(m_window->AddFont(-1, FontInfo{"Nightjar", 15}));
    EXPECT_TRUE(m_window->AddFont(2, FontInfo{"Nightjar", 18}));
    EXPECT_EQ(m_window->Font(2)->pixelSize, 18);
    m_window->RemoveAllFonts();
    EXPECT_FALSE(m_window->Font(2));
}

TEST_F(MemoryInteraction, ActivationAndHoverReachTheHandler) {
    struct Watcher : WindowHandler {
        std::vector<std::string> events;
        void Notify(const Notification&) override {}
        void ActiveChanged(Window&, bool active) override {
            events.push_back(active ? "active" : "inactive");
        }
        void HoverChanged(Window&, bool inside) override { events.push_back(inside ? "enter" : "leave"); }
    } watcher;
    auto window = m_toolkit->CreateWindow(WindowOptions{"XML_MSG", "MsgWnd", nullptr, &watcher});
    m_user.Activate(*window, true);
    m_user.Activate(*window, true);
    m_user.Hover(*window, false);
    m_user.Activate(*window, false);
    EXPECT_EQ(watcher.events, (Types{"active", "leave", "inactive"}));
}

TEST_F(MemoryInteraction, MenuChoiceClosesTheMenuThenTellsTheReceiver) {
    struct Chooser : MenuReceiver {
        std::vector<std::string> chosen;
        Menu* menu = nullptr;
        bool openDuringCall = true;
        void MenuItemChosen(std::string_view item) override {
            chosen.push_back(std::string(item));
            openDuringCall = menu->IsOpen();
        }
    } chooser;
    std::string error;
    auto menu = m_toolkit->OpenMenu("test/menu.ui", Point{100, 200}, chooser, &error);
    ASSERT_NE(menu, nullptr) << error;
    chooser.menu = menu.get();
    EXPECT_EQ(menu->ItemNames(), (Types{"setwnd_menu", "disabled_menu", "exit"}));
    EXPECT_EQ(m_toolkit->OpenMenus().size(), 1u);
    MapTextProvider texts(std::map<std::string, std::string>{{"menu_settings", "Settings"}});
    m_toolkit->SetTextProvider(&texts);
    EXPECT_EQ(static_cast<MemoryMenu&>(*menu).ItemDisplayText("setwnd_menu"), "Settings");
    m_toolkit->SetTextProvider(nullptr);
    EXPECT_FALSE(m_user.ChooseMenuItem(*menu, "disabled_menu"));
    EXPECT_TRUE(m_user.ChooseMenuItem(*menu, "exit"));
    EXPECT_FALSE(chooser.openDuringCall);
    EXPECT_FALSE(m_user.ChooseMenuItem(*menu, "exit")) << "a closed menu offers nothing";
    EXPECT_EQ(chooser.chosen, (Types{"exit"}));
    EXPECT_TRUE(m_toolkit->OpenMenus().empty());
    EXPECT_EQ(m_toolkit->OpenMenu("test/controls.ui", Point{}, chooser, &error), nullptr);
    EXPECT_NE(error.find("QMenu"), std::string::npos) << error;
}

TEST_F(MemoryInteraction, TrayIconClicksReachTheReceiverWhileShown) {
    struct Clicks : TrayReceiver {
        std::vector<MouseButton> buttons;
        void TrayIconClicked(MouseButton button) override { buttons.push_back(button); }
    } clicks;
    auto icon = m_toolkit->CreateTrayIcon("icon.png", "VELKOR01", clicks);
    EXPECT_EQ(icon->ToolTip(), "VELKOR01");
    EXPECT_TRUE(m_user.ClickTrayIcon(*icon, MouseButton::Left));
    EXPECT_TRUE(m_user.ClickTrayIcon(*icon, MouseButton::Right));
    icon->SetVisible(false);
    EXPECT_FALSE(m_user.ClickTrayIcon(*icon, MouseButton::Left));
    EXPECT_EQ(clicks.buttons, (std::vector<MouseButton>{MouseButton::Left, MouseButton::Right}));
}

TEST_F(MemoryInteraction, WindowDestroyedByItsHandlerEndsTheDelivery) {
    struct Destroyer : WindowHandler {
        std::unique_ptr<Window>* owner = nullptr;
        void Notify(const Notification& n) override {
            if (n.type == kNotifyClick) {
                owner->reset();
            }
        }
    } destroyer;
    Recorder later;
    std::unique_ptr<Window> window =
        m_toolkit->CreateWindow(WindowOptions{"XML_MSG", "MsgWnd", nullptr, &destroyer});
    destroyer.owner = &window;
    window->AddNotifier(later);
    window->Show();
    EXPECT_TRUE(m_user.Click(*window, "confirm_btn"));
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(later.Types({"click"}), Types{}) << "nothing is delivered on behalf of a destroyed window";
}

TEST(MemoryToolkitLoop, RealTimeLoopWaitsForItsTimers) {
    ManualClock clock;
    ResourceIndex resources;
    ASSERT_TRUE(resources.Load(SkinFolder()));
    MemoryToolkit toolkit(std::move(resources), clock, true);
    struct Quitter : WindowHandler {
        Toolkit* toolkit = nullptr;
        void Notify(const Notification& n) override {
            if (n.type == kNotifyTimer) {
                toolkit->Quit(9);
            }
        }
    } quitter;
    quitter.toolkit = &toolkit;
    auto window = toolkit.CreateWindow(WindowOptions{"XML_MSG", "MsgWnd", nullptr, &quitter});
    ASSERT_NE(window, nullptr);
    window->Root().SetTimer(1, 2);
    EXPECT_EQ(toolkit.RunLoop(), 9);
    EXPECT_GE(clock.NowMs(), 2) << "the clock followed real time to the timer";
}

TEST_F(MemoryInteraction, ColourPickRaisesColorChanged) {
    m_user.PickColour(Find("badge"), 0xFF00FF00u);
    EXPECT_EQ(m_handler.All(), (std::vector<Seen>{{"colorchanged", "badge", 0xFF00FF00, 0}}));
}

} // namespace
} // namespace velkor::ui
