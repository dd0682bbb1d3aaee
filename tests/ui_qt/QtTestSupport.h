#pragma once
// Helpers of the Qt toolkit tests: the shared toolkit and mouse input sent
// straight to widgets (the offscreen platform has no pointer of its own).
#include "ui/qt/QtAccess.h"
#include "ui/qt/QtToolkit.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace velkor::ui::test {

QtToolkit& TestToolkit();

inline void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline void Press(QWidget* widget, QPoint at) {
    SendMouse(widget, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
}
inline void MoveHeld(QWidget* widget, QPoint at) {
    SendMouse(widget, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
}
inline void Release(QWidget* widget, QPoint at) {
    SendMouse(widget, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

// Runs the Qt loop until the condition holds (no clock involved: it waits for events).
template <typename Condition> void ProcessUntil(const Condition& condition) {
    while (!condition()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

} // namespace velkor::ui::test
