#include "ui/qt/QtControl.h"

#include "ui/ControlClasses.h"
#include "ui/qt/AudioRecord.h"
#include "ui/qt/DeviceKeyButton.h"
#include "ui/qt/QtLoader.h"
#include "ui/qt/QtToolkit.h"
#include "ui/qt/QtWindow.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QListWidget>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <algorithm>
#include <optional>

// The operations of the control families (ControlFamilies.h) on Qt widgets:
// each answers only for the kinds its As...() hands out.
namespace velkor::ui {

// Const like the tree's operations: a const control still hands out its parts.
RangeControl* QtControl::AsRange() const {
    return KindHasValue(m_kind) ? const_cast<QtControl*>(this) : nullptr;
}

ListControl* QtControl::AsList() const {
    return KindHasItems(m_kind) ? const_cast<QtControl*>(this) : nullptr;
}

SelectableControl* QtControl::AsSelectable() const {
    return KindHasSelection(m_kind) ? const_cast<QtControl*>(this) : nullptr;
}

RowViewControl* QtControl::AsRowView() const {
    return m_kind == ControlKind::RowView ? const_cast<QtControl*>(this) : nullptr;
}

PageControl* QtControl::AsPage() const {
    return m_kind == ControlKind::Tab ? const_cast<QtControl*>(this) : nullptr;
}

LightControl* QtControl::AsLight() const {
    return dynamic_cast<DeviceKeyButton*>(m_widget.data()) != nullptr ? const_cast<QtControl*>(this)
                                                                      : nullptr;
}

WaveformControl* QtControl::AsWaveform() const {
    return dynamic_cast<AudioRecord*>(m_widget.data()) != nullptr ? const_cast<QtControl*>(this) : nullptr;
}

bool QtControl::IsSelected() const {
    if (auto* key = dynamic_cast<DeviceKeyButton*>(m_widget.data())) {
        return key->IsSelected();
    }
    if (m_kind == ControlKind::Option || m_kind == ControlKind::Check) {
        return static_cast<QAbstractButton*>(m_widget.data())->isChecked();
    }
    return false;
}

bool QtControl::SetSelected(bool selected, bool notify) {
    if (!KindHasSelection(m_kind)) {
        return false;
    }
    if (IsSelected() == selected) {
        return true;
    }
    if (auto* key = dynamic_cast<DeviceKeyButton*>(m_widget.data())) {
        key->SetSelected(selected);
        if (notify) {
            Raise(kNotifySelectChanged);
        }
        return true;
    }
    std::optional<QtToolkit::Silence> silence;
    if (!notify) {
        silence.emplace(m_toolkit);
    }
    auto* button = static_cast<QAbstractButton*>(m_widget.data());
    if (!selected && button->autoExclusive()) {
        // Qt keeps the checked option of a group checked; the logic may clear it.
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
    } else {
        button->setChecked(selected);
    }
    return true;
}

int QtControl::CurrentPage() const {
    if (auto* tab = qobject_cast<QTabWidget*>(m_widget)) {
        return tab->currentIndex();
    }
    if (auto* stack = qobject_cast<QStackedWidget*>(m_widget)) {
        return stack->currentIndex();
    }
    return -1;
}

bool QtControl::SelectPage(int index) {
    if (m_kind != ControlKind::Tab || index < 0 || index >= int(m_children.size())) {
        return false;
    }
    QWidget* page = m_children[size_t(index)]->Widget();
    if (auto* tab = qobject_cast<QTabWidget*>(m_widget)) {
        tab->setCurrentWidget(page);
    } else if (auto* stack = qobject_cast<QStackedWidget*>(m_widget)) {
        stack->setCurrentWidget(page);
    }
    return true;
}

bool QtControl::ValidItem(int index) const {
    return KindHasItems(m_kind) && index >= 0 && index < int(m_rows.size());
}

int QtControl::InsertPosition(int index) const {
    if (!KindHasItems(m_kind)) {
        return -1;
    }
    if (index == -1) {
        return int(m_rows.size());
    }
    return index >= 0 && index <= int(m_rows.size()) ? index : -1;
}

void QtControl::RememberIndex() {
    m_lastIndex = SelectedIndex();
}

int QtControl::ItemCount() const {
    return KindHasItems(m_kind) ? int(m_rows.size()) : 0;
}

bool QtControl::InsertItem(int index, std::string_view text, std::string_view userData) {
    const int at = InsertPosition(index);
    if (at < 0) {
        return false;
    }
    QtToolkit::Silence silence(m_toolkit);
    const int selected = SelectedIndex();
    m_rows.insert(m_rows.begin() + at, Row{std::string(text), std::string(userData), nullptr});
    if (auto* combo = qobject_cast<QComboBox*>(m_widget)) {
        combo->insertItem(at, Shown(m_rows[size_t(at)].text));
        if (selected < 0) {
            combo->setCurrentIndex(-1); // Qt selects the first row of an empty combo; the logic decides
        }
    } else if (auto* list = qobject_cast<QListWidget*>(m_widget)) {
        list->insertItem(at, Shown(m_rows[size_t(at)].text));
    }
    RememberIndex();
    return true;
}

Control* QtControl::InsertItemLayout(int index, std::string_view layout, ControlCreator* creator,
                                     std::string* error) {
    auto* list = qobject_cast<QListWidget*>(m_widget);
    const int at = list != nullptr ? InsertPosition(index) : -1;
    if (at < 0) {
        if (error != nullptr) {
            *error = list != nullptr ? "row index out of range" : "'" + m_name + "' is not a list";
        }
        return nullptr;
    }
    LoadedLayout loaded;
    if (!LoadLayout(m_toolkit.Resources(), layout, creator, nullptr, loaded, error)) {
        return nullptr;
    }
    QtToolkit::Silence silence(m_toolkit);
    auto* item = new QListWidgetItem();
    item->setSizeHint(loaded.top->sizeHint());
    list->insertItem(at, item);
    list->setItemWidget(item, loaded.top);
    QtControl* row = m_window.WrapBelow(*this, loaded.widgets, false);
    m_rows.insert(m_rows.begin() + at, Row{row->Text(), row->UserData(), row});
    RememberIndex();
    OfferCustomControls(creator, *row);
    return row;
}

void QtControl::DropRowControl(int index) {
    Row& row = m_rows[size_t(index)];
    if (row.control == nullptr) {
        return;
    }
    QPointer<QWidget> widget = row.control->Widget();
    m_window.Forget(*row.control);
    row.control = nullptr;
    delete widget.data();
}

bool QtControl::RemoveItem(int index) {
    if (!ValidItem(index)) {
        return false;
    }
    QtToolkit::Silence silence(m_toolkit);
    const int selected = SelectedIndex();
    DropRowControl(index);
    m_rows.erase(m_rows.begin() + index);
    if (auto* combo = qobject_cast<QComboBox*>(m_widget)) {
        combo->removeItem(index);
    } else if (auto* list = qobject_cast<QListWidget*>(m_widget)) {
        delete list->takeItem(index);
    }
    // Qt moves the selection to a neighbour; the logic expects none.
    const int now = selected == index ? -1 : selected > index ? selected - 1 : selected;
    if (auto* combo = qobject_cast<QComboBox*>(m_widget)) {
        combo->setCurrentIndex(now);
    } else if (auto* list = qobject_cast<QListWidget*>(m_widget)) {
        list->setCurrentRow(now);
        if (now < 0) {
            list->clearSelection();
        }
    }
    RememberIndex();
    return true;
}

void QtControl::RemoveAllItems() {
    if (m_rows.empty()) {
        return;
    }
    // One clear, not a removal per row: each removal makes the list move its
    // rows and selection again, which a long macro pays thousands of times.
    QtToolkit::Silence silence(m_toolkit);
    m_widget->setUpdatesEnabled(false);
    for (int i = 0; i < int(m_rows.size()); ++i) {
        DropRowControl(i);
    }
    m_rows.clear();
    if (auto* combo = qobject_cast<QComboBox*>(m_widget)) {
        combo->clear();
        combo->setCurrentIndex(-1);
    } else if (auto* list = qobject_cast<QListWidget*>(m_widget)) {
        list->clear();
        list->setCurrentRow(-1);
        list->clearSelection();
    }
    m_widget->setUpdatesEnabled(true);
    RememberIndex();
}

std::string QtControl::ItemText(int index) const {
    return ValidItem(index) ? m_rows[size_t(index)].text : "";
}

bool QtControl::SetItemText(int index, std::string_view text) {
    if (!ValidItem(index)) {
        return false;
    }
    m_rows[size_t(index)].text = text;
    RefreshTexts();
    return true;
}

std::string QtControl::ItemUserData(int index) const {
    return ValidItem(index) ? m_rows[size_t(index)].userData : "";
}

bool QtControl::SetItemUserData(int index, std::string_view data) {
    if (!ValidItem(index)) {
        return false;
    }
    m_rows[size_t(index)].userData = data;
    return true;
}

Control* QtControl::ItemControl(int index) const {
    return ValidItem(index) ? m_rows[size_t(index)].control : nullptr;
}

int QtControl::SelectedIndex() const {
    if (auto* combo = qobject_cast<QComboBox*>(m_widget)) {
        return combo->currentIndex();
    }
    if (auto* list = qobject_cast<QListWidget*>(m_widget)) {
        return list->currentRow();
    }
    return -1;
}

bool QtControl::SelectItem(int index, bool notify) {
    if (!KindHasItems(m_kind) || index < -1 || index >= int(m_rows.size())) {
        return false;
    }
    std::optional<QtToolkit::Silence> silence;
    if (!notify) {
        silence.emplace(m_toolkit);
    }
    if (auto* combo = qobject_cast<QComboBox*>(m_widget)) {
        combo->setCurrentIndex(index);
    } else if (auto* list = qobject_cast<QListWidget*>(m_widget)) {
        list->setCurrentRow(index);
        if (index < 0) {
            list->clearSelection();
        }
    }
    RememberIndex();
    return true;
}

bool QtControl::EnsureItemVisible(int index) {
    if (!ValidItem(index)) {
        return false;
    }
    if (auto* list = qobject_cast<QListWidget*>(m_widget)) {
        list->scrollToItem(list->item(index));
    }
    return true;
}

int QtControl::Value() const {
    if (auto* slider = qobject_cast<QAbstractSlider*>(m_widget)) {
        return slider->value();
    }
    if (auto* progress = qobject_cast<QProgressBar*>(m_widget)) {
        return progress->value();
    }
    return 0;
}

bool QtControl::SetValue(int value) {
    QtToolkit::Silence silence(m_toolkit);
    if (auto* slider = qobject_cast<QAbstractSlider*>(m_widget)) {
        slider->setValue(std::clamp(value, slider->minimum(), slider->maximum()));
        return true;
    }
    if (auto* progress = qobject_cast<QProgressBar*>(m_widget)) {
        // QProgressBar ignores values outside its range instead of clamping them.
        progress->setValue(std::clamp(value, progress->minimum(), progress->maximum()));
        return true;
    }
    return false;
}

int QtControl::Minimum() const {
    if (auto* slider = qobject_cast<QAbstractSlider*>(m_widget)) {
        return slider->minimum();
    }
    if (auto* progress = qobject_cast<QProgressBar*>(m_widget)) {
        return progress->minimum();
    }
    return 0;
}

int QtControl::Maximum() const {
    if (auto* slider = qobject_cast<QAbstractSlider*>(m_widget)) {
        return slider->maximum();
    }
    if (auto* progress = qobject_cast<QProgressBar*>(m_widget)) {
        return progress->maximum();
    }
    return 0;
}

bool QtControl::SetRange(int minimum, int maximum) {
    if (!KindHasValue(m_kind) || minimum > maximum) {
        return false;
    }
    QtToolkit::Silence silence(m_toolkit);
    if (auto* slider = qobject_cast<QAbstractSlider*>(m_widget)) {
        slider->setRange(minimum, maximum);
    } else if (auto* progress = qobject_cast<QProgressBar*>(m_widget)) {
        const int value = std::clamp(progress->value(), minimum, maximum);
        progress->setRange(minimum, maximum);
        progress->setValue(value);
    }
    return true;
}

bool QtControl::SetLight(uint32_t rgb, uint8_t level) {
    auto* key = dynamic_cast<DeviceKeyButton*>(m_widget.data());
    if (key == nullptr) {
        return false;
    }
    key->SetLight(rgb, level);
    return true;
}

uint32_t QtControl::LightColour() const {
    auto* key = dynamic_cast<DeviceKeyButton*>(m_widget.data());
    return key != nullptr ? key->LightColour() : 0;
}

uint8_t QtControl::LightLevel() const {
    auto* key = dynamic_cast<DeviceKeyButton*>(m_widget.data());
    return key != nullptr ? key->LightLevel() : 0;
}

bool QtControl::SetWaveform(std::span<const int16_t> samples) {
    auto* wave = dynamic_cast<AudioRecord*>(m_widget.data());
    if (wave == nullptr) {
        return false;
    }
    wave->SetSamples(samples);
    return true;
}

std::vector<int16_t> QtControl::Waveform() const {
    auto* wave = dynamic_cast<AudioRecord*>(m_widget.data());
    return wave != nullptr ? wave->Samples() : std::vector<int16_t>{};
}

} // namespace velkor::ui
