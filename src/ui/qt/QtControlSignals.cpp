// QtControl::Connect: the widget's signals become notifications, one function
// per control family, all raising through one Notifier.
#include "ui/ControlClasses.h"
#include "ui/qt/ColorPalette.h"
#include "ui/qt/QtControl.h"
#include "ui/qt/QtToolkit.h"
#include "ui/qt/QtWindow.h"
#include "ui/qt/RowView.h"
#include "ui/qt/SelectPanel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>

namespace velkor::ui {

namespace {

// Raises the notifications of the control of one widget. Every call looks the
// control up again: a control may go before its widget.
class Notifier {
public:
    Notifier(QtWindow& window, QWidget* widget, const QtToolkit& toolkit)
        : m_window(&window), m_widget(widget), m_toolkit(&toolkit) {}

    // The receiver of every connection: the connections end with the window.
    QObject* Context() const { return &m_window->Context(); }
    QtControl* Control() const { return m_window->ControlOf(m_widget); }

    void Raise(std::string_view type, int64_t wParam = 0, int64_t lParam = 0) const {
        if (QtControl* control = Control()) {
            control->Raise(type, wParam, lParam);
        }
    }
    // Only for a change the user made: the program's own changes run silenced.
    void RaiseFromUser(std::string_view type, int64_t wParam = 0, int64_t lParam = 0) const {
        if (!m_toolkit->IsSilenced()) {
            Raise(type, wParam, lParam);
        }
    }

private:
    QtWindow* m_window;
    QWidget* m_widget;
    const QtToolkit* m_toolkit;
};

void ConnectClick(const Notifier& notify, QAbstractButton* button) {
    QObject::connect(button, &QAbstractButton::clicked, notify.Context(),
                     [notify] { notify.Raise(kNotifyClick); });
}

// Options and check boxes: the new state, then the click that made it.
void ConnectToggle(const Notifier& notify, QAbstractButton* button) {
    QObject::connect(button, &QAbstractButton::toggled, notify.Context(),
                     [notify](bool) { notify.RaiseFromUser(kNotifySelectChanged); });
    ConnectClick(notify, button);
}

// Combos and lists: the control keeps the previous row and tells both.
template <typename Sender, typename Signal>
void ConnectIndexChanged(const Notifier& notify, Sender* sender, Signal signal) {
    QObject::connect(sender, signal, notify.Context(), [notify](int index) {
        if (QtControl* control = notify.Control()) {
            control->IndexChanged(index);
        }
    });
}

void ConnectList(const Notifier& notify, QListWidget* list) {
    ConnectIndexChanged(notify, list, &QListWidget::currentRowChanged);
    QObject::connect(
        list, &QListWidget::itemClicked, notify.Context(),
        [notify, list](QListWidgetItem* item) { notify.Raise(kNotifyItemClick, list->row(item)); });
    QObject::connect(
        list, &QListWidget::itemActivated, notify.Context(),
        [notify, list](QListWidgetItem* item) { notify.Raise(kNotifyItemActivate, list->row(item)); });
}

void ConnectSlider(const Notifier& notify, QSlider* slider) {
    QObject::connect(slider, &QAbstractSlider::sliderMoved, notify.Context(),
                     [notify](int value) { notify.Raise(kNotifyMoveValueChanged, value); });
    QObject::connect(slider, &QAbstractSlider::sliderReleased, notify.Context(),
                     [notify, slider] { notify.Raise(kNotifyValueChanged, slider->value()); });
    // Keyboard and page steps: a change while the handle is not held.
    QObject::connect(slider, &QAbstractSlider::valueChanged, notify.Context(), [notify, slider](int value) {
        if (!slider->isSliderDown()) {
            notify.RaiseFromUser(kNotifyValueChanged, value);
        }
    });
}

void ConnectEdit(const Notifier& notify, QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::textEdited, notify.Context(),
                     [notify](const QString&) { notify.Raise(kNotifyTextChanged); });
}

// A drag over the panel selects the keys it covers; the keys pass their drags on to it.
void ConnectSelectPanel(const Notifier& notify, SelectPanel* panel, const std::vector<Control*>& keys) {
    panel->SetDragFinished([notify](QPoint from, QPoint to) {
        if (QtControl* control = notify.Control()) {
            const int selected = ApplyDragSelection(
                *control, Rect::FromCorners(Point{from.x(), from.y()}, Point{to.x(), to.y()}));
            control->Raise(kNotifySelectEnd, selected);
        }
    });
    for (Control* key : keys) {
        panel->WatchChild(static_cast<QtControl*>(key)->Widget());
    }
}

void ConnectRowView(const Notifier& notify, RowView* view) {
    // Only what the user did: the program's own scrolling runs silenced and binds its rows itself.
    view->SetViewChanged([notify](int first) { notify.RaiseFromUser(kNotifyScroll, first); });
    view->SetRowPressed([notify](int row, Qt::KeyboardModifiers modifiers) {
        const int64_t held = ((modifiers & Qt::ShiftModifier) != 0 ? kRowClickShift : 0) |
                             ((modifiers & Qt::ControlModifier) != 0 ? kRowClickControl : 0);
        notify.Raise(kNotifyItemClick, row, held);
    });
}

} // namespace

void QtControl::Connect() {
    QWidget* widget = m_widget;
    const Notifier notify(m_window, widget, m_toolkit);
    if (auto* palette = dynamic_cast<ColorPalette*>(widget)) {
        palette->SetPicked([notify](uint32_t argb) { notify.Raise(kNotifyColorChanged, int64_t(argb)); });
    }
    switch (m_kind) {
    case ControlKind::Button:
    case ControlKind::KeyButton:
        ConnectClick(notify, static_cast<QAbstractButton*>(widget));
        break;
    case ControlKind::Option:
    case ControlKind::Check:
        ConnectToggle(notify, static_cast<QAbstractButton*>(widget));
        break;
    case ControlKind::Combo:
        ConnectIndexChanged(notify, static_cast<QComboBox*>(widget), &QComboBox::currentIndexChanged);
        break;
    case ControlKind::List:
        ConnectList(notify, static_cast<QListWidget*>(widget));
        break;
    case ControlKind::Slider:
        ConnectSlider(notify, static_cast<QSlider*>(widget));
        break;
    case ControlKind::Edit:
        ConnectEdit(notify, static_cast<QLineEdit*>(widget));
        break;
    case ControlKind::RowView:
        ConnectRowView(notify, static_cast<RowView*>(widget));
        break;
    case ControlKind::SelectPanel:
        ConnectSelectPanel(notify, static_cast<SelectPanel*>(widget), FindAllOfClass(kDeviceKeyButtonClass));
        break;
    case ControlKind::Container:
        // A list row built from a layout tells when the user asks for its menu.
        if (m_parent != nullptr &&
            (m_parent->Kind() == ControlKind::List || m_parent->Kind() == ControlKind::RowView)) {
            widget->setContextMenuPolicy(Qt::CustomContextMenu);
            QObject::connect(widget, &QWidget::customContextMenuRequested, notify.Context(),
                             [notify](const QPoint&) { notify.Raise(kNotifyMenu); });
        }
        break;
    default:
        break;
    }
}

void QtControl::IndexChanged(int index) {
    const int old = m_lastIndex;
    m_lastIndex = index;
    if (!m_toolkit.IsSilenced() && index != old) {
        Raise(kNotifyItemSelect, index, old);
    }
}

} // namespace velkor::ui
