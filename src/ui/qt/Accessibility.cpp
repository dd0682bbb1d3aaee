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

// The label on the control's line that ends nearest before it, among its siblings.
QLabel* LabelBefore(QWidget* control) {
    QWidget* parent = control->parentWidget();
    if (parent == nullptr) {
        return nullptr;
    }
    const QRect area = control->geometry();
    QLabel* nearest = nullptr;
    int gap = std::numeric_limits<int>::max();
    for (QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        const QRect at = label->geometry();
        const bool sameLine = at.top() < area.bottom() && at.bottom() > area.top();
        const int before = area.left() - at.right();
        if (sameLine && before >= 0 && before < gap && label->buddy() == nullptr &&
            !label->text().isEmpty()) {
            nearest = label;
            gap = before;
        }
    }
    return nearest;
}

// Else the nearest label just above or below it, over its width (a column of
// sliders with their frequencies under them, a level under its heading).
QLabel* LabelOverOrUnder(QWidget* control) {
    QWidget* parent = control->parentWidget();
    if (parent == nullptr) {
        return nullptr;
    }
    const QRect area = control->geometry();
    QLabel* nearest = nullptr;
    int gap = std::numeric_limits<int>::max();
    for (QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        const QRect at = label->geometry();
        const int centre = at.center().x();
        if (centre < area.left() || centre > area.right() || label->buddy() != nullptr ||
            label->text().isEmpty()) {
            continue;
        }
        const int distance = at.top() > area.bottom() ? at.top() - area.bottom() : area.top() - at.bottom();
        if (distance >= 0 && distance < gap) {
            nearest = label;
            gap = distance;
        }
    }
    return nearest;
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
