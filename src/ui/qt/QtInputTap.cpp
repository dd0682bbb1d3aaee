#include "ui/qt/QtInputTap.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>
#include <linux/input-event-codes.h>

namespace velkor::ui {

std::optional<uint16_t> EvdevCodeOfKey(const QKeyEvent& event) {
    const quint32 native = event.nativeScanCode();
    if (native <= 8 || native - 8 > KEY_MAX) {
        return std::nullopt;
    }
    return uint16_t(native - 8);
}

std::optional<uint16_t> EvdevCodeOfButton(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return BTN_LEFT;
    case Qt::RightButton:
        return BTN_RIGHT;
    case Qt::MiddleButton:
        return BTN_MIDDLE;
    case Qt::BackButton:
        return BTN_SIDE;
    case Qt::ForwardButton:
        return BTN_EXTRA;
    default:
        return std::nullopt;
    }
}

QtInputTapFilter::QtInputTapFilter(QWidget& window, InputTap& tap) : m_window(&window), m_tap(&tap) {
    QCoreApplication::instance()->installEventFilter(this);
}

QtInputTapFilter::~QtInputTapFilter() {
    Detach();
}

void QtInputTapFilter::Detach() {
    if (m_tap == nullptr) {
        return;
    }
    m_tap = nullptr;
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->removeEventFilter(this);
    }
}

bool QtInputTapFilter::BelongsToWindow(QObject* watched) const {
    if (!m_window) {
        return false;
    }
    if (watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        return widget == m_window || m_window->isAncestorOf(widget);
    }
    // Input reaches the desktop window first, then its widgets.
    return watched->isWindowType() && static_cast<QWindow*>(watched) == m_window->windowHandle();
}

bool QtInputTapFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool key = type == QEvent::KeyPress || type == QEvent::KeyRelease;
    const bool button = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
                        type == QEvent::MouseButtonRelease;
    if (m_tap == nullptr || (!key && !button && type != QEvent::ShortcutOverride) ||
        !BelongsToWindow(watched)) {
        return false;
    }
    if (type == QEvent::ShortcutOverride) {
        event->accept(); // accepted: no shortcut fires; the key press that follows is swallowed below
        return true;
    }
    if (key) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        const std::optional<uint16_t> code = EvdevCodeOfKey(*keyEvent);
        if (code && !keyEvent->isAutoRepeat()) {
            m_tap->InputTapped(
                {InputPress::Kind::Key, *code, type == QEvent::KeyPress, int64_t(keyEvent->timestamp())});
        }
        return true;
    }
    // A button reaches the desktop window first, then each widget it propagates to: report it there only.
    if (watched->isWindowType()) {
        auto* mouseEvent = static_cast<QMouseEvent*>(event);
        if (const std::optional<uint16_t> code = EvdevCodeOfButton(mouseEvent->button())) {
            m_tap->InputTapped({InputPress::Kind::Button, *code, type != QEvent::MouseButtonRelease,
                                int64_t(mouseEvent->timestamp())});
        }
    }
    return false;
}

} // namespace velkor::ui
