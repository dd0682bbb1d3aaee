// The in-memory toolkit builds windows from the shipped layout files: controls
// are found by name and by family, every property round-trips, creators get the
// classes the toolkit does not know, and a bad layout adds nothing.
#include "UiTestSupport.h"
#include "ui/ControlClasses.h"
#include "ui/FamilyAccess.h"
#include "ui/memory/MemoryToolkit.h"

#include <gtest/gtest.h>

namespace velkor::ui {
namespace {

using test::LightOf;
using test::ListOf;
using test::MapTextProvider;
using test::PagesOf;
using test::RangeOf;
using test::ScratchFolder;
using test::SelectableOf;
using test::SkinFolder;

class MemoryLayout : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        m_toolkit = MemoryToolkit::Create(SkinFolder(), m_clock, &error);
        ASSERT_NE(m_toolkit, nullptr) << error;
        m_window = m_toolkit->CreateWindow(WindowOptions{"test/controls.ui", "TestWnd"}, &error);
        ASSERT_NE(m_window, nullptr) << error;
    }
    Control& Find(std::string_view name) {
        Control* control = m_window->FindControl(name);
        EXPECT_NE(control, nullptr) << name;
        return *control;
    }

    ManualClock m_clock;
    std::unique_ptr<MemoryToolkit> m_toolkit;
    std::unique_ptr<Window> m_window;
};

// Attaches a name to every class it accepts and fills "TestProfileBar" from bar.ui.
class PageCreator : public ControlCreator {
public:
    explicit PageCreator(Toolkit& toolkit) : m_toolkit(toolkit) {}
    bool CanCreate(std::string_view className) const override {
        return className == "TestDevicePage" || className == "TestProfileBar";
    }
    void ControlCreated(std::string_view className, Control& control) override {
        created.push_back(std::string(className) + ":" + control.Name() + ":" +
                          std::to_string(control.ChildCount()));
        if (className == "TestProfileBar") {
            filled = m_toolkit.BuildInto(control, "test/bar.ui", this, &error);
        }
    }

    std::vector<std::string> created;
    Control* filled = nullptr;
    std::string error;

private:
    Toolkit& m_toolkit;
};

TEST_F(MemoryLayout, WindowHasItsClassTitleAndLayoutSize) {
    EXPECT_EQ(m_window->ClassName(), "TestWnd");
    EXPECT_EQ(m_window->Title(), "controls");
    EXPECT_EQ(m_window->Geometry().width, 640);
    EXPECT_EQ(m_window->Root().Name(), "root");
    EXPECT_FALSE(m_window->IsVisible()) << "windows are created hidden";
    EXPECT_EQ(m_window->FindControl("root"), &m_window->Root());
}

TEST_F(MemoryLayout, ControlsAreFoundByNameAndAbsentOnesAreNull) {
    Control& confirm = Find("confirm_btn");
    EXPECT_EQ(confirm.ClassName(), "QPushButton");
    EXPECT_EQ(confirm.Kind(), ControlKind::Button);
    EXPECT_EQ(confirm.Text(), "OK");
    EXPECT_EQ(m_window->FindControl("no_such_control"), nullptr);
    // Inside a container: only what lies below it.
    Control& modes = Find("mode_layout");
    EXPECT_EQ(modes.FindChild("mode_option_2")->Parent(), &modes);
    EXPECT_EQ(modes.FindChild("confirm_btn"), nullptr);
    EXPECT_EQ(modes.FindChild("mode_layout"), nullptr) << "a container does not find itself";
    EXPECT_TRUE(modes.Contains(modes.FindChild("mode_option_0")));
    EXPECT_FALSE(modes.Contains(&confirm));
}

TEST_F(MemoryLayout, FamiliesAreFoundByPrefixAndNumber) {
    Control& panel = Find("key_panel");
    EXPECT_EQ(panel.Kind(), ControlKind::SelectPanel);
    std::vector<std::string> texts;
    for (int n = 0; n < 4; ++n) {
        Control* key = panel.FindChild(FamilyName("key_", n));
        ASSERT_NE(key, nullptr) << n;
        texts.push_back(key->Text());
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Esc", "F1", "F2", "F3"}));
    EXPECT_EQ(panel.FindChild(FamilyName("key_", 4)), nullptr);

    std::vector<std::string> keys;
    for (Control* key : m_window->Root().FindAllOfClass(kDeviceKeyButtonClass)) {
        keys.push_back(key->Name());
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"key_0", "key_1", "key_2", "key_3", "light_0"}));
    EXPECT_EQ(m_window->Root().FindFirstOfClass(kSelectPanelClass), &panel);
}

TEST_F(MemoryLayout, LayoutPropertiesAreTaken) {
    EXPECT_FALSE(Find("cancel_btn").IsEnabled());
    EXPECT_FALSE(Find("hidden_btn").IsVisible());
    Control& badge = Find("badge");
    EXPECT_EQ(badge.BackgroundColour(), 0xFF102030u);
    EXPECT_EQ(badge.UserData(), "7");
    EXPECT_EQ(badge.ToolTip(), "badge_tip");
    EXPECT_EQ(badge.FontId(), 2);
    EXPECT_TRUE(SelectableOf(Find("mode_option_1")).IsSelected());
    EXPECT_FALSE(SelectableOf(Find("mode_option_0")).IsSelected());
    ListControl& combo = ListOf(Find("profile_combo"));
    EXPECT_EQ(combo.ItemCount(), 3);
    EXPECT_EQ(combo.SelectedIndex(), 0) << "a combo with items starts on the first";
    EXPECT_EQ(ListOf(Find("macro_list")).SelectedIndex(), -1) << "a list starts without selection";
    RangeControl& slider = RangeOf(Find("light_slider"));
    EXPECT_EQ(slider.Value(), 2);
    EXPECT_EQ(slider.Maximum(), 4);
    EXPECT_EQ(RangeOf(Find("battery_progress")).Value(), 50);
    EXPECT_EQ(RangeOf(Find("battery_progress")).Maximum(), 100);
    EXPECT_EQ(Find("key_1").Geometry(), (Rect{55, 10, 40, 40}));
}

TEST_F(MemoryLayout, PropertiesRoundTrip) {
    Control& label = Find("title_label");
    label.SetText("other");
    label.SetToolTip("tip");
    label.SetUserData("12");
    label.SetBackgroundColour(0x80112233u);
    label.SetBackgroundImage("file='power/power.png'");
    label.SetVisible(false);
    label.SetEnabled(false);
    label.SetFontId(5);
    label.SetGeometry(Rect{1, 2, 3, 4});
    EXPECT_EQ(label.Text(), "other");
    EXPECT_EQ(label.ToolTip(), "tip");
    EXPECT_EQ(label.UserData(), "12");
    EXPECT_EQ(label.BackgroundColour(), 0x80112233u);
    EXPECT_EQ(label.BackgroundImage(), "file='power/power.png'");
    EXPECT_FALSE(label.IsVisible());
    EXPECT_FALSE(label.IsEnabled());
    EXPECT_EQ(label.FontId(), 5);
    EXPECT_EQ(label.Geometry(), (Rect{1, 2, 3, 4}));

    RangeControl& slider = RangeOf(Find("light_slider"));
    EXPECT_TRUE(slider.SetValue(3));
    EXPECT_EQ(slider.Value(), 3);
    EXPECT_TRUE(slider.SetValue(99));
    EXPECT_EQ(slider.Value(), 4) << "clamped into the range";
    EXPECT_TRUE(slider.SetRange(0, 2));
    EXPECT_EQ(slider.Value(), 2) << "a narrower range pulls the value in";
    EXPECT_FALSE(slider.SetRange(5, 1));

    LightControl& key = LightOf(Find("key_0"));
    EXPECT_TRUE(key.SetLight(0x12345678u, 200));
    EXPECT_EQ(key.LightColour(), 0x345678u);
    EXPECT_EQ(key.LightLevel(), 200);
}

TEST_F(MemoryLayout, OperationsOfAnotherKindChangeNothing) {
    // A label hands out no family; the toolkit's own control, which carries
    // them all, refuses them for a label just the same.
    auto& label = static_cast<MemoryControl&>(Find("title_label"));
    EXPECT_FALSE(label.SetValue(3));
    EXPECT_EQ(label.Value(), 0);
    EXPECT_FALSE(label.SetSelected(true));
    EXPECT_FALSE(label.IsSelected());
    EXPECT_FALSE(label.InsertItem(-1, "x"));
    EXPECT_EQ(label.ItemCount(), 0);
    EXPECT_FALSE(label.SelectPage(0));
    EXPECT_EQ(label.CurrentPage(), -1);
    EXPECT_FALSE(label.SetLight(0xFF0000, 255));
    EXPECT_EQ(ListOf(Find("profile_combo")).InsertItemLayout(-1, "test/row.ui", nullptr), nullptr)
        << "layout rows belong to lists";
}

TEST_F(MemoryLayout, ResourceTextShowsTheLanguageTextOrTheKey) {
    Control& label = Find("title_label");
    EXPECT_TRUE(label.IsResourceText());
    EXPECT_EQ(label.DisplayText(), "test_title") << "no provider: the key shows";
    MapTextProvider texts({{"test_title", "Device centre"}, {"row_key", "Row"}});
    m_toolkit->SetTextProvider(&texts);
    EXPECT_EQ(label.Text(), "test_title");
    EXPECT_EQ(label.DisplayText(), "Device centre");
    label.SetResourceText(false);
    EXPECT_EQ(label.DisplayText(), "test_title");

    auto& list = static_cast<MemoryControl&>(Find("macro_list"));
    list.SetResourceText(true);
    list.InsertItem(-1, "row_key");
    EXPECT_EQ(list.ItemDisplayText(2), "Row");
    EXPECT_EQ(list.ItemText(2), "row_key");
    m_toolkit->SetTextProvider(nullptr);
}

TEST_F(MemoryLayout, OptionsOfOneParentExcludeEachOther) {
    SelectableControl& zero = SelectableOf(Find("mode_option_0"));
    SelectableControl& one = SelectableOf(Find("mode_option_1"));
    EXPECT_TRUE(zero.SetSelected(true, false));
    EXPECT_TRUE(zero.IsSelected());
    EXPECT_FALSE(one.IsSelected());
    EXPECT_TRUE(zero.SetSelected(false, false)) << "the logic may clear an option";
    EXPECT_FALSE(zero.IsSelected());
    SelectableControl& check = SelectableOf(Find("sync_check"));
    EXPECT_TRUE(check.SetSelected(true));
    EXPECT_TRUE(zero.SetSelected(true, false));
    EXPECT_TRUE(check.IsSelected()) << "check boxes are not part of the group";
}

TEST_F(MemoryLayout, TabShowsOnlyItsCurrentPage) {
    Control& tab = Find("page_tab");
    PageControl& pages = PagesOf(tab);
    EXPECT_EQ(tab.ChildCount(), 2);
    EXPECT_EQ(pages.CurrentPage(), 0);
    EXPECT_TRUE(Find("in_page_0").IsVisible());
    EXPECT_FALSE(Find("in_page_1_btn").IsVisible());
    EXPECT_TRUE(pages.SelectPage(1));
    EXPECT_FALSE(Find("in_page_0").IsVisible());
    EXPECT_TRUE(Find("in_page_1_btn").IsVisible());
    EXPECT_FALSE(pages.SelectPage(2));
    EXPECT_EQ(pages.CurrentPage(), 1);
}

TEST_F(MemoryLayout, HiddenOrDisabledParentHidesOrDisablesChildren) {
    Control& modes = Find("mode_layout");
    Control& option = Find("mode_option_2");
    modes.SetVisible(false);
    modes.SetEnabled(false);
    EXPECT_FALSE(option.IsVisible());
    EXPECT_FALSE(option.IsEnabled());
    modes.SetVisible(true);
    modes.SetEnabled(true);
    EXPECT_TRUE(option.IsVisible());
    EXPECT_TRUE(option.IsEnabled());
}

TEST_F(MemoryLayout, ListRowsInsertRemoveAndKeepTheSelectedRow) {
    Control& list = Find("macro_list");
    ListControl& rows = ListOf(list);
    ASSERT_TRUE(rows.InsertItem(-1, "gamma", "g"));
    ASSERT_TRUE(rows.SelectItem(1, false));
    ASSERT_TRUE(rows.InsertItem(0, "first", "f"));
    EXPECT_EQ(rows.SelectedIndex(), 2) << "the selected row moves with an insertion before it";
    EXPECT_EQ(rows.ItemText(2), "beta");
    EXPECT_FALSE(rows.InsertItem(6, "too far"));
    EXPECT_TRUE(rows.RemoveItem(0));
    EXPECT_EQ(rows.SelectedIndex(), 1);
    EXPECT_TRUE(rows.RemoveItem(1));
    EXPECT_EQ(rows.SelectedIndex(), -1) << "removing the selected row leaves none selected";
    EXPECT_EQ(rows.ItemCount(), 2);
    EXPECT_EQ(rows.ItemUserData(1), "g");
    EXPECT_TRUE(rows.SetItemText(1, "G"));
    EXPECT_TRUE(rows.SetItemUserData(1, "42"));
    EXPECT_EQ(rows.ItemText(1), "G");
    EXPECT_EQ(rows.ItemUserData(1), "42");
    EXPECT_FALSE(rows.RemoveItem(2));
    EXPECT_FALSE(rows.SelectItem(2));
    EXPECT_TRUE(rows.EnsureItemVisible(1));
    EXPECT_EQ(static_cast<MemoryControl&>(list).ScrolledItem(), 1);
    rows.RemoveAllItems();
    EXPECT_EQ(rows.ItemCount(), 0);
    EXPECT_EQ(rows.ItemText(0), "");
}

TEST_F(MemoryLayout, ListRowsFromALayoutCarryTheirControls) {
    Control& list = Find("macro_list");
    ListControl& rows = ListOf(list);
    std::string error;
    Control* row = rows.InsertItemLayout(1, "test/row.ui", nullptr, &error);
    ASSERT_NE(row, nullptr) << error;
    EXPECT_EQ(rows.ItemCount(), 3);
    EXPECT_EQ(rows.ItemControl(1), row);
    EXPECT_EQ(rows.ItemControl(0), nullptr) << "text rows have no control";
    EXPECT_EQ(row->Parent(), &list);
    Control* delay = list.FindChild("row_delay");
    ASSERT_NE(delay, nullptr);
    EXPECT_EQ(delay->Text(), "50");
    EXPECT_TRUE(row->Contains(delay));
    EXPECT_TRUE(rows.RemoveItem(1));
    EXPECT_EQ(list.FindChild("row_delay"), nullptr) << "the row's controls go with it";
    EXPECT_EQ(rows.InsertItemLayout(1, "test/missing.ui", nullptr, &error), nullptr);
    EXPECT_EQ(rows.ItemCount(), 2);
}

TEST_F(MemoryLayout, BuildIntoFillsAContainerAndAsksTheCreatorInOrder) {
    PageCreator creator(*m_toolkit);
    std::string error;
    Control& host = Find("page_host");
    Control* page = m_toolkit->BuildInto(host, "test/page.ui", &creator, &error);
    ASSERT_NE(page, nullptr) << error;
    EXPECT_EQ(page->ClassName(), "TestDevicePage");
    EXPECT_EQ(page->Kind(), ControlKind::Custom);
    EXPECT_EQ(page->Parent(), &host);
    EXPECT_EQ(page->UserData(), "page");
    // The creator sees each control whole, with its children, in layout order.
    EXPECT_EQ(creator.created,
              (std::vector<std::string>{"TestDevicePage:test_page:3", "TestProfileBar:profile_bar_item:0"}));
    ASSERT_NE(creator.filled, nullptr) << creator.error;
    EXPECT_EQ(page->FindChild("bar_add_btn")->Parent(), creator.filled);
    EXPECT_NE(m_window->FindControl("bar_combo"), nullptr) << "built controls belong to the window";
    // The page finds its own key panel and keys, as a device finds its picture.
    Control* panel = page->FindFirstOfClass(kSelectPanelClass);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->FindAllOfClass(kDeviceKeyButtonClass).size(), 3u);
}

TEST_F(MemoryLayout, UnknownClassRefusesTheWholeBuild) {
    std::string error;
    Control& host = Find("page_host");
    EXPECT_EQ(m_toolkit->BuildInto(host, "test/page.ui", nullptr, &error), nullptr);
    EXPECT_NE(error.find("unknown control class 'TestDevicePage'"), std::string::npos) << error;
    EXPECT_EQ(host.ChildCount(), 0) << "nothing is added";

    // A creator that knows only the page still refuses the profile bar inside it.
    class PageOnly : public ControlCreator {
    public:
        bool CanCreate(std::string_view className) const override { return className == "TestDevicePage"; }
        void ControlCreated(std::string_view, Control&) override { ++calls; }
        int calls = 0;
    } pageOnly;
    EXPECT_EQ(m_toolkit->BuildInto(host, "test/page.ui", &pageOnly, &error), nullptr);
    EXPECT_NE(error.find("TestProfileBar"), std::string::npos) << error;
    EXPECT_EQ(pageOnly.calls, 0) << "no creator call for a build that fails";
    EXPECT_EQ(host.ChildCount(), 0);
}

TEST_F(MemoryLayout, BuildIntoRefusesNonContainersAndMissingLayouts) {
    std::string error;
    EXPECT_EQ(m_toolkit->BuildInto(Find("confirm_btn"), "test/bar.ui", nullptr, &error), nullptr);
    EXPECT_NE(error.find("not a container"), std::string::npos);
    EXPECT_EQ(m_toolkit->BuildInto(Find("page_host"), "XML_NOWHERE", nullptr, &error), nullptr);
    EXPECT_EQ(m_toolkit->BuildInto(Find("page_host"), "../CMakeLists.txt", nullptr, &error), nullptr);
    EXPECT_NE(error.find("unknown layout"), std::string::npos) << error;
    EXPECT_EQ(Find("page_host").ChildCount(), 0);
}

TEST(MemoryToolkitInput, DamagedLayoutsGiveNoWindowAndAReason) {
    ScratchFolder folder;
    folder.Write("res.xml", "<resources><layout name=\"XML_BROKEN\" file=\"broken.ui\"/>"
                            "<layout name=\"XML_COLOUR\" file=\"colour.ui\"/></resources>");
    folder.Write("broken.ui", "<ui><widget class=\"QWidget\" name=\"root\"><widget class=\"QLabel\"");
    folder.Write("colour.ui", "<ui><widget class=\"QWidget\" name=\"root\">"
                              "<property name=\"bkColor\"><string>#XYZ</string></property></widget></ui>");
    ManualClock clock;
    std::string error;
    auto toolkit = MemoryToolkit::Create(folder.Path(), clock, &error);
    ASSERT_NE(toolkit, nullptr) << error;
    EXPECT_EQ(toolkit->CreateWindow(WindowOptions{"XML_BROKEN"}, &error), nullptr);
    EXPECT_NE(error.find("damaged layout"), std::string::npos) << error;
    EXPECT_EQ(toolkit->CreateWindow(WindowOptions{"XML_COLOUR"}, &error), nullptr);
    EXPECT_NE(error.find("damaged colour"), std::string::npos) << error;
    EXPECT_EQ(toolkit->CreateWindow(WindowOptions{"XML_MISSING"}, &error), nullptr);
    EXPECT_TRUE(toolkit->Windows().empty()) << "no window is left behind";
    EXPECT_EQ(toolkit->ProcessPending(), 0) << "and no windowinit is queued for one";
    EXPECT_EQ(MemoryToolkit::Create(folder.Path() + "/none", clock, &error), nullptr);
}

TEST(MemoryToolkitInput, TypefacesMustBeFontFiles) {
    ScratchFolder folder;
    ManualClock clock;
    auto toolkit = MemoryToolkit::Create(SkinFolder(), clock);
    ASSERT_NE(toolkit, nullptr);
    const std::string font = folder.Write("brand.otf", std::string("OTTO") + std::string(60, '\0'));
    const std::string text = folder.Write("notes.otf", "this is not a font at all");
    const int handle = toolkit->AddTypeface(font);
    EXPECT_GE(handle, 0);
    EXPECT_EQ(toolkit->AddTypeface(text), -1);
    EXPECT_EQ(toolkit->AddTypeface(folder.Path() + "/missing.ttf"), -1);
    EXPECT_TRUE(toolkit->RemoveTypeface(handle));
    EXPECT_FALSE(toolkit->RemoveTypeface(handle));
}

} // namespace
} // namespace velkor::ui
