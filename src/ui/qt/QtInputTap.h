#pragma once
// The Qt side of a window's input tap: an application event filter that
// takes the key events meant for one top-level widget (and its children)
// and gives their Linux input codes to the tap. Keys are swallowed, their
// shortcuts overridden; mouse buttons are reported and passed on.
#include "ui/InputTap.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <optional>

class QKeyEvent;
class QMouseEvent;

namespace velkor::ui {

// The evdev key code of a key event: the native scan code less 8 (xcb and
// Wayland both give the X keycode); nothing when the event has none.
std::optional<uint16_t> EvdevCodeOfKey(const QKeyEvent& event);
// BTN_LEFT, BTN_RIGHT, BTN_MIDDLE, BTN_SIDE (back), BTN_EXTRA (forward); nothing for other buttons.
std::optional<uint16_t> EvdevCodeOfButton(Qt::MouseButton button);

class QtInputTapFilter final : public QObject {
public:
    // Installs itself on the application; removed when destroyed.
    QtInputTapFilter(QWidget& window, InputTap& tap);
    ~QtInputTapFilter() override;
    QtInputTapFilter(const QtInputTapFilter&) = delete;
    QtInputTapFilter& operator=(const QtInputTapFilter&) = delete;

    // Null once detached.
    InputTap* Tap() const { return m_tap; }
    // Stops filtering at once; the object itself may then go later (it may be
    // in the middle of its own event filter).
    void Detach();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool BelongsToWindow(QObject* watched) const;

    QPointer<QWidget> m_window;
    InputTap* m_tap;
};

} // namespace velkor::ui
