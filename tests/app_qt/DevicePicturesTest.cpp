// The device pictures as the running program shows them: every page's key
// pictures draw the model's drawing under their buttons, each LED sits on its
// seat in the drawing and each keyboard key on the drawn case, every list
// item shows its model's small drawing, and the drawings are rendered again
// at the window's DPI.
#include "ProgramOnQt.h"
#include "app/CMainWnd.h"
#include "ui/Window.h"
#include "ui/qt/BackgroundPicture.h"
#include "ui/qt/SelectPanel.h"

#include <gtest/gtest.h>

#include <set>

namespace velkor::test {
namespace {

using ui::DeviceKeyButton;
using ui::SelectPanel;

// What is wrong with one key picture's drawing; empty when nothing is.
std::vector<std::string> DrawingFaults(const std::string& device, SelectPanel& panel) {
    std::vector<std::string> faults;
    const ui::Picture& drawing = panel.CurrentPicture().Source();
    if (!drawing.IsDrawing()) {
        return {device + "/" + panel.objectName().toStdString() + ": no drawing"};
    }
    const QRectF caseBounds = drawing.ElementBounds("case", panel.size());
    for (DeviceKeyButton* key : WidgetsOf<DeviceKeyButton>(panel)) {
        const QString name = key->objectName();
        const QRectF at(key->mapTo(&panel, QPoint(0, 0)), key->size());
        const std::string where = device + "/" + name.toStdString();
        if (name.startsWith("light_")) {
            const QRectF seat = drawing.ElementBounds("seat_" + name, panel.size());
            if (!seat.contains(at.center())) {
                faults.push_back(where + ": not on its seat in the drawing");
            }
        } else if (name.startsWith("key_") && !caseBounds.isEmpty() && !caseBounds.contains(at)) {
            faults.push_back(where + ": outside the drawn case");
        }
    }
    return faults;
}

TEST(DevicePictures, EveryPageDrawsItsModelUnderItsButtonsWithEachLightOnItsSeat) {
    std::set<std::string> devices;
    std::vector<std::string> faults;
    ASSERT_TRUE(ForEachPageAndTab([&](const PageView& view) {
        if (!devices.insert(view.device).second) {
            return;
        }
        const auto panels = WidgetsOf<SelectPanel>(*view.page);
        EXPECT_FALSE(panels.empty()) << view.device;
        for (SelectPanel* panel : panels) {
            std::vector<std::string> found = DrawingFaults(view.device, *panel);
            faults.insert(faults.end(), found.begin(), found.end());
        }
        if (view.device.find("keyboard") != std::string::npos && !panels.empty()) {
            EXPECT_FALSE(
                panels.front()->CurrentPicture().Source().ElementBounds("case", QSize(408, 280)).isEmpty())
                << view.device << ": a keyboard's drawing shows its case";
        }
    }));
    EXPECT_EQ(devices.size(), 5u) << "every simulated device was shown";
    for (const std::string& fault : faults) {
        ADD_FAILURE() << fault;
    }
}

TEST(DevicePictures, EveryListItemShowsItsModelsSmallDrawing) {
    const auto pictures = MainWidget().findChildren<QWidget*>("device_picture");
    ASSERT_EQ(pictures.size(), 5);
    std::set<size_t> looks;
    for (QWidget* picture : pictures) {
        const auto* shown = dynamic_cast<ui::BackgroundPicture*>(
            picture->findChild<QObject*>(ui::BackgroundPicture::kObjectName, Qt::FindDirectChildrenOnly));
        ASSERT_NE(shown, nullptr) << "an item without a picture";
        EXPECT_TRUE(shown->Current().Source().IsDrawing());
        const QImage image = shown->Current().Source().Render(picture->size(), 1).toImage();
        // Drawn, not blank: some pixels are covered.
        int covered = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                covered += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
            }
        }
        EXPECT_GT(covered, image.width() * image.height() / 10);
        looks.insert(
            qHash(QByteArray(reinterpret_cast<const char*>(image.constBits()), int(image.sizeInBytes()))));
    }
    EXPECT_EQ(looks.size(), 5u) << "each model has a picture of its own";
}

TEST(DevicePictures, TheDrawingsAreRenderedAgainAtTheWindowsDpi) {
    QWidget* page = ShowPage("mouse", "deng_Op_tab");
    ASSERT_NE(page, nullptr);
    const auto panels = WidgetsOf<SelectPanel>(*page);
    ASSERT_EQ(panels.size(), 1u);
    SelectPanel* panel = panels.front();
    ui::Window& window = *RunningProgram()->MainWindow()->GetWindow();
    const int dpi = window.Dpi();
    ASSERT_TRUE(window.SetDpi(192));
    panel->grab();
    const QSize doubled = panel->size();
    const QPixmap& rendered = panel->CurrentPicture().Rendered();
    EXPECT_EQ(doubled, QSize(816, 560));
    EXPECT_EQ(rendered.size(), doubled * panel->devicePixelRatioF()) << "rendered for the panel's new size";
    EXPECT_TRUE(window.SetDpi(dpi));
    panel->grab();
    EXPECT_EQ(panel->CurrentPicture().Rendered().size(), QSize(408, 280) * panel->devicePixelRatioF());
}

} // namespace
} // namespace velkor::test
