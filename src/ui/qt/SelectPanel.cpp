#include "ui/qt/SelectPanel.h"

#include "ui/qt/DeviceKeyButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOption>

namespace velkor::ui {

SelectPanel::SelectPanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_StyledBackground);
}

void SelectPanel::WatchChild(QWidget* child) {
    if (child != nullptr) {
        child->installEventFilter(this);
    }
}

void SelectPanel::Press(QPoint at) {
    m_pressed = true;
    m_dragging = false;
    m_from = at;
    m_to = at;
}

bool SelectPanel::Move(QPoint at, QWidget* pressedChild) {
    if (!m_pressed) {
        return false;
    }
    m_to = at;
    if (!m_dragging && (at - m_from).manhattanLength() >= QApplication::startDragDistance()) {
        m_dragging = true;
        // The key under the press stops being a click: its release is ignored.
        if (auto* button = qobject_cast<QAbstractButton*>(pressedChild)) {
            button->setDown(false);
        }
    }
    if (m_dragging) {
        update();
    }
    return m_dragging;
}

void SelectPanel::Release(QPoint at) {
    const bool dragged = m_dragging;
    m_pressed = false;
    m_dragging = false;
    m_to = at;
    update();
    if (m_finished && (dragged || childAt(m_from) == nullptr)) {
        m_finished(m_from, at);
    }
}

void SelectPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        Press(event->position().toPoint());
    }
}

void SelectPanel::mouseMoveEvent(QMouseEvent* event) {
    Move(event->position().toPoint(), nullptr);
}

void SelectPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_pressed) {
        Release(event->position().toPoint());
    }
}

bool SelectPanel::eventFilter(QObject* watched, QEvent* event) {
    auto* child = qobject_cast<QWidget*>(watched);
    if (child == nullptr) {
        return false;
    }
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease) {
        return false;
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = child->mapTo(this, mouse->position().toPoint());
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        Press(at);
        return false; // the key still sees its press: without a drag it is a click
    }
    if (type == QEvent::MouseMove) {
        return Move(at, child);
    }
    if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton && m_pressed) {
        const bool dragged = m_dragging;
        if (dragged) {
            Release(at);
        } else {
            m_pressed = false; // a plain click on the key
        }
        return false;
    }
    return false;
}

void SelectPanel::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    // The keys' caps, in one pass: only those inside the repainted area.
    const QRect dirty = event->rect();
    for (QObject* child : children()) {
        auto* key = dynamic_cast<DeviceKeyButton*>(child);
        if (key != nullptr && key->PanelDrawn() && !key->isHidden() && key->geometry().intersects(dirty)) {
            key->PaintCap(painter, key->geometry(), m_edges);
        }
    }
    if (m_dragging) {
        painter.setPen(QPen(QColor(0xE0, 0x40, 0x2F), 1, Qt::DashLine));
        painter.setBrush(QColor(0xE0, 0x40, 0x2F, 40));
        painter.drawRect(QRect(m_from, m_to).normalized());
    }
}

} // namespace velkor::ui
