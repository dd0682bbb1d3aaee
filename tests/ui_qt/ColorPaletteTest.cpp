// The colour field: what it draws is what a click on it picks, and a pick
// reaches the logic as "colorchanged" with that colour.
#include "ui/qt/ColorPalette.h"
#include "QtTestSupport.h"
#include "ui/UiTestSupport.h"

#include <QImage>
#include <cstdlib>
#include <gtest/gtest.h>

namespace velkor::ui {
namespace {

using test::Recorder;
using test::TestToolkit;

// Channels within `slack` of each other (the drawn gradients sample pixel
// centres and round).
bool Near(uint32_t a, uint32_t b, int slack = 6) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > slack) {
            return false;
        }
    }
    return true;
}

TEST(ColorPalette, HueRunsAcrossAndWhiteDown) {
    const QSize size(241, 201);
    EXPECT_EQ(ColorPalette::ColourAt(QPoint(0, 0), size), 0xFFFF0000u);
    EXPECT_EQ(ColorPalette::ColourAt(QPoint(80, 0), size), 0xFF00FF00u) << "a third of the way: green";
    EXPECT_EQ(ColorPalette::ColourAt(QPoint(160, 0), size), 0xFF0000FFu) << "two thirds: blue";
    EXPECT_EQ(ColorPalette::ColourAt(QPoint(40, 200), size), 0xFFFFFFFFu) << "the bottom row is white";
    EXPECT_EQ(ColorPalette::ColourAt(QPoint(-50, 999), size), 0xFFFFFFFFu) << "outside is clamped";
}

TEST(ColorPalette, TheDrawnColourIsThePickedColour) {
    ColorPalette field;
    field.resize(241, 201);
    QImage image(field.size(), QImage::Format_ARGB32);
    field.render(&image);
    for (const QPoint at : {QPoint(10, 10), QPoint(100, 50), QPoint(200, 150), QPoint(60, 190)}) {
        const uint32_t drawn = image.pixel(at);
        EXPECT_TRUE(Near(drawn, ColorPalette::ColourAt(at, field.size())))
            << at.x() << "," << at.y() << ": drawn " << std::hex << drawn;
    }
}

TEST(ColorPalette, APressRaisesColorChangedAndTheLogicsColourIsMarked) {
    Recorder handler;
    std::string error;
    auto window =
        TestToolkit().CreateWindow(WindowOptions{"test/palette.ui", "TestWnd", nullptr, &handler}, &error);
    ASSERT_NE(window, nullptr) << error;
    Control* control = window->FindControl("colour_field");
    ASSERT_NE(control, nullptr);
    auto* field = dynamic_cast<ColorPalette*>(WidgetOf(*control));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->Marker(), QPoint(80, 0)) << "the layout's colour, green, is marked";

    test::Press(field, QPoint(160, 0));
    const std::vector<test::Seen> seen = handler.Only({"colorchanged"});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].sender, "colour_field");
    EXPECT_EQ(uint32_t(seen[0].wParam), 0xFF0000FFu);
    EXPECT_EQ(field->Marker(), QPoint(160, 0));

    control->SetBackgroundColour(0xFFFFFFFFu);
    EXPECT_EQ(field->Marker().y(), 200) << "white lies at the bottom";
}

} // namespace
} // namespace velkor::ui
