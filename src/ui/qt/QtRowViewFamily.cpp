// The row view family of the Qt toolkit (ControlFamilies.h): the RowView
// widget places the slots; the slots are the control's children.
#include "ui/ControlClasses.h"
#include "ui/qt/QtControl.h"
#include "ui/qt/QtLoader.h"
#include "ui/qt/QtToolkit.h"
#include "ui/qt/QtWindow.h"
#include "ui/qt/RowView.h"

#include <algorithm>

namespace velkor::ui {

int QtControl::RowCount() const {
    auto* view = dynamic_cast<RowView*>(m_widget.data());
    return view != nullptr ? view->RowCount() : 0;
}

bool QtControl::SetRowCount(int count) {
    auto* view = dynamic_cast<RowView*>(m_widget.data());
    if (view == nullptr || count < 0) {
        return false;
    }
    QtToolkit::Silence silence(m_toolkit);
    view->SetRowCount(count);
    return true;
}

int QtControl::FirstVisibleRow() const {
    auto* view = dynamic_cast<RowView*>(m_widget.data());
    return view != nullptr ? view->FirstVisibleRow() : 0;
}

int QtControl::VisibleRowCount() const {
    auto* view = dynamic_cast<RowView*>(m_widget.data());
    return view != nullptr ? view->VisibleRowCount() : 0;
}

int QtControl::RowCapacity() const {
    auto* view = dynamic_cast<RowView*>(m_widget.data());
    return view != nullptr ? view->RowCapacity() : 0;
}

bool QtControl::EnsureRowVisible(int row) {
    auto* view = dynamic_cast<RowView*>(m_widget.data());
    if (view == nullptr || row < 0 || row >= view->RowCount()) {
        return false;
    }
    QtToolkit::Silence silence(m_toolkit);
    view->EnsureRowVisible(row);
    return true;
}

Control* QtControl::AddSlot(std::string_view layout, ControlCreator* creator, std::string* error) {
    auto* view = dynamic_cast<RowView*>(m_widget.data());
    if (view == nullptr) {
        if (error != nullptr) {
            *error = "'" + m_name + "' is not a row view";
        }
        return nullptr;
    }
    LoadedLayout loaded;
    if (!LoadLayout(m_toolkit.Resources(), layout, creator, view->viewport(), loaded, error)) {
        return nullptr;
    }
    QtToolkit::Silence silence(m_toolkit);
    QtControl* slot = m_window.WrapBelow(*this, loaded.widgets, true);
    view->AddSlot(loaded.top);
    OfferCustomControls(creator, *slot);
    return slot;
}

int QtControl::SlotCount() const {
    auto* view = dynamic_cast<RowView*>(m_widget.data());
    return view != nullptr ? std::min(view->SlotCount(), int(m_children.size())) : 0;
}

Control* QtControl::SlotControl(int slot) const {
    // The slots are the last children (a layout gives a row view none of its own).
    const int count = SlotCount();
    return slot >= 0 && slot < count ? m_children[m_children.size() - size_t(count) + size_t(slot)] : nullptr;
}

bool QtControl::SetSlotRow(int slot, int row) {
    auto* view = dynamic_cast<RowView*>(m_widget.data());
    if (view == nullptr || slot < 0 || slot >= SlotCount() || row < -1) {
        return false;
    }
    view->SetSlotRow(slot, row);
    return true;
}

int QtControl::SlotRow(int slot) const {
    auto* view = dynamic_cast<RowView*>(m_widget.data());
    return view != nullptr ? view->SlotRow(slot) : -1;
}

int QtControl::FocusedSlot() const {
    auto* view = dynamic_cast<RowView*>(m_widget.data());
    return view != nullptr ? view->FocusedSlot() : -1;
}

} // namespace velkor::ui
