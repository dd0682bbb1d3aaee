#pragma once
// A key or LED of a device picture, drawn by the program itself: a rounded key
// cap lit with the renderer's colour at its brightness level, an accent ring
// with a light inner line when selected (visible on any LED colour), and its
// label. A click raises "click"; selection is set by the
// logic or by the selection panel, never toggled by a click.
//
// Keys of a full keyboard picture are small, so the label is fitted to the
// cap: the largest font size that fits wrapped at word boundaries, then the
// smallest size wrapped anywhere, then one elided line.
#include <QAbstractButton>
#include <QFont>
#include <QSize>
#include <QString>
#include <cstdint>

namespace velkor::ui {

// Below this pixel size a label is no longer shrunk (it is broken or elided instead).
inline constexpr int kMinCaptionPixels = 6;

struct CaptionLayout {
    QFont font;
    QString text;  // as drawn: the label itself, or its elided form
    int flags = 0; // QPainter::drawText flags (centred, and how it wraps)
};

// How `text` is drawn into a box of `box` pixels, starting from `font`'s own
// size and never going below kMinCaptionPixels. The drawn text fits the box
// unless even one elided line at the smallest size does not.
CaptionLayout FitCaption(const QFont& font, const QString& text, QSize box);

class DeviceKeyButton final : public QAbstractButton {
public:
    explicit DeviceKeyButton(QWidget* parent = nullptr);

    // 0xRRGGBB at level 0..255; level 0 shows the unlit cap.
    void SetLight(uint32_t rgb, uint8_t level);
    uint32_t LightColour() const { return m_rgb; }
    uint8_t LightLevel() const { return m_level; }
    void SetSelected(bool selected);
    bool IsSelected() const { return m_selected; }

    // The colour the cap is filled with: each channel × level / 255, or the unlit colour.
    QColor FillColour() const;

    QSize sizeHint() const override { return QSize(36, 36); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The fitted label for the current text, size and font (fitting costs a
    // few text layouts; the lights repaint many times a second).
    const CaptionLayout& Caption(QSize box);

    CaptionLayout m_caption;
    bool m_captionValid = false;
    QString m_captionText;
    QSize m_captionBox;
    QFont m_captionFont;
    uint32_t m_rgb = 0;
    uint8_t m_level = 0;
    bool m_selected = false;
};

} // namespace velkor::ui
