// Pictures named by the layouts: drawings (SVG) are read within their size
// limit and refused when damaged, rendered at every pixel ratio at full
// resolution with their proportions kept, and a key picture draws its drawing
// under its keys.
#include "ui/qt/BackgroundPicture.h"
#include "ui/qt/SelectPanel.h"

#include <QImage>
#include <gtest/gtest.h>

#include <fstream>

namespace velkor::ui {
namespace {

// 200 x 100: a blue ground with a red mark in its lower right quarter.
constexpr const char* kDrawing =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="200" height="100" viewBox="0 0 200 100">)"
    R"(<rect width="200" height="100" fill="#0000ff"/>)"
    R"(<rect id="mark" x="100" y="50" width="100" height="50" fill="#ff0000"/></svg>)";

QString WriteFile(const std::string& name, const std::string& content) {
    const std::string path = ::testing::TempDir() + "/velkor_picture_" + name;
    std::ofstream(path, std::ios::binary) << content;
    return QString::fromStdString(path);
}

struct ReadCase {
    const char* name;
    std::string content;
    bool drawing;       // read as a drawing; otherwise refused
    const char* reason; // part of the refusal
};

TEST(Pictures, DrawingsAreReadOrRefusedWithAReason) {
    const std::string padding(size_t(kMaxDrawingFileBytes), ' ');
    const ReadCase cases[] = {
        {"good.svg", kDrawing, true, ""},
        {"upper.SVG", kDrawing, true, ""},
        {"empty.svg", "", false, "not a drawing"},
        {"garbage.svg", "<svg width=\"10\" height=\"10\"><rect", false, "not a drawing"},
        {"html.svg", "<html><body>no</body></html>", false, "not a drawing"},
        {"huge.svg", std::string(kDrawing) + "<!--" + padding + "-->", false, "too large"},
    };
    for (const ReadCase& c : cases) {
        std::string error;
        const Picture picture = ReadPicture(WriteFile(c.name, c.content), &error);
        EXPECT_EQ(picture.IsDrawing(), c.drawing) << c.name << ": " << error;
        EXPECT_EQ(picture.IsNull(), !c.drawing) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
    }
    std::string error;
    EXPECT_TRUE(
        ReadPicture(QString::fromStdString(::testing::TempDir() + "/velkor_none.svg"), &error).IsNull());
    EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
}

TEST(Pictures, ADrawingIsRenderedAtFullResolutionWithItsProportionsAtEveryRatio) {
    const Picture picture = ReadPicture(WriteFile("ratio.svg", kDrawing));
    ASSERT_TRUE(picture.IsDrawing());
    // A 2:1 drawing in a square stands in its middle: rows 25..75 of 100.
    EXPECT_EQ(picture.ElementBounds("mark", QSize(100, 100)), QRectF(50, 50, 50, 25));
    EXPECT_TRUE(picture.ElementBounds("nothing", QSize(100, 100)).isEmpty());
    for (const qreal ratio : {1.0, 1.5, 2.0}) {
        const QPixmap rendered = picture.Render(QSize(100, 100), ratio);
        ASSERT_EQ(rendered.size(), QSize(100, 100) * ratio) << ratio;
        EXPECT_EQ(rendered.devicePixelRatio(), ratio);
        const QImage image = rendered.toImage();
        const auto at = [&](qreal x, qreal y) { return image.pixelColor(int(x * ratio), int(y * ratio)); };
        EXPECT_EQ(at(50, 10).alpha(), 0) << "above the drawing stays clear at " << ratio;
        EXPECT_EQ(at(25, 40), QColor(0, 0, 255)) << ratio;
        EXPECT_EQ(at(75, 62), QColor(255, 0, 0)) << ratio;
        // The mark's edge is sharp at every ratio: one device pixel in, it is red.
        EXPECT_EQ(image.pixelColor(int(50 * ratio) + 1, int(62 * ratio)), QColor(255, 0, 0)) << ratio;
        EXPECT_EQ(image.pixelColor(int(50 * ratio) - 2, int(62 * ratio)), QColor(0, 0, 255)) << ratio;
    }
    // A raster picture fills its area, as skins expect.
    QImage solid(20, 10, QImage::Format_RGB32);
    solid.fill(QColor(0, 200, 0));
    const QPixmap stretched = Picture(solid).Render(QSize(100, 100), 1);
    EXPECT_EQ(stretched.toImage().pixelColor(50, 5), QColor(0, 200, 0));
}

TEST(Pictures, AKeyPictureDrawsItsDrawingUnderItsKeysOncePerSize) {
    SelectPanel panel;
    panel.resize(200, 100);
    auto* key = new DeviceKeyButton(&panel);
    key->setGeometry(10, 10, 30, 30);
    key->SetLight(0x00FF00, 255);
    panel.SetPicture(ReadPicture(WriteFile("panel.svg", kDrawing)));
    QImage shown;
    for (int i = 0; i < 3; ++i) {
        shown = panel.grab().toImage();
    }
    EXPECT_EQ(panel.CurrentPicture().RenderCount(), 1);
    EXPECT_EQ(shown.pixelColor(150, 75), QColor(255, 0, 0)) << "the drawing lies over the panel's background";
    EXPECT_EQ(shown.pixelColor(25, 25), QColor(0, 255, 0)) << "and under its keys";
    panel.resize(400, 200); // what a DPI change does to the panel
    shown = panel.grab().toImage();
    EXPECT_EQ(panel.CurrentPicture().RenderCount(), 2);
    EXPECT_EQ(shown.pixelColor(300, 150), QColor(255, 0, 0));
    panel.SetPicture(Picture());
    EXPECT_NE(panel.grab().toImage().pixelColor(150, 75), QColor(255, 0, 0));
}

} // namespace
} // namespace velkor::ui
