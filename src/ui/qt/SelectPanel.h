#pragma once
// The selection panel of a device picture: a container whose key buttons can be
// selected by dragging a rectangle over them. A drag may start on free space or
// on a key (it then stops being a click once the pointer moves); the panel
// draws the rectangle while dragging and reports the press and release points.
#include "ui/qt/DeviceKeyButton.h"

#include <QPoint>
#include <QWidget>
#include <functional>

namespace velkor::ui {

class SelectPanel final : public QWidget {
public:
    using DragFinished = std::function<void(QPoint from, QPoint to)>;

    explicit SelectPanel(QWidget* parent = nullptr);

    void SetDragFinished(DragFinished callback) { m_finished = std::move(callback); }
    // Lets drags start on these children too (the panel's key buttons).
    void WatchChild(QWidget* child);
    bool IsDragging() const { return m_dragging; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Press(QPoint at);
    // True when the move belongs to a drag (started now or before).
    bool Move(QPoint at, QWidget* pressedChild);
    void Release(QPoint at);

    DragFinished m_finished;
    CapEdges m_edges; // of the keys it draws
    bool m_pressed = false;
    bool m_dragging = false;
    QPoint m_from;
    QPoint m_to;
};

} // namespace velkor::ui
