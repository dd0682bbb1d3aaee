// A device picture of 170 keys in a selection panel, as the keyboard page has
// it: the panel redraws in its picture of the board only the keys that
// changed and paints once per tick; the keys never paint themselves, yet keep
// their clicks, selection and visibility, and look as they would painting
// themselves.
#include "ui/qt/DeviceKeyButton.h"
#include "ui/qt/SelectPanel.h"

#include <QApplication>
#include <QPaintEvent>
#include <QTest>
#include <algorithm>
#include <cstdlib>
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
    uint64_t caps = m_panel->CapsDrawn();
    for (int k = 0; k < kKeys; ++k) {
        m_keys[size_t(k)]->SetLight(0x10 * uint32_t(k % 16) << 8 | 0xFF0000u, 255);
    }
    QApplication::processEvents();
    EXPECT_EQ(PanelPaints(), 1) << "every change of a tick coalesces into one paint";
    EXPECT_EQ(m_panel->CapsDrawn() - caps, uint64_t(kKeys));
    EXPECT_EQ(m_counter.Total(m_keys), 0) << "the keys never paint themselves";
    EXPECT_EQ(CapOf(5), QColor(0xFF, 0x50, 0x00));

    Settle();
    for (int k = 0; k < kKeys; ++k) {
        m_keys[size_t(k)]->SetLight(0x10 * uint32_t(k % 16) << 8 | 0xFF0000u, 255); // the same again
    }
    QApplication::processEvents();
    EXPECT_EQ(PanelPaints(), 0) << "nothing changed, nothing is painted";

    // A band of keys far apart: only they are drawn, not the keys between.
    caps = m_panel->CapsDrawn();
    m_keys[42]->SetLight(0x0000FF, 128);
    m_keys[3]->SetLight(0x00FF00, 255);
    m_keys[160]->SetLight(0x00FF00, 255);
    QApplication::processEvents();
    EXPECT_EQ(PanelPaints(), 1);
    EXPECT_EQ(m_panel->CapsDrawn() - caps, 3u);
    EXPECT_EQ(CapOf(42), QColor(0, 0, 128));

    caps = m_panel->CapsDrawn();
    m_keys[42]->SetLight(0xFF0000, 255);
    QApplication::processEvents();
    EXPECT_EQ(m_counter.lastRect[m_panel], m_keys[42]->geometry()) << "only the changed key's area";
    m_panel->repaint(); // an expose: copied from the picture, no cap drawn
    EXPECT_EQ(m_panel->CapsDrawn() - caps, 1u);
    EXPECT_EQ(CapOf(42), QColor(0xFF, 0, 0));
}

// The board's keys, drawn from the composed overlay, match a key painting
// itself on the same background: colours bright and dark (dark and light
// text), unlit, selected, with and without a caption.
TEST_F(KeyPicture, BoardKeysLookAsTheyWouldPaintingThemselves) {
    QWidget plate;
    plate.setStyleSheet("background: #101010;");
    plate.resize(kKeySize, kKeySize);
    auto* single = new DeviceKeyButton(&plate);
    single->setGeometry(0, 0, kKeySize, kKeySize);
    single->setFocusPolicy(Qt::NoFocus); // alone in its window it would take the focus, which shows
    plate.move(600, 600); // away from the pointer, which would hover it
    plate.show();
    struct Case {
        uint32_t rgb;
        uint8_t level;
        bool selected;
        const char* caption;
    };
    for (const Case& c :
         {Case{0xFFFFFF, 255, false, "Esc"}, Case{0x2040C0, 200, false, "Tab"}, Case{0, 0, false, "F1"},
          Case{0xFFE000, 255, true, "Num 0"}, Case{0x102030, 255, true, ""}}) {
        for (DeviceKeyButton* key : {m_keys[21], single}) {
            key->SetLight(c.rgb, c.level);
            key->SetSelected(c.selected);
            key->SetCaption(c.caption);
        }
        QApplication::processEvents();
        m_panel->FitRowCaptions();
        // The board's key has its row's caption size; the single key is given the same.
        single->SetCaptionPixels(m_keys[21]->CurrentCaption().font.pixelSize());
        QApplication::processEvents();
        const QImage board =
            m_panel->grab(m_keys[21]->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
        const QImage own = plate.grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(board.size(), own.size());
        int worst = 0;
        for (int y = 0; y < own.height(); ++y) {
            for (int x = 0; x < own.width(); ++x) {
                const QRgb a = board.pixel(x, y);
                const QRgb b = own.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))});
            }
        }
        EXPECT_LE(worst, 2) << "colour " << std::hex << c.rgb << " caption '" << c.caption << "'";
    }
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
