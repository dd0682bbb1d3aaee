// The skin window's toolkit side on Qt: a pop-up placed from a control's
// screen rectangle that a click elsewhere closes, and pictures that are
// missing, not pictures or too large refused before they are shown.
#include "QtTestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/qt/BackgroundPicture.h"

#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>

namespace velkor::ui {
namespace {

using test::SkinFolder;
using test::TestToolkit;

TEST(QtSkinWindow, APopUpAtTheButtonsCornerClosesOnAClickElsewhere) {
    WindowOptions mainOptions;
    mainOptions.layout = "XML_MAIN";
    std::string error;
    std::unique_ptr<Window> main = TestToolkit().CreateWindow(mainOptions, &error);
    ASSERT_NE(main, nullptr) << error;
    main->SetGeometry(Rect{100, 80, 800, 572});
    main->Show();
    Control* button = main->FindControl("skinbtn");
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(WidgetOf(*main)));
    const Rect at = button->ScreenGeometry();
    const QPoint corner = WidgetOf(*button)->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(at.x, corner.x());
    EXPECT_EQ(at.y, corner.y());

    WindowOptions options;
    options.layout = "skin.xml";
    options.owner = main.get();
    options.flags = kWindowFrameless | kWindowTool | kWindowStaysOnTop | kWindowPopup;
    std::unique_ptr<Window> frame = TestToolkit().CreateWindow(options, &error);
    ASSERT_NE(frame, nullptr) << error;
    QWidget* popup = WidgetOf(*frame);
    EXPECT_EQ(popup->windowType(), Qt::Popup);
    const Rect size = frame->Root().Geometry();
    frame->SetGeometry(Rect{at.x + at.width - size.width, at.y + at.height, size.width, size.height});
    frame->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
    EXPECT_EQ(popup->frameGeometry().topRight() + QPoint(1, 0), QPoint(at.x + at.width, at.y + at.height));

    QTest::mouseClick(popup, Qt::LeftButton, Qt::NoModifier, QPoint(-20, size.height + 20));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !frame->IsVisible(); }, 5000));
}

TEST(QtSkinWindow, OnlyUsablePicturesAreAccepted) {
    const std::string folder = ::testing::TempDir();
    const std::string text = folder + "/velkor_text.png";
    std::ofstream(text) << "not a picture";
    // A whole PNG file that claims 20000 x 20000 pixels: refused before its pixels are decoded.
    const std::string huge = folder + "/velkor_huge.png";
    static constexpr unsigned char kHuge[] = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
        0x44, 0x52, 0x00, 0x00, 0x4e, 0x20, 0x00, 0x00, 0x4e, 0x20, 0x08, 0x02, 0x00, 0x00,
        0x00, 0x6c, 0x12, 0xd1, 0x6e, 0x00, 0x00, 0x00, 0x0c, 0x49, 0x44, 0x41, 0x54, 0x78,
        0x9c, 0x63, 0x60, 0xa0, 0x0c, 0x00, 0x00, 0x00, 0x40, 0x00, 0x01, 0xb7, 0x34, 0x7c,
        0xef, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
    std::ofstream(huge, std::ios::binary).write(reinterpret_cast<const char*>(kHuge), sizeof kHuge);
    std::string error;
    EXPECT_FALSE(TestToolkit().ImageUsable(folder + "/velkor_missing.png", &error));
    EXPECT_FALSE(TestToolkit().ImageUsable(text, &error));
    EXPECT_FALSE(TestToolkit().ImageUsable(huge, &error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    EXPECT_TRUE(TestToolkit().ImageUsable("skins/dusk.png", &error)) << error;
    EXPECT_TRUE(TestToolkit().ImageUsable("common/background.png", &error)) << error;
}

TEST(QtSkinWindow, ThePictureIsScaledOncePerSizeAndShowsAroundThePanels) {
    const QString file = QString::fromStdString(::testing::TempDir() + "/velkor_solid.png");
    QImage solid(64, 48, QImage::Format_RGB32);
    solid.fill(QColor(0x20, 0xa0, 0x60));
    ASSERT_TRUE(solid.save(file, "PNG"));
    WindowOptions options;
    options.layout = "XML_MAIN";
    std::string error;
    std::unique_ptr<Window> main = TestToolkit().CreateWindow(options, &error);
    ASSERT_NE(main, nullptr) << error;
    main->SetGeometry(Rect{0, 0, 800, 572});
    main->Show();
    QWidget* root = WidgetOf(*main);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(root));
    main->Root().SetBackgroundImage(file.toStdString());
    const auto* picture =
        dynamic_cast<BackgroundPicture*>(root->findChild<QObject*>(BackgroundPicture::kObjectName));
    ASSERT_NE(picture, nullptr);

    QImage shown;
    for (int i = 0; i < 3; ++i) {
        shown = root->grab().toImage();
    }
    EXPECT_EQ(picture->ScaleCount(), 1);
    // The page area below the bars is the root's own background.
    EXPECT_EQ(shown.pixelColor(400, 400), QColor(0x20, 0xa0, 0x60));

    main->SetGeometry(Rect{0, 0, 900, 600});
    root->grab();
    root->grab();
    EXPECT_EQ(picture->ScaleCount(), 2);

    main->Root().SetBackgroundImage({});
    EXPECT_EQ(root->findChild<QObject*>(BackgroundPicture::kObjectName), nullptr);
    EXPECT_NE(root->grab().toImage().pixelColor(400, 400), QColor(0x20, 0xa0, 0x60));
}

} // namespace
} // namespace velkor::ui
