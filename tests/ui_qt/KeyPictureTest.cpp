// A device picture of 170 keys in a selection panel, as the keyboard page has
// it: the panel draws the caps in one pass and only where a key changed; the
// keys never paint themselves, yet keep their clicks, selection and visibility.
#include "ui/qt/DeviceKeyButton.h"
#include "ui/qt/SelectPanel.h"

#include <QApplication>
#include <QPaintEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace velkor::ui {
namespace {

constexpr int kKeys = 170;
constexpr int kKeySize = 22;
constexpr int kColumns = 20;

// Counts the paint events each watched widget receives, and the panel's last painted area.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++counts[watched];
            lastRect[watched] = static_cast<QPaintEvent*>(event)->rect();
        }
        return false;
    }
    int Total(const std::vector<DeviceKeyButton*>& keys) const {
        int total = 0;
        for (DeviceKeyButton* key : keys) {
            const auto found = counts.find(key);
            total += found == counts.end() ? 0 : found->second;
        }
        return total;
    }
    std::map<QObject*, int> counts;
    std::map<QObject*, QRect> lastRect;
};

class KeyPicture : public ::testing::Test {
protected:
    void SetUp() override {
        m_panel = new SelectPanel(&m_top);
        m_panel->setGeometry(0, 0, kColumns * kKeySize, (kKeys / kColumns + 1) * kKeySize);
        m_panel->setStyleSheet("background: #101010;");
        for (int k = 0; k < kKeys; ++k) {
            auto* key = new DeviceKeyButton(m_panel);
            key->setGeometry((k % kColumns) * kKeySize, (k / kColumns) * kKeySize, kKeySize, kKeySize);
            key->SetCaption(QString("K%1").arg(k));
            key->installEventFilter(&m_counter);
            m_keys.push_back(key);
        }
        m_panel->installEventFilter(&m_counter);
        m_top.resize(m_panel->size());
        m_top.show();
        Settle();
    }
    void Settle() {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
        }
        m_counter.counts.clear();
    }
    int PanelPaints() { return m_counter.counts[m_panel]; }
    QColor CapOf(int k) {
        const QImage image = m_panel->grab(m_keys[size_t(k)]->geometry()).toImage();
        return image.pixelColor(kKeySize / 2, 3);
    }

    QWidget m_top;
    SelectPanel* m_panel = nullptr;
    std::vector<DeviceKeyButton*> m_keys;
    PaintCounter m_counter;
};

TEST_F(KeyPicture, ChangedKeysRepaintInOnePanelPaintAndUnchangedOnesNotAtAll) {
    ASSERT_TRUE(m_keys[0]->PanelDrawn());
    for (int k = 0; k < kKeys; ++k) {
        m_keys[size_t(k)]->SetLight(0x10 * uint32_t(k % 16) << 8 | 0xFF0000u, 255);
    }
    QApplication::processEvents();
    EXPECT_EQ(PanelPaints(), 1) << "every change of a tick coalesces into one paint";
    EXPECT_EQ(m_counter.Total(m_keys), 0) << "the keys never paint themselves";
    EXPECT_EQ(CapOf(5), QColor(0xFF, 0x50, 0x00));

    Settle();
    for (int k = 0; k < kKeys; ++k) {
        m_keys[size_t(k)]->SetLight(0x10 * uint32_t(k % 16) << 8 | 0xFF0000u, 255); // the same again
    }
    QApplication::processEvents();
    EXPECT_EQ(PanelPaints(), 0) << "nothing changed, nothing is painted";

    m_keys[42]->SetLight(0x0000FF, 128);
    QApplication::processEvents();
    EXPECT_EQ(PanelPaints(), 1);
    EXPECT_EQ(m_counter.lastRect[m_panel], m_keys[42]->geometry()) << "only the changed key's area";
    EXPECT_EQ(CapOf(42), QColor(0, 0, 128));
}

TEST_F(KeyPicture, KeysKeepTheirClicksSelectionAndVisibility) {
    int clicks = 0;
    QObject::connect(m_keys[7], &QAbstractButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(m_keys[7], Qt::LeftButton);
    EXPECT_EQ(clicks, 1);

    m_keys[9]->SetLight(0x00FF00, 255);
    const QImage plain = m_panel->grab(m_keys[9]->geometry()).toImage();
    Settle();
    m_keys[9]->SetSelected(true);
    QApplication::processEvents();
    EXPECT_EQ(PanelPaints(), 1);
    EXPECT_NE(m_panel->grab(m_keys[9]->geometry()).toImage(), plain) << "the ring is drawn";
    m_keys[9]->SetSelected(false);

    m_keys[9]->hide();
    QApplication::processEvents();
    EXPECT_EQ(CapOf(9), QColor(0x10, 0x10, 0x10)) << "a hidden key leaves the panel's background";
    m_keys[9]->show();
    QApplication::processEvents();
    EXPECT_EQ(CapOf(9), QColor(0, 0xFF, 0));
}

} // namespace
} // namespace velkor::ui
