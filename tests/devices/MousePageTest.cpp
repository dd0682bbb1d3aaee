// The mouse page as the program ships it, built by the in-memory toolkit: the
// picture holds exactly the eleven buttons, both LED sets and the logo, apart
// from each other and found by the page build; the cursor tab is the page the
// cursor type shows, with five stage rows whose enable check stays usable when
// its row is disabled; the system tab's sliders have the desktop's ranges; every
// caption is a language key with a text in both languages.
#include "SkinPageSupport.h"
#include "devices/DevicePageBinding.h"
#include "ui/ControlClasses.h"
#include "ui/FamilyAccess.h"

#include <functional>
#include <gmock/gmock.h>
#include <map>
#include <set>

namespace velkor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;
using ui::test::RangeOf;

constexpr const char* kMouseLayout = "XML\\DeviceXml\\mousedevice.xml";
constexpr int kButtonCount = 11;
constexpr int kLedCount = 15;
constexpr int kStageCount = 5;
constexpr int kCursorType = 5; // the profile bar's cursor tab
constexpr int kSystemType = 4; // its system tab

std::set<int> Numbers(int count) {
    std::set<int> numbers;
    for (int n = 0; n < count; ++n) {
        numbers.insert(n);
    }
    return numbers;
}

// `control`'s rectangle in the pixels of `panel`, an ancestor of it.
ui::Rect InPanel(const ui::Control& panel, const ui::Control& control) {
    ui::Rect rect = control.Geometry();
    for (const ui::Control* parent = control.Parent(); parent != nullptr && parent != &panel;
         parent = parent->Parent()) {
        rect = rect.Translated(parent->Geometry().x, parent->Geometry().y);
    }
    return rect;
}

void ForEachBelow(const ui::Control& top, const std::function<void(const ui::Control&)>& visit) {
    for (int i = 0; i < top.ChildCount(); ++i) {
        visit(*top.ChildAt(i));
        ForEachBelow(*top.ChildAt(i), visit);
    }
}

class MousePage : public SkinPageTest {
protected:
    MousePage() : SkinPageTest(kMouseLayout, "TolvanicMouseDevice") {}
};

TEST_F(MousePage, PictureHoldsButtonsBothLedSetsAndLogoApartAndThePageBuildFindsThem) {
    ui::Control& picture = Find("mouse_device_seting_layout");
    ui::Control& panel = Find("mouse_device_key_light");
    ASSERT_EQ(panel.Kind(), ui::ControlKind::SelectPanel);
    ASSERT_EQ(panel.Parent(), &picture) << "the page build looks at the selection panels of the picture";
    ExpectPlacedAmongSiblings(panel);

    std::map<std::string, std::set<int>> families;
    std::vector<const ui::Control*> logos;
    std::set<const ui::Control*> secondSetParents;
    std::vector<std::pair<std::string, ui::Rect>> placed;
    for (const ui::Control* button : panel.FindAllOfClass(ui::kDeviceKeyButtonClass)) {
        const std::string& name = button->Name();
        std::string prefix;
        int number = -1;
        if (button->ToolTip() == "logo") {
            logos.push_back(button);
        } else if (ui::SplitFamilyName(name, prefix, number)) {
            EXPECT_TRUE(families[prefix].insert(number).second) << name << " twice";
        } else {
            ADD_FAILURE() << "stray key button " << name;
        }
        if (prefix == "light_0_") {
            secondSetParents.insert(button->Parent());
        }
        const ui::Rect own = button->Geometry();
        const ui::Rect parent = button->Parent()->Geometry();
        EXPECT_TRUE(!own.IsEmpty() && own.x >= 0 && own.y >= 0 && own.Right() <= parent.width &&
                    own.Bottom() <= parent.height)
            << name << " leaves " << button->Parent()->Name();
        const ui::Rect rect = InPanel(panel, *button);
        for (const auto& [other, otherRect] : placed) {
            EXPECT_FALSE(rect.Intersects(otherRect)) << name << " and " << other << " overlap";
        }
        placed.emplace_back(name, rect);
    }
    EXPECT_THAT(families, ElementsAre(Pair("key_", Numbers(kButtonCount)), Pair("light_", Numbers(kLedCount)),
                                      Pair("light_0_", Numbers(kLedCount))));
    ASSERT_EQ(logos.size(), 1u);
    EXPECT_EQ(logos[0]->Name(), "logo");
    // The second set is a set of its own: one plain container, not the key panel.
    ASSERT_EQ(secondSetParents.size(), 1u);
    const ui::Control& side = **secondSetParents.begin();
    EXPECT_NE(&side, &panel);
    EXPECT_EQ(side.Kind(), ui::ControlKind::Container) << side.Name();
    ExpectPlacedAmongSiblings(side);
    EXPECT_EQ(Find("device_tishi_info").Kind(), ui::ControlKind::Label);

    // The page build of the devices takes the first selection panel and its buttons and LEDs.
    DevicePageBinding binding;
    binding.Attach(&m_window->Root());
    ASSERT_TRUE(binding.SetKeyCount(kButtonCount) && binding.SetLightCount(kLedCount));
    binding.Collect();
    EXPECT_EQ(binding.KeyPanel(), &panel);
    for (int n = 0; n < kButtonCount; ++n) {
        EXPECT_EQ(binding.KeyControls()[size_t(n)], &Find(ui::FamilyName("key_", n))) << n;
    }
    for (int n = 0; n < kLedCount; ++n) {
        EXPECT_EQ(binding.LightControls()[size_t(n)], &Find(ui::FamilyName("light_", n))) << n;
    }
}

TEST_F(MousePage, CursorTabHasFiveStageRowsTheReportRateAndRestore) {
    ui::Control& functions = Find("device_function_switch");
    ASSERT_EQ(functions.Kind(), ui::ControlKind::Tab);
    ASSERT_GE(functions.ChildCount(), 4);
    const ui::Control& cursorTab = *functions.ChildAt(2);
    DevicePageBinding binding;
    binding.Attach(&m_window->Root());
    binding.SelectFunctionPage(kCursorType, true);
    EXPECT_TRUE(Find("DPI_slider_0").IsVisible()) << "the cursor type shows the stage rows";
    EXPECT_FALSE(Find("pointer_speed_slider").IsVisible());
    binding.SelectFunctionPage(kSystemType, true);
    EXPECT_FALSE(Find("DPI_slider_0").IsVisible());
    EXPECT_TRUE(Find("pointer_speed_slider").IsVisible()) << "the system type shows the pointer settings";

    std::set<uint32_t> colours;
    for (int n = 0; n < kStageCount; ++n) {
        ui::Control& row = Find(ui::FamilyName("DPI_layout_", n));
        ui::Control& enable = Find(ui::FamilyName("DPI_enable_check_", n));
        ui::Control& select = Find(ui::FamilyName("DPI_select_check_", n));
        ui::Control& slider = Find(ui::FamilyName("DPI_slider_", n));
        ui::Control& edit = Find(ui::FamilyName("DPI_edit_", n));
        ui::Control& colour = Find(ui::FamilyName("DPI_color_option_", n));
        EXPECT_TRUE(cursorTab.Contains(&row) && cursorTab.Contains(&enable)) << n;
        EXPECT_EQ(row.Kind(), ui::ControlKind::Container) << n;
        EXPECT_EQ(enable.Kind(), ui::ControlKind::Check) << n;
        EXPECT_EQ(select.Kind(), ui::ControlKind::Option) << n;
        EXPECT_EQ(slider.Kind(), ui::ControlKind::Slider) << n;
        EXPECT_EQ(edit.Kind(), ui::ControlKind::Edit) << n;
        EXPECT_EQ(colour.Kind(), ui::ControlKind::Button) << n;
        EXPECT_EQ(RangeOf(slider).Minimum(), 0) << n;
        EXPECT_GT(RangeOf(slider).Maximum(), 0) << n;
        EXPECT_FALSE(edit.IsResourceText()) << "typed DPI is no language key";
        EXPECT_TRUE(colours.insert(colour.BackgroundColour()).second)
            << "stage " << n << " shows its own colour";
        // A disabled stage's row goes grey; its check must stay usable to enable it again.
        row.SetEnabled(false);
        EXPECT_TRUE(enable.IsEnabled()) << n;
        for (ui::Control* part : {&select, &slider, &edit, &colour}) {
            EXPECT_FALSE(part->IsEnabled()) << part->Name();
        }
        row.SetEnabled(true);
    }
    EXPECT_FALSE(colours.contains(0u)) << "every stage has a colour";

    const ui::Control* rates = Find("polling_rate_option_0").Parent();
    ASSERT_NE(rates, nullptr);
    EXPECT_TRUE(cursorTab.Contains(rates));
    ASSERT_EQ(rates->ChildCount(), 5) << "the report rate has five options, alone in their container";
    for (int n = 0; n < 5; ++n) {
        EXPECT_EQ(rates->ChildAt(n), &Find(ui::FamilyName("polling_rate_option_", n))) << n;
        EXPECT_EQ(rates->ChildAt(n)->Kind(), ui::ControlKind::Option) << n;
    }
    EXPECT_EQ(Find("default_btn").Kind(), ui::ControlKind::Button);
    EXPECT_TRUE(cursorTab.Contains(&Find("default_btn")));
    ForEachBelow(cursorTab, [](const ui::Control& control) { ExpectPlacedAmongSiblings(control); });
}

TEST_F(MousePage, SystemTabHasThePointerSettingsWithTheirRanges) {
    const ui::Control& systemTab = *Find("device_function_switch").ChildAt(3);
    const ui::Control& options = Find("mouse_option_layout");
    EXPECT_TRUE(systemTab.Contains(&options));
    struct SliderCase {
        const char* name;
        int minimum;
        int maximum;
    };
    for (const SliderCase& c :
         {SliderCase{"pointer_speed_slider", 1, 20}, SliderCase{"scroll_speed_slider", 1, 20},
          SliderCase{"double_click_slider", 200, 900}}) {
        const ui::Control& slider = Find(c.name);
        EXPECT_EQ(slider.Kind(), ui::ControlKind::Slider) << c.name;
        EXPECT_TRUE(options.Contains(&slider)) << c.name;
        EXPECT_EQ(RangeOf(slider).Minimum(), c.minimum) << c.name;
        EXPECT_EQ(RangeOf(slider).Maximum(), c.maximum) << c.name;
    }
    for (const char* name : {"pointer_precision_check", "scrolls_page_check"}) {
        EXPECT_EQ(Find(name).Kind(), ui::ControlKind::Check) << name;
        EXPECT_TRUE(options.Contains(&Find(name))) << name;
    }
    EXPECT_TRUE(options.Contains(&Find("ornicms_dkey_test_0"))) << "the double-click test field";
    ForEachBelow(systemTab, [](const ui::Control& control) { ExpectPlacedAmongSiblings(control); });
}

TEST_F(MousePage, EveryCaptionIsALanguageKeyWithTextsInBothLanguages) {
    int captions = 0;
    ForEachBelow(m_window->Root(), [&](const ui::Control& control) {
        const bool captioned =
            control.Kind() == ui::ControlKind::Label || control.Kind() == ui::ControlKind::Check ||
            control.Kind() == ui::ControlKind::Option || control.Kind() == ui::ControlKind::Button;
        // The title is the model's name, set at run time.
        if (captioned && !control.Text().empty() && control.Name() != "device_title_label") {
            EXPECT_TRUE(control.IsResourceText())
                << control.Name() << " shows '" << control.Text() << "' as is";
        }
        if (!control.IsResourceText()) {
            return;
        }
        for (const std::string& key : {control.Text(), control.ToolTip()}) {
            if (!key.empty()) {
                ExpectTexts(key);
                ++captions;
            }
        }
    });
    EXPECT_GE(captions, 30);
    // Shown by the pointer settings when the desktop has no such setting or refuses it.
    ExpectTexts("pointer_not_offered_tip");
    ExpectTexts("pointer_apply_failed_tip");
}

} // namespace
} // namespace velkor::test
