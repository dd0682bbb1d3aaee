#include "ui/qt/Accessibility.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <limits>

namespace velkor::ui {

namespace {

bool IsValueControl(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QAbstractSlider*>(widget) != nullptr ||
           qobject_cast<const QComboBox*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr;
}

bool IsBuddyOfAny(const QWidget* control, const QWidget* parent) {
    for (const QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (label->buddy() == control) {
            return true;
        }
    }
    return false;
}

// The free labels among the control's siblings, the one `distance` puts
// nearest; `distance` gives -1 for a label out of place.
template <class Distance> QLabel* NearestLabel(QWidget* control, Distance distance) {
    QWidget* parent = control->parentWidget();
    if (parent == nullptr) {
        return nullptr;
    }
    const QRect area = control->geometry();
    QLabel* nearest = nullptr;
    int gap = std::numeric_limits<int>::max();
    for (QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (label->buddy() != nullptr || label->text().isEmpty()) {
            continue;
        }
        const int d = distance(area, label->geometry());
        if (d >= 0 && d < gap) {
            nearest = label;
            gap = d;
        }
    }
    return nearest;
}

// The label on the control's line that ends nearest before it.
QLabel* LabelBefore(QWidget* control) {
    return NearestLabel(control, [](const QRect& area, const QRect& at) {
        const bool sameLine = at.top() < area.bottom() && at.bottom() > area.top();
        return sameLine ? area.left() - at.right() : -1;
    });
}

// Else the nearest label just above or below it, over its width (a column of
// sliders with their frequencies under them, a level under its heading).
QLabel* LabelOverOrUnder(QWidget* control) {
    return NearestLabel(control, [](const QRect& area, const QRect& at) {
        const int centre = at.center().x();
        if (centre < area.left() || centre > area.right()) {
            return -1;
        }
        return at.top() > area.bottom() ? at.top() - area.bottom() : area.top() - at.bottom();
    });
}

} // namespace

void LabelValueControls(QWidget* root) {
    if (root == nullptr) {
        return;
    }
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (!IsValueControl(widget) || !widget->accessibleName().isEmpty() ||
            (widget->parentWidget() != nullptr && IsBuddyOfAny(widget, widget->parentWidget()))) {
            continue;
        }
        QLabel* label = LabelBefore(widget);
        if (label == nullptr) {
            label = LabelOverOrUnder(widget);
        }
        if (label != nullptr) {
            label->setBuddy(widget);
        }
    }
}

} // namespace velkor::ui
