#include "ui/qt/SelectPanel.h"

#include "ui/qt/DeviceKeyButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QChildEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOption>

#include <limits>
#include <map>

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

void SelectPanel::KeyChanged(DeviceKeyButton* key) {
    if (key == nullptr || key->parentWidget() != this) {
        return;
    }
    if (m_boardValid && !key->m_queued) {
        key->m_queued = true;
        m_changed.push_back(key);
    }
    update(key->geometry());
}

void SelectPanel::InvalidateBoard() {
    m_boardValid = false;
    m_rowsFitted = false;
    ++m_generation; // the background may have changed: the keys' overlays are made again
    for (DeviceKeyButton* key : m_changed) {
        key->m_queued = false;
    }
    m_changed.clear();
    update();
}

void SelectPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    InvalidateBoard();
}

void SelectPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::StyleChange:
    case QEvent::PaletteChange:
    case QEvent::EnabledChange:
    case QEvent::FontChange:
        InvalidateBoard();
        break;
    default:
        break;
    }
}

void SelectPanel::childEvent(QChildEvent* event) {
    QWidget::childEvent(event);
    if (event->type() == QEvent::ChildRemoved) {
        // The key that leaves may be half destroyed: it is dropped from the
        // list without being touched.
        std::erase_if(m_changed,
                      [&](DeviceKeyButton* key) { return static_cast<QObject*>(key) == event->child(); });
        InvalidateBoard();
    } else if (event->type() == QEvent::ChildAdded) {
        InvalidateBoard();
    }
}

void SelectPanel::SetPicture(Picture picture) {
    m_picture = ScaledPicture(std::move(picture));
    InvalidateBoard();
}

void SelectPanel::DrawBackground(QPainter& painter, const QRect& area) {
    painter.save();
    painter.setClipRect(area);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    if (!m_picture.IsNull()) {
        painter.drawPixmap(0, 0, m_picture.At(size(), devicePixelRatioF()));
    }
    painter.restore();
}

void SelectPanel::DrawKey(QPainter& painter, DeviceKeyButton& key) {
    key.PaintCapOnBoard(painter, m_edges, m_background, m_generation);
    ++m_capsDrawn;
}

void SelectPanel::CaptionsChanged() {
    m_rowsFitted = false;
    update();
}

void SelectPanel::FitRowCaptions() {
    m_rowsFitted = true;
    std::map<int, std::vector<DeviceKeyButton*>> rows;
    for (QObject* child : children()) {
        if (auto* key = dynamic_cast<DeviceKeyButton*>(child); key != nullptr && !key->isHidden()) {
            rows[key->geometry().top()].push_back(key);
        }
    }
    for (const auto& [top, keys] : rows) {
        int pixels = std::numeric_limits<int>::max();
        for (DeviceKeyButton* key : keys) {
            if (!key->text().isEmpty()) {
                // A caption that fits nowhere is elided alone; the rest of its row keeps its size.
                const int fits = LargestCaptionPixels(key->font(), key->text(), CaptionBox(key->size()));
                pixels = fits > 0 ? std::min(pixels, fits) : pixels;
            }
        }
        for (DeviceKeyButton* key : keys) {
            key->SetCaptionPixels(pixels == std::numeric_limits<int>::max() ? 0 : pixels);
        }
    }
}

void SelectPanel::UpdateBoard() {
    if (!m_rowsFitted) {
        FitRowCaptions();
    }
    const qreal ratio = devicePixelRatioF();
    if (m_boardValid && m_board.devicePixelRatio() != ratio) {
        InvalidateBoard();
    }
    if (!m_boardValid) {
        m_background = QPixmap(size() * ratio);
        m_background.setDevicePixelRatio(ratio);
        m_background.fill(Qt::transparent);
        {
            QPainter painter(&m_background);
            DrawBackground(painter, rect());
        }
        m_board = m_background.copy();
        m_board.setDevicePixelRatio(ratio);
        QPainter painter(&m_board);
        for (QObject* child : children()) {
            auto* key = dynamic_cast<DeviceKeyButton*>(child);
            if (key != nullptr && key->PanelDrawn() && !key->isHidden()) {
                DrawKey(painter, *key);
            }
        }
        m_boardValid = true;
        return;
    }
    if (m_changed.empty()) {
        return;
    }
    QPainter painter(&m_board);
    for (DeviceKeyButton* key : m_changed) {
        key->m_queued = false;
        if (!key->isHidden()) {
            DrawKey(painter, *key);
            continue;
        }
        // A hidden key leaves what lies behind it.
        const QRect area = key->geometry();
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawPixmap(area, m_background,
                           QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    m_changed.clear();
}

void SelectPanel::paintEvent(QPaintEvent* event) {
    UpdateBoard();
    QPainter painter(this);
    const qreal ratio = m_board.devicePixelRatio();
    for (const QRect& area : event->region()) {
        painter.drawPixmap(area, m_board,
                           QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));
    }
    if (m_dragging) {
        painter.setPen(QPen(QColor(0xE0, 0x40, 0x2F), 1, Qt::DashLine));
        painter.setBrush(QColor(0xE0, 0x40, 0x2F, 40));
        painter.drawRect(QRect(m_from, m_to).normalized());
    }
}

} // namespace velkor::ui
