// The keyboard page as the program ships it, built by the in-memory toolkit:
// each regional page of the key picture holds exactly its keys, laid out
// without overlaps inside the page, each with a caption in both languages;
// the system tab has its option controls and its reset and restore buttons;
// every model has its own name.
#include "SkinPageSupport.h"
#include "devices/SupportedDevices.h"
#include "keys/KeyIdentityTable.h"
#include "keys/KeyTable.h"
#include "ui/ControlClasses.h"
#include "ui/FamilyAccess.h"

#include <gmock/gmock.h>
#include <ostream>
#include <set>

namespace velkor::test {
namespace {

using ui::test::PagesOf;
using ui::test::RangeOf;

constexpr const char* kKeyboardLayout = "XML\\DeviceXml\\keyboarddevice.xml";

// Henkan, Muhenkan, Han/Yeong, Hanja, Katakana/Hiragana, Ro, Yen, keypad comma.
const std::set<int> kInternationalKeys = {79, 80, 81, 82, 83, 100, 101, 103};

// The language key of on-screen key `key`'s caption; empty when it has none.
std::string CaptionKey(int key) {
    if (key == 17) {
        return "keyboard_screen_key_17"; // its function has no key-table row
    }
    const KeyTableRow* row = KeyRowAt(FindKeyByFunction(KeyIdentity(key)));
    return row != nullptr ? std::string(row->nameKey) : std::string();
}

class KeyboardPage : public SkinPageTest {
protected:
    KeyboardPage() : SkinPageTest(kKeyboardLayout, "TolvanicKeyboardDevice") {}
};

struct RegionCase {
    int page;
    std::set<int> international; // the international keys this variant adds
};

void PrintTo(const RegionCase& c, std::ostream* out) {
    *out << "page " << c.page;
}

class KeyboardRegion : public KeyboardPage, public ::testing::WithParamInterface<RegionCase> {};

TEST_P(KeyboardRegion, PageHoldsExactlyItsKeysWithoutOverlapEachCaptioned) {
    const RegionCase c = GetParam();
    ui::Control& layout = Find("keyboard_device_key_layout");
    ASSERT_EQ(layout.Kind(), ui::ControlKind::Tab);
    ASSERT_EQ(layout.ChildCount(), 5);
    ASSERT_TRUE(PagesOf(layout).SelectPage(c.page));
    ui::Control& panel = Find("keyboard_device_key_light_" + std::to_string(c.page));
    ASSERT_EQ(panel.Parent(), &layout);
    EXPECT_EQ(panel.Kind(), ui::ControlKind::SelectPanel);
    EXPECT_TRUE(panel.IsVisible());
    const ui::Rect area = panel.Geometry();
    EXPECT_EQ(area, (ui::Rect{0, 0, layout.Geometry().width, layout.Geometry().height}));

    std::set<int> expected;
    for (int key = 0; key < int(kScreenKeyCount); ++key) {
        if (!IsNoKey(key) && (!kInternationalKeys.contains(key) || c.international.contains(key))) {
            expected.insert(key);
        }
    }
    std::set<int> found;
    std::vector<std::pair<int, ui::Rect>> placed;
    for (int i = 0; i < panel.ChildCount(); ++i) {
        const ui::Control& button = *panel.ChildAt(i);
        std::string prefix;
        int key = -1;
        ASSERT_EQ(button.ClassName(), ui::kDeviceKeyButtonClass) << button.Name();
        ASSERT_TRUE(ui::SplitFamilyName(button.Name(), prefix, key) && prefix == "key_") << button.Name();
        EXPECT_TRUE(found.insert(key).second) << "key " << key << " twice";
        EXPECT_EQ(button.UserData(), "light_" + std::to_string(key));
        const ui::Rect rect = button.Geometry();
        EXPECT_TRUE(rect.width > 0 && rect.height > 0 && rect.x >= 0 && rect.y >= 0 &&
                    rect.Right() <= area.width && rect.Bottom() <= area.height)
            << "key " << key << " leaves the page";
        for (const auto& [other, otherRect] : placed) {
            EXPECT_FALSE(rect.Intersects(otherRect)) << "keys " << key << " and " << other << " overlap";
        }
        placed.emplace_back(key, rect);
        ExpectTexts(CaptionKey(key));
    }
    EXPECT_THAT(found, ::testing::ContainerEq(expected));
}

INSTANTIATE_TEST_SUITE_P(Pages, KeyboardRegion,
                         ::testing::Values(RegionCase{0, {}}, RegionCase{1, {81, 82}},
                                           RegionCase{2, {100, 103}}, RegionCase{3, {79, 80, 83, 100, 101}},
                                           RegionCase{4, kInternationalKeys}),
                         [](const auto& info) { return "Page" + std::to_string(info.param.page); });

TEST_F(KeyboardPage, SystemTabHasItsOptionsAndEveryModelItsOwnName) {
    ui::Control& tab = Find("device_function_page_3");
    for (const char* name : {"winlockflag_option", "wflag_option", "6flag_option"}) {
        ui::Control& check = Find(name);
        EXPECT_EQ(check.Kind(), ui::ControlKind::Check) << name;
        EXPECT_TRUE(tab.Contains(&check)) << name;
        EXPECT_TRUE(check.IsResourceText()) << name;
    }
    // Each option group alone in its own container, so that choosing in one
    // leaves the other alone.
    for (const char* family : {"polling_rate_option_", "repeat_delay_check_"}) {
        const ui::Control* group = Find(ui::FamilyName(family, 0)).Parent();
        ASSERT_NE(group, nullptr);
        EXPECT_TRUE(tab.Contains(group));
        ASSERT_EQ(group->ChildCount(), 4) << family;
        for (int n = 0; n < 4; ++n) {
            EXPECT_EQ(group->ChildAt(n), &Find(ui::FamilyName(family, n))) << family << n;
            EXPECT_EQ(group->ChildAt(n)->Kind(), ui::ControlKind::Option) << family << n;
        }
    }
    ui::Control& rate = Find("repeat_rate_slider");
    EXPECT_EQ(rate.Kind(), ui::ControlKind::Slider);
    EXPECT_EQ(RangeOf(rate).Minimum(), 0);
    EXPECT_EQ(RangeOf(rate).Maximum(), 255);
    EXPECT_EQ(Find("repeat_delay_time_label1").Kind(), ui::ControlKind::Label);
    EXPECT_EQ(Find("repeat_input_richedit").Kind(), ui::ControlKind::Edit);
    EXPECT_FALSE(Find("repeat_input_richedit").IsResourceText()) << "what the user types is no language key";
    for (const char* name : {"reset_repeat_btn", "default_btn"}) {
        ui::Control& button = Find(name);
        EXPECT_EQ(button.Kind(), ui::ControlKind::Button) << name;
        EXPECT_TRUE(tab.Contains(&button)) << name;
        ASSERT_TRUE(button.IsResourceText()) << name;
        ExpectTexts(button.Text());
        ExpectPlacedAmongSiblings(button);
    }

    std::set<std::string> names;
    for (const ModelDescription& model : BuiltInCatalog().Models()) {
        ExpectTexts(model.nameKey);
        EXPECT_TRUE(names.insert(model.nameKey).second) << model.nameKey;
    }
}

} // namespace
} // namespace velkor::test
