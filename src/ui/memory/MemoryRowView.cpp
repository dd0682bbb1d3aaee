// The row view family of the in-memory toolkit: it scrolls by whole rows and
// keeps which row each slot shows; nothing is drawn.
#include "ui/ControlClasses.h"
#include "ui/LayoutReader.h"
#include "ui/memory/MemoryControl.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryWindow.h"

#include <algorithm>

namespace velkor::ui {

int MemoryControl::RowHeight() const {
    const auto* first = static_cast<const MemoryControl*>(SlotControl(0));
    const int height = first != nullptr ? first->m_baseRect.height : 0;
    return height > 0 ? height : kDefaultRowHeight;
}

int MemoryControl::WholeRows() const {
    return std::max(1, m_viewHeight / RowHeight());
}

bool MemoryControl::SetRowCount(int count) {
    if (m_kind != ControlKind::RowView || count < 0) {
        return false;
    }
    m_rowCount = count;
    m_firstRow = std::clamp(m_firstRow, 0, std::max(0, m_rowCount - WholeRows()));
    return true;
}

int MemoryControl::VisibleRowCount() const {
    return std::clamp(m_rowCount - m_firstRow, 0, RowCapacity());
}

int MemoryControl::RowCapacity() const {
    if (m_kind != ControlKind::RowView) {
        return 0;
    }
    return std::max(1, (m_viewHeight + RowHeight() - 1) / RowHeight());
}

bool MemoryControl::ScrollToRow(int row) {
    const int first = std::clamp(row, 0, std::max(0, m_rowCount - WholeRows()));
    if (m_kind != ControlKind::RowView || first == m_firstRow) {
        return false;
    }
    m_firstRow = first;
    return true;
}

bool MemoryControl::EnsureRowVisible(int row) {
    if (m_kind != ControlKind::RowView || row < 0 || row >= m_rowCount) {
        return false;
    }
    if (row < m_firstRow) {
        ScrollToRow(row);
    } else if (row >= m_firstRow + WholeRows()) {
        ScrollToRow(row - WholeRows() + 1);
    }
    return true;
}

Control* MemoryControl::AddSlot(std::string_view layout, ControlCreator* creator, std::string* error) {
    if (m_kind != ControlKind::RowView) {
        if (error != nullptr) {
            *error = "'" + m_name + "' is not a row view";
        }
        return nullptr;
    }
    LayoutNode node;
    std::unique_ptr<MemoryControl> slot;
    if (!m_toolkit.ReadCheckedLayout(layout, creator, node, error) ||
        !m_toolkit.BuildTree(node, m_window, this, slot, error)) {
        return nullptr;
    }
    MemoryControl* built = slot.get();
    AddChild(std::move(slot));
    m_slotRows.push_back(-1);
    OfferCustomControls(creator, *built);
    return built;
}

Control* MemoryControl::SlotControl(int slot) const {
    // The slots are the last children (a layout gives a row view none of its own).
    const size_t first = m_children.size() - m_slotRows.size();
    return slot >= 0 && slot < SlotCount() ? m_children[first + size_t(slot)].get() : nullptr;
}

bool MemoryControl::SetSlotRow(int slot, int row) {
    if (slot < 0 || slot >= SlotCount() || row < -1) {
        return false;
    }
    m_slotRows[size_t(slot)] = row;
    return true;
}

int MemoryControl::SlotRow(int slot) const {
    return slot >= 0 && slot < SlotCount() ? m_slotRows[size_t(slot)] : -1;
}

int MemoryControl::FocusedSlot() const {
    const Control* focus = m_window.FocusedControl();
    for (int slot = 0; focus != nullptr && slot < SlotCount(); ++slot) {
        if (SlotControl(slot)->Contains(focus)) {
            return slot;
        }
    }
    return -1;
}

} // namespace velkor::ui
