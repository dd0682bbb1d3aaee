// The colour palette dialog built by the Qt toolkit from the shipped layout:
// every control the logic names is there, the DPI-stage question hides the
// multicolour choice, and a press on the colour field confirmed with "okbtn"
// gives the colour under the pointer.
#include "QtTestSupport.h"
#include "lighting/CColorSelectWnd.h"
#include "ui/ControlClasses.h"
#include "ui/FamilyAccess.h"
#include "ui/qt/ColorPalette.h"

#include <QTest>
#include <gtest/gtest.h>

namespace velkor::ui {
namespace {

using test::SelectableOf;
using test::TestToolkit;

TEST(QtColourDialog, EveryNamedControlIsBuiltAndAPickIsConfirmed) {
    const SteadyTickClock clock;
    // No folders: nothing is read or written.
    CColorSelectWnd dialog(TestToolkit(), clock, ColourOptionFile({}, {}));
    std::string error;
    ASSERT_TRUE(dialog.Create(nullptr, &error)) << error;
    dialog.Prepare(0xFF204060u, 96);
    const Window& window = *dialog.GetWindow();

    std::vector<std::string> names = {"Pallet",         "color_edit_r", "color_edit_g",  "color_edit_b",
                                      "color_show_btn", "7color",       "7color_layout", "okbtn",
                                      "closebtn",       "laterbtn",     "minbtn",        "maxbtn",
                                      "restorebtn",     "menubtn"};
    for (int n = 0; n < kColourOptionCount; ++n) {
        names.push_back(FamilyName("color_option_", n));
        names.push_back(FamilyName("collect_color_option_", n));
    }
    for (const std::string& name : names) {
        EXPECT_NE(window.FindControl(name), nullptr) << name;
    }
    ASSERT_NE(window.FindControl("Pallet"), nullptr);
    auto* field = dynamic_cast<ColorPalette*>(WidgetOf(*window.FindControl("Pallet")));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(window.FindControl("Pallet")->BackgroundColour(), 0xFF204060u);
    EXPECT_EQ(window.FindControl("color_show_btn")->BackgroundColour(), 0xFF204060u);
    EXPECT_EQ(window.FindControl("color_edit_g")->Text(), "64");
    EXPECT_EQ(window.FindControl("color_option_0")->BackgroundColour(), 0xFFFF0000u);
    EXPECT_EQ(window.FindControl("color_option_19")->BackgroundColour(), 0xFF000000u);
    const Control& multicolour = *window.FindControl("7color");
    EXPECT_FALSE(multicolour.IsVisible());
    EXPECT_FALSE(SelectableOf(multicolour).IsSelected());
    EXPECT_FALSE(multicolour.IsEnabled());

    const QPoint at(field->width() / 3, field->height() / 4);
    const uint32_t under = ColorPalette::ColourAt(at, field->size());
    TestToolkit().GetDispatcher().Post([field, at, &window] {
        test::Press(field, at);
        test::Release(field, at);
        QTest::mouseClick(WidgetOf(*window.FindControl("okbtn")), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.Run(), CColorSelectWnd::kResultChosen);
    EXPECT_EQ(dialog.ResultColour(), 0xFF000000u | under);
}

} // namespace
} // namespace velkor::ui
