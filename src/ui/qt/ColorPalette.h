#pragma once
// A colour field drawn by the program itself: hue from left to right, full
// colour at the top fading to white at the bottom. A press or drag picks the
// colour under the pointer, marks it and reports it (the control raises
// "colorchanged" with 0xAARRGGBB); the logic can mark a colour of its own.
#include <QWidget>
#include <cstdint>
#include <functional>

namespace velkor::ui {

class ColorPalette final : public QWidget {
public:
    explicit ColorPalette(QWidget* parent = nullptr);

    // Called with the colour the user picked (opaque 0xAARRGGBB).
    void SetPicked(std::function<void(uint32_t)> picked) { m_picked = std::move(picked); }
    // Marks where a colour lies on the field (its hue and whiteness); grey and
    // black mark the nearest point.
    void SetMarkedColour(uint32_t argb);
    QPoint Marker() const { return m_marker; }

    // The colour at a point of a field of `size` (points outside are clamped).
    static uint32_t ColourAt(QPoint point, QSize size);

    QSize sizeHint() const override { return QSize(250, 210); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void Pick(QPoint point);

    std::function<void(uint32_t)> m_picked;
    QPoint m_marker{-1, -1};
};

} // namespace velkor::ui
