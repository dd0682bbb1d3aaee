// The Qt toolkit builds the same layouts as the in-memory toolkit, with the
// same tree and the same values, refuses what the memory toolkit refuses, and
// runs its loop, modal runs and dispatcher for real.
#include "QtTestSupport.h"
#include "ui/ControlClasses.h"
#include "ui/FamilyAccess.h"
#include "ui/UiTestSupport.h"
#include "ui/memory/MemoryToolkit.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace velkor::ui {
namespace {

using test::ListOf;
using test::MapTextProvider;
using test::PagesOf;
using test::RangeOf;
using test::Recorder;
using test::SelectableOf;
using test::SkinFolder;
using test::TestToolkit;

// Everything the logic can read of a control, in one line per control.
// Geometry is left out on request: Qt's layout managers place children only
// once a window is shown, the in-memory toolkit never does.
void Describe(const Control& control, int depth, std::ostringstream& out, bool geometry = true) {
    // A family the control lacks shows as its neutral value.
    const SelectableControl* selectable = control.AsSelectable();
    const PageControl* pages = control.AsPage();
    const RangeControl* range = control.AsRange();
    const ListControl* list = control.AsList();
    out << std::string(size_t(depth) * 2, ' ') << control.ClassName() << " " << control.Name()
        << " text=" << control.Text() << " tip=" << control.ToolTip() << " data=" << control.UserData()
        << " visible=" << control.IsVisible() << " enabled=" << control.IsEnabled() << " bk=" << std::hex
        << control.BackgroundColour() << std::dec << " font=" << control.FontId()
        << " selected=" << (selectable != nullptr && selectable->IsSelected())
        << " page=" << (pages != nullptr ? pages->CurrentPage() : -1)
        << " value=" << (range != nullptr ? range->Value() : 0) << "/"
        << (range != nullptr ? range->Minimum() : 0) << ".." << (range != nullptr ? range->Maximum() : 0)
        << " items=";
    for (int i = 0; list != nullptr && i < list->ItemCount(); ++i) {
        out << list->ItemText(i) << ",";
    }
    out << " sel=" << (list != nullptr ? list->SelectedIndex() : -1);
    if (geometry && control.Parent() != nullptr && control.Parent()->Kind() != ControlKind::Tab) {
        const Rect rect = control.Geometry();
        out << " at=" << rect.x << "," << rect.y << "," << rect.width << "," << rect.height;
    }
    out << "\n";
    for (int i = 0; i < control.ChildCount(); ++i) {
        Describe(*control.ChildAt(i), depth + 1, out, geometry);
    }
}

std::string Describe(const Window& window, bool geometry = true) {
    std::ostringstream out;
    Describe(window.Root(), 0, out, geometry);
    return out.str();
}

class PageCreator : public ControlCreator {
public:
    explicit PageCreator(Toolkit& toolkit) : m_toolkit(toolkit) {}
    bool CanCreate(std::string_view className) const override {
        return className == "TestDevicePage" || className == "TestProfileBar";
    }
    void ControlCreated(std::string_view className, Control& control) override {
        created.push_back(std::string(className) + ":" + control.Name());
        if (className == "TestProfileBar") {
            filled = m_toolkit.BuildInto(control, "test/bar.ui", this);
        }
    }
    std::vector<std::string> created;
    Control* filled = nullptr;

private:
    Toolkit& m_toolkit;
};

class QtLayout : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        m_window = TestToolkit().CreateWindow(
            WindowOptions{"test/controls.ui", "TestWnd", nullptr, &m_handler}, &error);
        ASSERT_NE(m_window, nullptr) << error;
    }
    Control& Find(std::string_view name) {
        Control* control = m_window->FindControl(name);
        EXPECT_NE(control, nullptr) << name;
        return *control;
    }

    Recorder m_handler;
    std::unique_ptr<Window> m_window;
};

TEST_F(QtLayout, SameLayoutGivesTheSameTreeAndValuesAsTheMemoryToolkit) {
    ManualClock clock;
    auto memory = MemoryToolkit::Create(SkinFolder(), clock);
    ASSERT_NE(memory, nullptr);
    auto twin = memory->CreateWindow(WindowOptions{"test/controls.ui", "TestWnd"});
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(Describe(*m_window), Describe(*twin));
    EXPECT_EQ(m_window->Title(), twin->Title());
    EXPECT_EQ(m_window->Geometry().width, 640);
    EXPECT_EQ(m_window->Geometry().height, 480);
}

TEST_F(QtLayout, ControlsAreRealWidgetsFoundByNameAndFamily) {
    auto* confirm = qobject_cast<QAbstractButton*>(WidgetOf(Find("confirm_btn")));
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(confirm->text(), "OK");
    EXPECT_EQ(m_window->FindControl("nothing_here"), nullptr);
    Control& panel = Find("key_panel");
    for (int n = 0; n < 4; ++n) {
        Control* key = panel.FindChild(FamilyName("key_", n));
        ASSERT_NE(key, nullptr) << n;
        EXPECT_EQ(key->Kind(), ControlKind::KeyButton);
        EXPECT_EQ(WidgetOf(*key)->parentWidget(), WidgetOf(panel));
    }
    EXPECT_EQ(WidgetOf(*m_window), WidgetOf(m_window->Root()));
}

TEST_F(QtLayout, PropertyChangesReachTheWidgets) {
    Control& label = Find("title_label");
    auto* widget = qobject_cast<QLabel*>(WidgetOf(label));
    MapTextProvider texts({{"test_title", "Device centre"}, {"tip_key", "A tip"}});
    TestToolkit().SetTextProvider(&texts);
    TestToolkit().ReloadTexts();
    EXPECT_EQ(widget->text(), "Device centre");
    label.SetToolTip("tip_key");
    EXPECT_EQ(widget->toolTip(), "A tip");
    label.SetResourceText(false);
    EXPECT_EQ(widget->text(), "test_title");
    TestToolkit().SetTextProvider(nullptr);

    label.SetEnabled(false);
    EXPECT_FALSE(widget->isEnabled());
    label.SetVisible(false);
    EXPECT_TRUE(widget->isHidden());
    EXPECT_FALSE(label.IsVisible());
    label.SetBackgroundColour(0xFF336699u);
    EXPECT_TRUE(widget->styleSheet().contains("rgba(51, 102, 153, 1.000)"))
        << widget->styleSheet().toStdString();
    label.SetTextColours(0xFF0099FFu, 0xFF0078C8u);
    EXPECT_TRUE(widget->styleSheet().contains("color: rgba(0, 153, 255, 1.000)"));
    EXPECT_TRUE(widget->styleSheet().contains("#title_label:disabled { color: rgba(0, 120, 200, 1.000); }"))
        << widget->styleSheet().toStdString();
    label.SetGeometry(Rect{5, 6, 70, 20});
    EXPECT_EQ(widget->geometry(), QRect(5, 6, 70, 20));

    RangeControl& slider = RangeOf(Find("light_slider"));
    slider.SetValue(9);
    EXPECT_EQ(slider.Value(), 4);
    RangeControl& progress = RangeOf(Find("battery_progress"));
    progress.SetValue(150);
    EXPECT_EQ(progress.Value(), 100) << "clamped, where Qt alone would ignore it";
    EXPECT_TRUE(m_handler.All().empty()) << "the program's own changes raise nothing";
}

TEST_F(QtLayout, ListAndComboRowsFollowTheSameRules) {
    ListControl& combo = ListOf(Find("profile_combo"));
    combo.RemoveAllItems();
    EXPECT_EQ(combo.SelectedIndex(), -1);
    combo.InsertItem(-1, "first");
    EXPECT_EQ(combo.SelectedIndex(), -1) << "adding to an empty combo selects nothing";
    combo.InsertItem(-1, "second", "2");
    combo.SelectItem(1, false);
    combo.InsertItem(0, "zero");
    EXPECT_EQ(combo.SelectedIndex(), 2);
    combo.RemoveItem(2);
    EXPECT_EQ(combo.SelectedIndex(), -1) << "removing the selected row leaves none";

    Control& list = Find("macro_list");
    ListControl& rows = ListOf(list);
    rows.SelectItem(1, false);
    std::string error;
    Control* row = rows.InsertItemLayout(0, "test/row.ui", nullptr, &error);
    ASSERT_NE(row, nullptr) << error;
    EXPECT_EQ(rows.SelectedIndex(), 2);
    EXPECT_EQ(rows.ItemControl(0), row);
    Control* delay = list.FindChild("row_delay");
    ASSERT_NE(delay, nullptr);
    EXPECT_EQ(delay->Text(), "50");
    QPointer<QWidget> rowWidget = WidgetOf(*row);
    EXPECT_TRUE(rows.RemoveItem(0));
    EXPECT_EQ(list.FindChild("row_delay"), nullptr);
    EXPECT_TRUE(rowWidget.isNull()) << "the row's widget goes with the row";
    EXPECT_EQ(rows.SelectedIndex(), 1);
    EXPECT_TRUE(m_handler.All().empty());
}

TEST_F(QtLayout, BuildIntoFillsAContainerAndTheCreatorSeesItsClasses) {
    PageCreator creator(TestToolkit());
    std::string error;
    Control& host = Find("page_host");
    Control* page = TestToolkit().BuildInto(host, "test/page.ui", &creator, &error);
    ASSERT_NE(page, nullptr) << error;
    EXPECT_EQ(page->ClassName(), "TestDevicePage");
    EXPECT_EQ(WidgetOf(*page)->parentWidget(), WidgetOf(host));
    EXPECT_EQ(creator.created,
              (std::vector<std::string>{"TestDevicePage:test_page", "TestProfileBar:profile_bar_item"}));
    ASSERT_NE(creator.filled, nullptr);
    EXPECT_NE(m_window->FindControl("bar_add_btn"), nullptr);
    EXPECT_EQ(page->FindFirstOfClass(kSelectPanelClass)->FindAllOfClass(kDeviceKeyButtonClass).size(), 3u);
}

TEST_F(QtLayout, BadLayoutsAreRefusedAndBuildNothing) {
    std::string error;
    Control& host = Find("page_host");
    const int widgetsBefore = int(WidgetOf(host)->findChildren<QWidget*>().size());
    EXPECT_EQ(TestToolkit().BuildInto(host, "test/page.ui", nullptr, &error), nullptr);
    EXPECT_NE(error.find("unknown control class"), std::string::npos) << error;
    EXPECT_EQ(host.ChildCount(), 0);
    EXPECT_EQ(int(WidgetOf(host)->findChildren<QWidget*>().size()), widgetsBefore);
    EXPECT_EQ(TestToolkit().CreateWindow(WindowOptions{"../CMakeLists.txt"}, &error), nullptr);
    EXPECT_EQ(TestToolkit().CreateWindow(WindowOptions{"XML_NOWHERE"}, &error), nullptr);
    EXPECT_EQ(TestToolkit().BuildInto(Find("confirm_btn"), "test/bar.ui", nullptr, &error), nullptr);
}

TEST_F(QtLayout, WindowInitComesFromTheLoopOnce) {
    EXPECT_TRUE(m_handler.All().empty()) << "not during creation";
    test::ProcessUntil([&] { return !m_handler.All().empty(); });
    QCoreApplication::processEvents();
    EXPECT_EQ(m_handler.Types(), (std::vector<std::string>{"windowinit:root"}));
}

TEST_F(QtLayout, DpiScalesLikeTheMemoryToolkit) {
    ASSERT_TRUE(m_window->SetDpi(144));
    EXPECT_EQ(Find("key_1").Geometry(), (Rect{83, 15, 60, 60}));
    EXPECT_EQ(m_window->Geometry().width, 960);
    EXPECT_FALSE(m_window->SetDpi(100));
    EXPECT_EQ(m_window->Dpi(), 144);
    ASSERT_TRUE(m_window->SetDpi(96));
    EXPECT_EQ(Find("key_1").Geometry(), (Rect{55, 10, 40, 40}));
}

TEST_F(QtLayout, FontSetsReachTheWidgetsAndFollowTheDpi) {
    QWidget* badge = WidgetOf(Find("badge")); // font id 2 in the layout
    QWidget* label = WidgetOf(Find("title_label"));
    m_window->SetDefaultFont(FontInfo{"", 12});
    ASSERT_TRUE(m_window->AddFont(2, FontInfo{"", 18, true}));
    EXPECT_EQ(badge->font().pixelSize(), 18);
    EXPECT_TRUE(badge->font().bold());
    EXPECT_EQ(label->font().pixelSize(), 12) << "no font id: the window's default";
    m_window->SetDpi(144);
    EXPECT_EQ(badge->font().pixelSize(), 27);
    EXPECT_EQ(label->font().pixelSize(), 18);
    m_window->RemoveAllFonts();
    EXPECT_EQ(badge->font().pixelSize(), 18) << "a missing font falls back to the default";
}

TEST_F(QtLayout, ModalRunReturnsTheCodeOfTheButton) {
    struct MessageBox : WindowHandler {
        Window* window = nullptr;
        void Notify(const Notification& n) override {
            if (n.type == kNotifyClick) {
                window->Close(n.sender->Name() == "confirm_btn" ? 1 : 0);
            }
        }
    } handler;
    auto box = TestToolkit().CreateWindow(WindowOptions{"XML_MSG", "MsgWnd", m_window.get(), &handler});
    ASSERT_NE(box, nullptr);
    handler.window = box.get();
    QWidget* confirm = WidgetOf(*box->FindControl("confirm_btn"));
    TestToolkit().GetDispatcher().Post([confirm] { QTest::mouseClick(confirm, Qt::LeftButton); });
    EXPECT_EQ(box->ShowModal(), 1);
    EXPECT_FALSE(box->IsVisible());
    QWidget* cancel = WidgetOf(*box->FindControl("cancel_btn"));
    TestToolkit().GetDispatcher().Post([cancel] { QTest::mouseClick(cancel, Qt::LeftButton); });
    EXPECT_EQ(box->ShowModal(), 0);
}

TEST_F(QtLayout, FrameCloseAsksTheHandler) {
    struct KeepOpen : WindowHandler {
        int asked = 0;
        void Notify(const Notification&) override {}
        bool CloseRequested(Window&) override {
            ++asked;
            return false;
        }
    } handler;
    auto window = TestToolkit().CreateWindow(WindowOptions{"XML_MSG", "MsgWnd", nullptr, &handler});
    window->Show();
    WidgetOf(*window)->close();
    EXPECT_EQ(handler.asked, 1);
    EXPECT_TRUE(window->IsVisible()) << "the handler kept it open";
}

TEST_F(QtLayout, SendFromAnotherThreadRunsInTheLoop) {
    bool ran = false;
    bool sent = false;
    std::thread worker([&] {
        sent = TestToolkit().GetDispatcher().Send([&] {
            ran = TestToolkit().GetDispatcher().IsUiThread();
            TestToolkit().Quit(3);
        });
    });
    EXPECT_EQ(TestToolkit().RunLoop(), 3);
    worker.join();
    EXPECT_TRUE(sent);
    EXPECT_TRUE(ran);
}

TEST_F(QtLayout, MenuFromALayoutReportsTheChosenEntry) {
    struct Chooser : MenuReceiver {
        std::string chosen;
        void MenuItemChosen(std::string_view item) override { chosen = item; }
    } chooser;
    std::string error;
    auto menu = TestToolkit().OpenMenu("test/menu.ui", Point{10, 10}, chooser, &error);
    ASSERT_NE(menu, nullptr) << error;
    EXPECT_EQ(menu->ItemNames(), (std::vector<std::string>{"setwnd_menu", "disabled_menu", "exit"}));
    QMenu* widget = MenuWidgetOf(*menu);
    ASSERT_NE(widget, nullptr);
    QAction* exit = widget->findChild<QAction*>("exit");
    ASSERT_NE(exit, nullptr);
    exit->trigger();
    EXPECT_EQ(chooser.chosen, "exit");
    EXPECT_FALSE(menu->IsOpen());
    EXPECT_FALSE(widget->findChild<QAction*>("disabled_menu")->isEnabled());
}

TEST_F(QtLayout, TrayIconReportsLeftAndRightClicks) {
    struct Clicks : TrayReceiver {
        std::vector<MouseButton> buttons;
        void TrayIconClicked(MouseButton button) override { buttons.push_back(button); }
    } clicks;
    auto icon = TestToolkit().CreateTrayIcon("icon.png", "VELKOR01", clicks);
    QSystemTrayIcon* tray = TrayIconOf(*icon);
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(icon->ToolTip(), "VELKOR01");
    emit tray->activated(QSystemTrayIcon::Trigger);
    emit tray->activated(QSystemTrayIcon::Context);
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(clicks.buttons, (std::vector<MouseButton>{MouseButton::Left, MouseButton::Right}));
}

} // namespace
} // namespace velkor::ui

namespace velkor::ui {
namespace {

// Takes every class the toolkits leave to the program (device pages, panels).
class AcceptEveryClass final : public ControlCreator {
public:
    bool CanCreate(std::string_view) const override { return true; }
    void ControlCreated(std::string_view, Control&) override {}
};

// Shows the last page of every tab container below `control`.
void SelectLastPages(Control& control) {
    if (control.Kind() == ControlKind::Tab && control.ChildCount() > 0) {
        EXPECT_TRUE(PagesOf(control).SelectPage(control.ChildCount() - 1)) << control.Name();
    }
    for (int i = 0; i < control.ChildCount(); ++i) {
        SelectLastPages(*control.ChildAt(i));
    }
}

// Every layout the program ships builds in both toolkits to the same tree
// with the same values, also once other pages are shown, so what the tests
// check on the in-memory toolkit is what the user gets.
TEST(ShippedLayouts, BuildTheSameInBothToolkits) {
    ManualClock clock;
    auto memory = MemoryToolkit::Create(SkinFolder(), clock);
    ASSERT_NE(memory, nullptr);
    AcceptEveryClass creator;
    for (const char* layout :
         {"XML_MAIN", "XML_MSG", "XML\\CustomControlXML\\DeviceOption.xml",
          "XML\\CustomControlXML\\MpDevicePower.xml", "XML\\CustomControlXML\\DeviceProfile.xml",
          "XML\\CustomControlXML\\LightControl.xml", "XML\\CustomControlXML\\MacroControl.xml",
          "XML\\DeviceXml\\mousedevice.xml", "XML\\DeviceXml\\keyboarddevice.xml",
          "XML\\DeviceXml\\mousepaddevice.xml", "XML\\DeviceXml\\hs6533device.xml", "setwnd.xml",
          "XML\\CustomControlXML\\device_Update_list_item.xml", "XML\\CustomControlXML\\macro_action.xml"}) {
        WindowOptions options{layout, "ShippedWnd"};
        options.creator = &creator;
        std::string error;
        auto qt = TestToolkit().CreateWindow(options, &error);
        ASSERT_NE(qt, nullptr) << layout << ": " << error;
        auto twin = memory->CreateWindow(options, &error);
        ASSERT_NE(twin, nullptr) << layout << ": " << error;
        EXPECT_EQ(Describe(*qt, false), Describe(*twin, false)) << layout;
        SelectLastPages(qt->Root());
        SelectLastPages(twin->Root());
        EXPECT_EQ(Describe(*qt, false), Describe(*twin, false)) << layout << " showing the last pages";
    }
}

// What the macro panel asks of the toolkit: a style class the style sheet
// gives its look, a layout property kept by a RedioMacroButton, and a list
// row built from a layout that tells when its menu is asked for.
TEST(QtBoundary, StyleClassLayoutPropertyAndRowMenu) {
    AcceptEveryClass creator;
    Recorder handler;
    WindowOptions options{"XML\\CustomControlXML\\MacroControl.xml", "MacroWnd", nullptr, &handler};
    options.creator = &creator;
    std::string error;
    auto window = TestToolkit().CreateWindow(options, &error);
    ASSERT_NE(window, nullptr) << error;
    Control* stop = window->FindControl("macro_btn_stopredio");
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->Kind(), ControlKind::Button);
    EXPECT_EQ(stop->LayoutProperty("redioimage"), "macro/stop.png");
    EXPECT_FALSE(stop->IsUnderPointer());

    Control* row = As<RowViewControl>(window->FindControl("macro_action_list"))
                       ->AddSlot("XML\\CustomControlXML\\macro_action.xml", nullptr, &error);
    ASSERT_NE(row, nullptr) << error;
    Control* value = row->FindChild("macro_action_value");
    QWidget* label = WidgetOf(*value);
    label->ensurePolished();
    const QColor plain = label->palette().color(QPalette::WindowText);
    value->SetStyleClass("macro_label_down_style");
    EXPECT_EQ(value->StyleClass(), "macro_label_down_style");
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor("#7bd88f"));
    value->SetStyleClass("");
    EXPECT_EQ(label->palette().color(QPalette::WindowText), plain);

    emit WidgetOf(*row)->customContextMenuRequested(QPoint(3, 3));
    EXPECT_EQ(handler.Types({std::string(kNotifyMenu)}), (std::vector<std::string>{"menu:macro_action"}));
}

} // namespace
} // namespace velkor::ui
