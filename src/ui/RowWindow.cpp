#include "ui/RowWindow.h"

#include "ui/Control.h"
#include "ui/Window.h"

#include <algorithm>

namespace velkor::ui {

RowWindow::RowWindow(Control& view, std::string rowLayout, RowSource& source, ControlCreator* creator)
    : m_view(view), m_rows(view.AsRowView()), m_layout(std::move(rowLayout)), m_source(source),
      m_creator(creator) {
    m_view.OwnerWindow().AddNotifier(*this);
}

RowWindow::~RowWindow() {
    m_view.OwnerWindow().RemoveNotifier(*this);
}

int RowWindow::RowCountNow() const {
    return std::max(0, m_source.RowCount());
}

template <typename Map> void RowWindow::Renumber(Map map) {
    for (int slot = 0; m_rows != nullptr && slot < m_rows->SlotCount(); ++slot) {
        const int row = m_rows->SlotRow(slot);
        if (row >= 0 && map(row) != row) {
            m_rows->SetSlotRow(slot, map(row));
        }
    }
    m_current = m_current >= 0 ? map(m_current) : -1;
    m_anchor = m_anchor >= 0 ? map(m_anchor) : -1;
}

void RowWindow::Reset() {
    m_selected.assign(size_t(RowCountNow()), 0);
    m_current = m_anchor = -1;
    if (m_rows == nullptr) {
        return;
    }
    for (int slot = 0; slot < m_rows->SlotCount(); ++slot) {
        m_rows->SetSlotRow(slot, -1);
    }
    m_rows->SetRowCount(RowCountNow());
    m_rows->EnsureRowVisible(0);
    Update();
}

void RowWindow::Inserted(int at, int count) {
    if (at < 0 || count <= 0 || at > int(m_selected.size())) {
        return;
    }
    m_selected.insert(m_selected.begin() + at, size_t(count), 0);
    Renumber([at, count](int row) { return row >= at ? row + count : row; });
    if (m_rows != nullptr) {
        m_rows->SetRowCount(RowCountNow());
    }
    Update();
}

void RowWindow::Removed(const std::vector<int>& rows) {
    if (rows.empty()) {
        return;
    }
    // A row's new number is its old one less the removed rows before it.
    const auto map = [&rows](int row) {
        const auto at = std::lower_bound(rows.begin(), rows.end(), row);
        if (at != rows.end() && *at == row) {
            return -1;
        }
        return row - int(at - rows.begin());
    };
    std::vector<char> kept;
    kept.reserve(m_selected.size());
    for (int row = 0; row < int(m_selected.size()); ++row) {
        if (map(row) >= 0) {
            kept.push_back(m_selected[size_t(row)]);
        }
    }
    m_selected = std::move(kept);
    Renumber(map);
    if (m_rows != nullptr) {
        m_rows->SetRowCount(RowCountNow());
    }
    Update();
}

void RowWindow::Moved(int from, int to) {
    const int size = int(m_selected.size());
    if (from < 0 || to < 0 || from >= size || to >= size || from == to) {
        return;
    }
    const auto first = m_selected.begin();
    if (from < to) {
        std::rotate(first + from, first + from + 1, first + to + 1);
    } else {
        std::rotate(first + to, first + from, first + from + 1);
    }
    Renumber([from, to](int row) {
        if (row == from) {
            return to;
        }
        if (from < to && row > from && row <= to) {
            return row - 1;
        }
        if (to < from && row >= to && row < from) {
            return row + 1;
        }
        return row;
    });
    Update();
}

void RowWindow::Changed(int row) {
    for (int slot = 0; m_rows != nullptr && slot < m_rows->SlotCount(); ++slot) {
        if (m_rows->SlotRow(slot) == row && row < RowCountNow()) {
            m_source.ShowRow(*m_rows->SlotControl(slot), row);
        }
    }
}

void RowWindow::TakeEdits() {
    if (m_busy || m_rows == nullptr) {
        return;
    }
    const int count = RowCountNow();
    for (int slot = 0; slot < m_rows->SlotCount(); ++slot) {
        const int row = m_rows->SlotRow(slot);
        if (row >= 0 && row < count) {
            m_source.LeaveRow(*m_rows->SlotControl(slot), row);
        }
    }
}

bool RowWindow::IsSelected(int row) const {
    return row >= 0 && row < int(m_selected.size()) && m_selected[size_t(row)] != 0;
}

std::vector<int> RowWindow::SelectedRows() const {
    std::vector<int> rows;
    for (int row = 0; row < int(m_selected.size()); ++row) {
        if (m_selected[size_t(row)] != 0) {
            rows.push_back(row);
        }
    }
    return rows;
}

void RowWindow::Select(int row) {
    std::fill(m_selected.begin(), m_selected.end(), 0);
    if (row >= 0 && row < int(m_selected.size())) {
        m_selected[size_t(row)] = 1;
        m_current = m_anchor = row;
    } else {
        m_current = m_anchor = -1;
    }
    ShowSelectionEverywhere();
}

void RowWindow::Press(int row, int64_t modifiers) {
    if (row < 0 || row >= int(m_selected.size())) {
        return;
    }
    const bool control = (modifiers & kRowClickControl) != 0;
    if ((modifiers & kRowClickShift) != 0) {
        if (m_anchor < 0) {
            m_anchor = row;
        }
        if (!control) {
            std::fill(m_selected.begin(), m_selected.end(), 0);
        }
        std::fill(m_selected.begin() + std::min(m_anchor, row),
                  m_selected.begin() + std::max(m_anchor, row) + 1, 1);
        m_current = row;
    } else if (control) {
        m_selected[size_t(row)] ^= 1;
        m_current = m_anchor = row;
    } else {
        Select(row);
        return;
    }
    ShowSelectionEverywhere();
}

void RowWindow::PressForMenu(int row) {
    if (IsSelected(row)) {
        m_current = row;
    } else {
        Select(row);
    }
}

void RowWindow::EnsureVisible(int row) {
    if (m_rows != nullptr && m_rows->EnsureRowVisible(row)) {
        Update();
    }
}

int RowWindow::SlotCount() const {
    return m_rows != nullptr ? m_rows->SlotCount() : 0;
}

Control* RowWindow::ControlOf(int row) const {
    for (int slot = 0; row >= 0 && slot < SlotCount(); ++slot) {
        if (m_rows->SlotRow(slot) == row) {
            return m_rows->SlotControl(slot);
        }
    }
    return nullptr;
}

int RowWindow::RowOf(const Control* control) const {
    for (int slot = 0; control != nullptr && slot < SlotCount(); ++slot) {
        if (m_rows->SlotControl(slot)->Contains(control)) {
            return m_rows->SlotRow(slot);
        }
    }
    return -1;
}

void RowWindow::Notify(const Notification& notification) {
    if (notification.sender != &m_view) {
        return;
    }
    if (notification.type == kNotifyScroll) {
        Update();
    } else if (notification.type == kNotifyItemClick) {
        Press(int(notification.wParam), notification.lParam);
    }
}

bool RowWindow::AddSlots(int wanted) {
    while (!m_broken && m_rows->SlotCount() < wanted) {
        if (m_rows->AddSlot(m_layout, m_creator) == nullptr) {
            m_broken = true; // a layout that failed once fails again: no retry on every scroll
        }
    }
    return !m_broken;
}

void RowWindow::Update() {
    if (m_busy || m_rows == nullptr) {
        return;
    }
    m_busy = true;
    const int count = RowCountNow();
    m_selected.resize(size_t(count), 0);
    // One spare slot: the focused one may keep a row scrolled out of view.
    AddSlots(m_rows->RowCapacity() + 1);
    const int first = m_rows->FirstVisibleRow();
    const int end = std::min(count, first + m_rows->VisibleRowCount());
    const int focused = m_rows->FocusedSlot();
    std::vector<char> shown(size_t(std::max(0, end - first)), 0);
    std::vector<int> free;
    for (int slot = 0; slot < m_rows->SlotCount(); ++slot) {
        const int row = m_rows->SlotRow(slot);
        if (row >= first && row < end && shown[size_t(row - first)] == 0) {
            shown[size_t(row - first)] = 1;
        } else if (slot != focused || row < 0 || row >= count) {
            free.push_back(slot);
        }
    }
    for (int row = first; row < end && !free.empty(); ++row) {
        if (shown[size_t(row - first)] != 0) {
            continue;
        }
        const int slot = free.back();
        free.pop_back();
        if (const int old = m_rows->SlotRow(slot); old >= 0 && old < count) {
            m_source.LeaveRow(*m_rows->SlotControl(slot), old);
        }
        m_rows->SetSlotRow(slot, row);
        m_source.ShowRow(*m_rows->SlotControl(slot), row);
        ShowSelection(slot);
    }
    m_busy = false;
}

void RowWindow::ShowSelection(int slot) {
    const int row = m_rows->SlotRow(slot);
    m_rows->SlotControl(slot)->SetStyleClass(IsSelected(row) ? kSelectedStyle : std::string_view());
}

void RowWindow::ShowSelectionEverywhere() {
    for (int slot = 0; slot < SlotCount(); ++slot) {
        ShowSelection(slot);
    }
}

} // namespace velkor::ui
