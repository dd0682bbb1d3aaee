#pragma once
// The Qt row view (class "RowView", RowViewControl): a scroll area whose
// viewport holds the few slot widgets the logic adds, each placed at the row
// it shows, pixel for pixel as the scroll bar moves; the scroll bar spans
// every row. It tells when the rows in view or the room for them changed, and
// when a row was pressed outside a widget that takes the press.
#include <QAbstractScrollArea>
#include <QPointer>
#include <functional>
#include <vector>

namespace velkor::ui {

class RowView final : public QAbstractScrollArea {
public:
    using ViewChanged = std::function<void(int firstRow)>;
    using RowPressed = std::function<void(int row, Qt::KeyboardModifiers modifiers)>;

    explicit RowView(QWidget* parent = nullptr);

    void SetViewChanged(ViewChanged changed) { m_changed = std::move(changed); }
    void SetRowPressed(RowPressed pressed) { m_pressed = std::move(pressed); }

    int RowCount() const { return m_rowCount; }
    void SetRowCount(int count);
    // The first slot's fixed height (its layout's, scaled), else its size hint.
    int RowHeight() const;
    int FirstVisibleRow() const;
    int VisibleRowCount() const;
    int RowCapacity() const;
    void EnsureRowVisible(int row);

    // Takes a widget built inside the viewport as the next slot, out of sight.
    void AddSlot(QWidget* slot);
    int SlotCount() const { return int(m_slots.size()); }
    void SetSlotRow(int slot, int row);
    int SlotRow(int slot) const;
    int FocusedSlot() const;

protected:
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void UpdateScrollBar();
    void Place(int slot);
    void PlaceAll();
    // Tells m_changed when the rows in view or the room for them changed.
    void TellIfChanged();

    ViewChanged m_changed;
    RowPressed m_pressed;
    int m_rowCount = 0;
    std::vector<QPointer<QWidget>> m_slots;
    std::vector<int> m_slotRows;
    int m_toldFirst = -1;
    int m_toldCount = -1;
    int m_toldCapacity = -1;
};

} // namespace velkor::ui
