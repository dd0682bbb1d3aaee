#pragma once
// A key or LED of a device picture, drawn by the program itself: a rounded key
// cap lit with the renderer's colour at its brightness level, an accent ring
// with a light inner line when selected (visible on any LED colour), and its
// label. A click raises "click"; selection is set by the
// logic or by the selection panel, never toggled by a click.
#include <QAbstractButton>
#include <cstdint>

namespace velkor::ui {

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
    uint32_t m_rgb = 0;
    uint8_t m_level = 0;
    bool m_selected = false;
};

} // namespace velkor::ui
