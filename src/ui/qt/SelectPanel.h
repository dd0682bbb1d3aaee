#pragma once
// The selection panel of a device picture: a container whose key buttons can be
// selected by dragging a rectangle over them. A drag may start on free space or
// on a key (it then stops being a click once the pointer moves); the panel
// draws the rectangle while dragging and reports the press and release points.
//
// The panel keeps a picture of the board (its background and every key cap)
// and redraws in it only the keys whose look changed since the last paint; a
// paint then copies the needed area from the picture. An animated preview
// that changes a band of keys costs those keys, and an expose or a drag
// rectangle moving over the board costs a copy, not 170 caps.
#include "ui/qt/BackgroundPicture.h"
#include "ui/qt/DeviceKeyButton.h"

#include <QPixmap>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

namespace velkor::ui {

class SelectPanel final : public QWidget {
public:
    using DragFinished = std::function<void(QPoint from, QPoint to)>;

    explicit SelectPanel(QWidget* parent = nullptr);

    void SetDragFinished(DragFinished callback) { m_finished = std::move(callback); }
    // Lets drags start on these children too (the panel's key buttons).
    void WatchChild(QWidget* child);
    bool IsDragging() const { return m_dragging; }

    // A key drawn by the panel changed its look (colour, selection, hover,
    // caption, visibility): it is redrawn in the picture at the next paint.
    void KeyChanged(DeviceKeyButton* key);
    // The whole picture is drawn again at the next paint (keys moved, the
    // style or size changed).
    void InvalidateBoard();
    // A caption changed: the caption sizes of the rows are chosen again.
    void CaptionsChanged();
    // Gives the keys of each row (keys whose tops are level) one caption
    // size, the largest at which every caption of the row fits its cap;
    // done before a paint whenever captions, keys or the font changed.
    void FitRowCaptions();
    // How many key caps the panel has drawn into its picture so far.
    uint64_t CapsDrawn() const { return m_capsDrawn; }
    // The device's drawing, painted over the panel's background and under
    // its keys at the panel's size and pixel ratio; a null picture removes it.
    void SetPicture(Picture picture);
    const ScaledPicture& CurrentPicture() const { return m_picture; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    // Brings the picture up to date: all of it, or only the changed keys.
    void UpdateBoard();
    void DrawBackground(QPainter& painter, const QRect& area);
    void DrawKey(QPainter& painter, DeviceKeyButton& key);

    void Press(QPoint at);
    // True when the move belongs to a drag (started now or before).
    bool Move(QPoint at, QWidget* pressedChild);
    void Release(QPoint at);

    DragFinished m_finished;
    CapEdges m_edges;     // of the keys it draws
    QPixmap m_board;      // the background with every visible key's cap
    QPixmap m_background; // the background and the picture, to clear a key's area
    ScaledPicture m_picture;
    bool m_boardValid = false;
    bool m_rowsFitted = false;
    uint64_t m_generation = 1;               // of the background, for the keys' overlays
    std::vector<DeviceKeyButton*> m_changed; // keys to redraw, each once
    uint64_t m_capsDrawn = 0;
    bool m_pressed = false;
    bool m_dragging = false;
    QPoint m_from;
    QPoint m_to;
};

} // namespace velkor::ui
