// The key buttons draw the colour and level the renderer gives them: rendered to
// an image, the cap shows exactly that colour, scaled by the level.
#include "ui/qt/DeviceKeyButton.h"
#include "QtTestSupport.h"
#include "ui/FamilyAccess.h"
#include "ui/UiTestSupport.h"
#include "ui/qt/QtControl.h"

#include <QFontMetricsF>
#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

namespace velkor::ui {
namespace {

using test::LightOf;
using test::TestToolkit;

QImage Render(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image);
    return image;
}

// A pixel inside the cap, clear of the edge, the rounded corners and the label.
QColor CapPixel(const QImage& image) {
    return image.pixelColor(image.width() / 2, 4);
}

TEST(DeviceKeyButton, PaintsTheColourAtFullLevel) {
    DeviceKeyButton key;
    key.resize(40, 40);
    key.SetLight(0x12A0F0, 255);
    EXPECT_EQ(CapPixel(Render(key)), QColor(0x12, 0xA0, 0xF0));
    key.SetLight(0xFF0000, 255);
    EXPECT_EQ(CapPixel(Render(key)), QColor(255, 0, 0));
}

TEST(DeviceKeyButton, LevelDimsEveryChannel) {
    DeviceKeyButton key;
    key.resize(40, 40);
    key.SetLight(0xFF8040, 128);
    EXPECT_EQ(CapPixel(Render(key)), QColor(128, 64, 32));
    EXPECT_EQ(key.FillColour(), QColor(128, 64, 32));
}

TEST(DeviceKeyButton, LevelZeroShowsTheUnlitCap) {
    DeviceKeyButton key;
    key.resize(40, 40);
    const QColor unlit = CapPixel(Render(key));
    key.SetLight(0x00FF00, 0);
    EXPECT_EQ(CapPixel(Render(key)), unlit);
    EXPECT_LT(unlit.green(), 0x40) << "unlit is dark, not the colour";
}

TEST(DeviceKeyButton, SelectionShowsOnEveryLedColour) {
    // The ring lies in the top rows of the cap; some pixel there must change clearly.
    const auto ringDifference = [](const QImage& a, const QImage& b) {
        int most = 0;
        for (int y = 0; y <= 4; ++y) {
            const QColor p = a.pixelColor(20, y);
            const QColor q = b.pixelColor(20, y);
            most = std::max({most, std::abs(p.red() - q.red()), std::abs(p.green() - q.green()),
                             std::abs(p.blue() - q.blue())});
        }
        return most;
    };
    for (const uint32_t rgb : {0x000000u, 0xFFFFFFu, 0xE0402Fu, 0xF4F4F4u}) {
        DeviceKeyButton key;
        key.resize(40, 40);
        key.SetLight(rgb, 255);
        const QImage plain = Render(key);
        key.SetSelected(true);
        const QImage selected = Render(key);
        EXPECT_GT(ringDifference(plain, selected), 100) << std::hex << rgb;
        EXPECT_EQ(selected.pixelColor(20, 20), plain.pixelColor(20, 20)) << "the middle keeps its colour";
    }
}

// A key of a full keyboard is about 14 x 33 pixels inside: its label shrinks,
// wraps and at worst breaks inside words or elides, but stays inside the cap.
// A caption breaks only between words: a word wider than the cap at the
// smallest size is elided on one line rather than cut in two.
TEST(DeviceKeyButton, CaptionsBreakOnlyBetweenWords) {
    QFont base;
    base.setPixelSize(12);
    struct Case {
        QString text;
        QSize box;
        bool whole;
    };
    const Case cases[] = {{"F1", {40, 30}, true},         {"Scroll Lock", {30, 33}, true},
                          {"Num Enter", {30, 71}, true},  {QString::fromUtf8("左 Ctrl"), {18, 33}, true},
                          {"Backspace", {14, 33}, false}, {"Scroll Lock", {6, 6}, false}};
    for (const Case& c : cases) {
        const CaptionLayout caption = FitCaption(base, c.text, c.box);
        const QRectF needed =
            QFontMetricsF(caption.font).boundingRect(QRectF(QPointF(), c.box), caption.flags, caption.text);
        EXPECT_LE(needed.width(), c.box.width()) << c.text.toStdString();
        EXPECT_GE(caption.font.pixelSize(), kMinCaptionPixels) << c.text.toStdString();
        EXPECT_FALSE(caption.flags & Qt::TextWrapAnywhere) << c.text.toStdString();
        EXPECT_EQ(caption.text == c.text, c.whole) << c.text.toStdString();
        EXPECT_EQ(LargestCaptionPixels(base, c.text, c.box) > 0, c.whole) << c.text.toStdString();
    }
    EXPECT_EQ(FitCaption(base, "F1", {40, 30}).font.pixelSize(), 12)
        << "with room to spare it keeps its size";
    EXPECT_EQ(FitCaption(base, "F1", {40, 30}, 8).font.pixelSize(), 8) << "its row's size when it is given";
}

TEST(DeviceKeyButton, LightSetThroughTheControlReachesThePicture) {
    auto window = TestToolkit().CreateWindow(WindowOptions{"test/controls.ui", "TestWnd"});
    ASSERT_NE(window, nullptr);
    Control* key = window->FindControl("key_3");
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(LightOf(key).SetLight(0x00C864, 255));
    EXPECT_EQ(LightOf(key).LightColour(), 0x00C864u);
    EXPECT_EQ(LightOf(key).LightLevel(), 255);
    // A key in a selection panel is drawn by the panel.
    QWidget* widget = WidgetOf(*key);
    auto* button = dynamic_cast<DeviceKeyButton*>(widget);
    ASSERT_NE(button, nullptr);
    const QImage image = button->PanelDrawn() ? widget->parentWidget()->grab(widget->geometry()).toImage()
                                              : widget->grab().toImage();
    EXPECT_EQ(CapPixel(image), QColor(0x00, 0xC8, 0x64));
    // A button hands out no light; the toolkit's control, which carries every
    // family, refuses it for a button just the same.
    auto* confirm = static_cast<QtControl*>(window->FindControl("confirm_btn"));
    ASSERT_NE(confirm, nullptr);
    EXPECT_FALSE(confirm->SetLight(0xFFFFFF, 255)) << "only key buttons light up";
}

} // namespace
} // namespace velkor::ui
