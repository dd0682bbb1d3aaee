#include "ui/qt/RowView.h"

#include "ui/ControlClasses.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>

namespace velkor::ui {

RowView::RowView(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    // The style sheet addresses row views by this (the class has no meta-object of its own).
    setProperty("velkorRowView", true);
}

int RowView::RowHeight() const {
    const QWidget* first = m_slots.empty() ? nullptr : m_slots.front().data();
    if (first != nullptr && first->maximumHeight() < QWIDGETSIZE_MAX && first->maximumHeight() > 0) {
        return first->maximumHeight();
    }
    if (first != nullptr && first->sizeHint().height() > 0) {
        return first->sizeHint().height();
    }
    return kDefaultRowHeight;
}

void RowView::SetRowCount(int count) {
    m_rowCount = std::max(0, count);
    UpdateScrollBar();
    PlaceAll();
}

int RowView::FirstVisibleRow() const {
    return verticalScrollBar()->value() / RowHeight();
}

int RowView::VisibleRowCount() const {
    const int height = RowHeight();
    const int top = verticalScrollBar()->value();
    const int end = std::min(m_rowCount, (top + std::max(1, viewport()->height()) + height - 1) / height);
    return std::max(0, end - top / height);
}

int RowView::RowCapacity() const {
    const int height = RowHeight();
    // A row partly above the view and one partly below it.
    return (std::max(1, viewport()->height()) + height - 1) / height + 1;
}

void RowView::EnsureRowVisible(int row) {
    const int height = RowHeight();
    const int top = row * height;
    QScrollBar* bar = verticalScrollBar();
    if (top < bar->value()) {
        bar->setValue(top);
    } else if (top + height > bar->value() + viewport()->height()) {
        bar->setValue(top + height - viewport()->height());
    }
}

void RowView::AddSlot(QWidget* slot) {
    m_slots.emplace_back(slot);
    m_slotRows.push_back(-1);
    Place(SlotCount() - 1);
    slot->show();
    if (SlotCount() == 1) {
        UpdateScrollBar(); // the first slot sets the row height
    }
}

void RowView::SetSlotRow(int slot, int row) {
    if (slot >= 0 && slot < SlotCount()) {
        m_slotRows[size_t(slot)] = row;
        Place(slot);
    }
}

int RowView::SlotRow(int slot) const {
    return slot >= 0 && slot < SlotCount() ? m_slotRows[size_t(slot)] : -1;
}

int RowView::FocusedSlot() const {
    const QWidget* focus = QApplication::focusWidget();
    for (int slot = 0; focus != nullptr && slot < SlotCount(); ++slot) {
        const QWidget* widget = m_slots[size_t(slot)];
        if (widget != nullptr && (widget == focus || widget->isAncestorOf(focus))) {
            return slot;
        }
    }
    return -1;
}

void RowView::UpdateScrollBar() {
    const int height = RowHeight();
    const int view = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, m_rowCount * height - view));
    bar->setPageStep(view);
    bar->setSingleStep(height);
}

void RowView::Place(int slot) {
    QWidget* widget = m_slots[size_t(slot)];
    if (widget == nullptr) {
        return;
    }
    const int height = RowHeight();
    const int row = m_slotRows[size_t(slot)];
    // Out of sight rather than hidden: hiding would take the focus from it.
    const int y = row >= 0 ? row * height - verticalScrollBar()->value() : -2 * height;
    widget->setGeometry(0, y, viewport()->width(), height);
}

void RowView::PlaceAll() {
    for (int slot = 0; slot < SlotCount(); ++slot) {
        Place(slot);
    }
}

void RowView::TellIfChanged() {
    const int first = FirstVisibleRow();
    const int count = VisibleRowCount();
    const int capacity = RowCapacity();
    if (first == m_toldFirst && count == m_toldCount && capacity == m_toldCapacity) {
        return;
    }
    m_toldFirst = first;
    m_toldCount = count;
    m_toldCapacity = capacity;
    if (m_changed) {
        m_changed(first);
    }
}

void RowView::scrollContentsBy(int, int) {
    PlaceAll();
    TellIfChanged();
}

void RowView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBar();
    PlaceAll();
    TellIfChanged();
}

void RowView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const int row = (int(event->position().y()) + verticalScrollBar()->value()) / RowHeight();
    if (row >= 0 && row < m_rowCount && m_pressed) {
        m_pressed(row, event->modifiers());
    }
    event->accept();
}

} // namespace velkor::ui
