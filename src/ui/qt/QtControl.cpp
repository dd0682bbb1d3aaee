#include "ui/qt/QtControl.h"

#include "ui/ControlClasses.h"
#include "ui/LayoutReader.h"
#include "ui/qt/AudioRecord.h"
#include "ui/qt/BackgroundPicture.h"
#include "ui/qt/ColorPalette.h"
#include "ui/qt/DeviceKeyButton.h"
#include "ui/qt/QtToolkit.h"
#include "ui/qt/QtWindow.h"
#include "ui/qt/RowView.h"
#include "ui/qt/SelectPanel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QStyle>
#include <algorithm>
#include <cmath>

namespace velkor::ui {

namespace {

QString ToQt(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

int Scaled(int length, double factor) {
    return int(std::lround(length * factor));
}

QRect ScaledRect(const QRect& rect, double factor) {
    return QRect(Scaled(rect.x(), factor), Scaled(rect.y(), factor), Scaled(rect.width(), factor),
                 Scaled(rect.height(), factor));
}

// Where `widget`'s own parent lies inside `host`, the parent control's widget.
QPoint OffsetInHost(const QWidget* widget, const QWidget* host) {
    const QWidget* parent = widget->parentWidget();
    if (parent == nullptr || host == nullptr || parent == host || !host->isAncestorOf(parent)) {
        return QPoint(0, 0);
    }
    return parent->mapTo(host, QPoint(0, 0));
}

} // namespace

QtControl::QtControl(QtToolkit& toolkit, QtWindow& window, QWidget* widget, QtControl* parent,
                     const LayoutNode& node, ControlKind kind)
    : m_toolkit(toolkit), m_window(window), m_widget(widget), m_parent(parent), m_name(node.name),
      m_className(node.className), m_kind(kind) {
    m_text = node.String("text", node.String("title"));
    m_resourceText = node.Bool("resourceText", false);
    m_toolTip = node.String("toolTip");
    m_userData = node.String("userData");
    m_fontId = int(std::max<int64_t>(-1, node.Number("fontId", -1)));
    m_backgroundImage = node.String("bkImage");
    m_backgroundColour = ParseColour(node.String("bkColor")).value_or(0);
    m_ownStyleSheet = widget->styleSheet();
    // The style sheet can address the program's classes: QWidget[velkorClass="SelectPanel"].
    widget->setProperty("velkorClass", QString::fromStdString(m_className));
    m_placedByLayout = node.placedByLayout;
    const LayoutValue* geometry = node.Property("geometry");
    m_baseRect = geometry != nullptr && geometry->type == LayoutValue::Type::Rect
                     ? QRect(geometry->rect.x, geometry->rect.y, geometry->rect.width, geometry->rect.height)
                     : widget->geometry();
    m_baseMinimum = widget->minimumSize();
    m_baseMaximum = widget->maximumSize();
    if (KindHasItems(kind)) {
        for (const LayoutItem& item : node.items) {
            m_rows.push_back(Row{item.text, item.userData, nullptr});
        }
    }
    QtToolkit::Silence silence(m_toolkit);
    if (auto* progress = qobject_cast<QProgressBar*>(widget); progress != nullptr && progress->value() < 0) {
        progress->setValue(progress->minimum()); // Qt's "no value yet" is not a value the logic knows
    }
    if (auto* key = dynamic_cast<DeviceKeyButton*>(widget)) {
        key->SetSelected(node.Bool("checked", false));
    }
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
        list->setCurrentRow(int(node.Number("currentRow", -1)));
    }
    RememberIndex();
    if (auto* palette = dynamic_cast<ColorPalette*>(widget); palette != nullptr && m_backgroundColour != 0) {
        palette->SetMarkedColour(m_backgroundColour);
    } else if (auto* wave = dynamic_cast<AudioRecord*>(widget); wave != nullptr) {
        wave->SetBackground(m_backgroundColour);
    } else if (m_backgroundColour != 0 || !m_backgroundImage.empty()) {
        ApplyPicture();
        ApplyStyle();
    }
    RefreshTexts();
}

QtControl::~QtControl() {
    for (auto& [id, timer] : m_timers) {
        delete timer.data();
    }
    if (auto* panel = dynamic_cast<SelectPanel*>(m_widget.data())) {
        panel->SetDragFinished(nullptr);
    }
    if (auto* view = dynamic_cast<RowView*>(m_widget.data())) {
        view->SetViewChanged(nullptr);
        view->SetRowPressed(nullptr);
    }
}

Window& QtControl::OwnerWindow() const {
    return m_window;
}

int QtControl::ChildCount() const {
    if (m_kind != ControlKind::List) {
        return int(m_children.size());
    }
    return int(
        std::count_if(m_rows.begin(), m_rows.end(), [](const Row& row) { return row.control != nullptr; }));
}

Control* QtControl::ChildAt(int index) const {
    if (index < 0) {
        return nullptr;
    }
    if (m_kind != ControlKind::List) {
        return index < int(m_children.size()) ? m_children[size_t(index)] : nullptr;
    }
    for (const Row& row : m_rows) {
        if (row.control != nullptr && index-- == 0) {
            return row.control;
        }
    }
    return nullptr;
}

void QtControl::RemoveChild(const QtControl* child) {
    std::erase(m_children, child);
}

void QtControl::Raise(std::string_view type, int64_t wParam, int64_t lParam) {
    m_window.Deliver(type, this, wParam, lParam);
}

QString QtControl::Shown(const std::string& text) const {
    return ToQt(m_resourceText ? m_toolkit.LookUpText(text) : text);
}

void QtControl::RefreshTexts() {
    QtToolkit::Silence silence(m_toolkit);
    const QString shown = Shown(m_text);
    if (auto* key = dynamic_cast<DeviceKeyButton*>(m_widget.data())) {
        key->SetCaption(shown);
    } else if (auto* button = qobject_cast<QAbstractButton*>(m_widget)) {
        button->setText(shown);
    } else if (auto* label = qobject_cast<QLabel*>(m_widget)) {
        label->setText(shown);
    } else if (auto* edit = qobject_cast<QLineEdit*>(m_widget)) {
        if (edit->text() != shown) {
            edit->setText(shown);
        }
    } else if (auto* group = qobject_cast<QGroupBox*>(m_widget)) {
        group->setTitle(shown);
    }
    m_widget->setToolTip(ToolTipShown());
    NameForAccessibility();
    for (int i = 0; i < int(m_rows.size()); ++i) {
        const QString rowText =
            m_rows[size_t(i)].control != nullptr ? QString() : Shown(m_rows[size_t(i)].text);
        if (auto* combo = qobject_cast<QComboBox*>(m_widget); combo != nullptr && i < combo->count()) {
            combo->setItemText(i, rowText);
        } else if (auto* list = qobject_cast<QListWidget*>(m_widget); list != nullptr && i < list->count()) {
            list->item(i)->setText(rowText);
        }
    }
}

QString QtControl::ToolTipShown() const {
    // A tool tip is a language key when the language has it, else shown as written.
    return ToQt(m_toolkit.LookUpText(m_toolTip));
}

void QtControl::NameForAccessibility() {
    const QString tip = m_widget->toolTip();
    auto* button = qobject_cast<QAbstractButton*>(m_widget);
    if (button == nullptr) {
        // An edit, slider or combo is named by its label (a buddy) unless its tool tip says more.
        m_widget->setAccessibleName(tip);
        return;
    }
    // A key's caption may be a short legend and a title button shows a glyph
    // ("×", "⚙"): their tool tips say what they are. An LED of a picture is
    // named by its number.
    const bool glyphOnly = std::none_of(button->text().begin(), button->text().end(),
                                        [](QChar c) { return c.isLetterOrNumber(); });
    const bool key = dynamic_cast<DeviceKeyButton*>(m_widget.data()) != nullptr;
    QString name = (key || glyphOnly) && !tip.isEmpty() ? tip : QString();
    if (name.isEmpty() && key && button->text().isEmpty()) {
        const QString number = m_widget->objectName().section('_', -1);
        bool numeric = false;
        const int n = number.toInt(&numeric);
        if (numeric) {
            name = ToQt(m_toolkit.LookUpText("picture_led_text")) + " " + QString::number(n + 1);
        }
    }
    m_widget->setAccessibleName(name);
}

std::string QtControl::Text() const {
    if (auto* edit = qobject_cast<QLineEdit*>(m_widget); edit != nullptr && !m_resourceText) {
        return edit->text().toStdString(); // what the user typed
    }
    return m_text;
}

void QtControl::SetText(std::string_view text) {
    m_text = text;
    RefreshTexts();
}

void QtControl::SetResourceText(bool on) {
    if (on != m_resourceText) {
        m_text = Text(); // an edit keeps what the user typed
        m_resourceText = on;
        RefreshTexts();
    }
}

std::string QtControl::DisplayText() const {
    if (auto* edit = qobject_cast<QLineEdit*>(m_widget); edit != nullptr && !m_resourceText) {
        return edit->text().toStdString();
    }
    return Shown(m_text).toStdString();
}

void QtControl::SetToolTip(std::string_view text) {
    m_toolTip = text;
    m_widget->setToolTip(ToolTipShown());
}

bool QtControl::IsVisible() const {
    if (static_cast<const QtControl&>(m_window.Root()).m_hiddenRoot) {
        return false;
    }
    if (m_parent == nullptr) {
        return true;
    }
    return m_widget->isVisibleTo(m_window.RootWidget());
}

void QtControl::SetVisible(bool visible) {
    if (m_parent == nullptr) {
        m_hiddenRoot = !visible; // the window itself is shown and hidden by Window
        return;
    }
    m_widget->setVisible(visible);
}

bool QtControl::IsEnabled() const {
    return m_widget->isEnabled();
}

void QtControl::SetEnabled(bool enabled) {
    m_widget->setEnabled(enabled);
}

void QtControl::SetBackgroundColour(uint32_t argb) {
    m_backgroundColour = argb;
    if (auto* palette = dynamic_cast<ColorPalette*>(m_widget.data())) {
        palette->SetMarkedColour(argb); // a colour field shows its colour as a mark, not as a fill
        return;
    }
    if (auto* wave = dynamic_cast<AudioRecord*>(m_widget.data())) {
        wave->SetBackground(argb); // it paints its own background under the bars
        return;
    }
    ApplyStyle();
}

void QtControl::SetTextColours(uint32_t normal, uint32_t disabled) {
    m_textColour = normal;
    m_disabledTextColour = disabled;
    ApplyStyle();
}

void QtControl::SetBackgroundImage(std::string_view description) {
    m_backgroundImage = description;
    ApplyPicture();
    ApplyStyle();
}

bool QtControl::PaintsOwnPicture() const {
    return m_kind == ControlKind::Container || m_kind == ControlKind::Custom ||
           m_kind == ControlKind::SelectPanel;
}

void QtControl::ApplyPicture() {
    if (!PaintsOwnPicture()) {
        return;
    }
    delete m_picture.data();
    m_widget->update();
    // A picture that cannot be read leaves the style sheet's background in place.
    Picture picture;
    if (!m_backgroundImage.empty()) {
        std::string error;
        picture = ReadPicture(ToQt(m_toolkit.Resources().ImagePath(m_backgroundImage)), &error);
        if (picture.IsNull()) {
            qWarning("picture of %s not shown: %s", m_name.c_str(), error.c_str());
        }
    }
    if (auto* panel = dynamic_cast<SelectPanel*>(m_widget.data())) {
        panel->SetPicture(std::move(picture)); // drawn into its board, under the keys
    } else if (!picture.IsNull()) {
        m_picture = new BackgroundPicture(*m_widget, std::move(picture));
    }
}

void QtControl::ApplyStyle() {
    const auto rgba = [](uint32_t argb) {
        return QString("rgba(%1, %2, %3, %4)")
            .arg((argb >> 16) & 0xFF)
            .arg((argb >> 8) & 0xFF)
            .arg(argb & 0xFF)
            .arg(QString::number(((argb >> 24) & 0xFF) / 255.0, 'f', 3));
    };
    QString rules;
    if (m_backgroundColour != 0) {
        rules += "background-color: " + rgba(m_backgroundColour) + ";";
    }
    if (m_textColour != 0) {
        rules += "color: " + rgba(m_textColour) + ";";
    }
    if (!m_backgroundImage.empty() && !PaintsOwnPicture()) {
        QString path = ToQt(m_toolkit.Resources().ImagePath(m_backgroundImage));
        path.replace('\\', "\\\\").replace('"', "\\\"");
        rules += QString("border-image: url(\"%1\") 0 0 0 0 stretch stretch;").arg(path);
    }
    QString sheet = m_ownStyleSheet;
    if (!rules.isEmpty()) {
        // Aimed at this widget alone, not at the controls inside it.
        const QString selector = m_name.empty() ? QString() : "#" + ToQt(m_name);
        sheet += "\n" + selector + " { " + rules + " }";
        m_widget->setAttribute(Qt::WA_StyledBackground, true);
    }
    if (m_disabledTextColour != 0) {
        const QString selector = m_name.empty() ? QString("*") : "#" + ToQt(m_name);
        sheet += "\n" + selector + ":disabled { color: " + rgba(m_disabledTextColour) + "; }";
    }
    m_widget->setStyleSheet(sheet);
}

void QtControl::SetFontId(int id) {
    m_fontId = id < 0 ? -1 : id;
    ApplyScale();
}

Rect QtControl::Geometry() const {
    if (m_parent == nullptr) {
        return Rect{0, 0, m_widget->width(), m_widget->height()};
    }
    const QPoint offset = OffsetInHost(m_widget, m_parent->Widget());
    const QRect rect = m_widget->geometry().translated(offset);
    return Rect{rect.x(), rect.y(), rect.width(), rect.height()};
}

void QtControl::SetGeometry(const Rect& rect) {
    if (m_parent == nullptr) {
        const Rect window = m_window.Geometry();
        m_window.SetGeometry(Rect{window.x, window.y, rect.width, rect.height});
        return;
    }
    const double factor = m_window.ScaleFactor();
    m_baseRect = QRect(int(std::lround(rect.x / factor)), int(std::lround(rect.y / factor)),
                       int(std::lround(rect.width / factor)), int(std::lround(rect.height / factor)));
    const QPoint offset = OffsetInHost(m_widget, m_parent->Widget());
    m_widget->setGeometry(QRect(rect.x, rect.y, rect.width, rect.height).translated(-offset));
}

void QtControl::ApplyScale() {
    const double factor = m_window.ScaleFactor();
    if (m_parent != nullptr) {
        if (!m_placedByLayout && m_baseRect.isValid()) {
            m_widget->setGeometry(
                ScaledRect(m_baseRect, factor).translated(-OffsetInHost(m_widget, m_parent->Widget())));
        }
        if (!m_baseMinimum.isEmpty()) {
            m_widget->setMinimumSize(Scaled(m_baseMinimum.width(), factor),
                                     Scaled(m_baseMinimum.height(), factor));
        }
        const auto maxScaled = [factor](int length) {
            return length >= QWIDGETSIZE_MAX ? QWIDGETSIZE_MAX
                                             : std::min(QWIDGETSIZE_MAX, Scaled(length, factor));
        };
        if (m_baseMaximum != QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)) {
            m_widget->setMaximumSize(maxScaled(m_baseMaximum.width()), maxScaled(m_baseMaximum.height()));
        }
    }
    // Every control gets its font itself: with a style sheet Qt does not pass fonts down.
    m_widget->setFont(m_window.FontFor(m_fontId));
}

void QtControl::Invalidate() {
    if (auto* key = dynamic_cast<DeviceKeyButton*>(m_widget.data())) {
        key->RequestPaint(); // its selection panel may draw it
        return;
    }
    m_widget->update();
}

void QtControl::SetStyleClass(std::string_view styleClass) {
    if (m_styleClass == styleClass) {
        return;
    }
    m_styleClass = styleClass;
    // The style sheet matches [styleClass="..."]; Qt reads a property selector
    // only when it polishes the widget, so polish it again.
    m_widget->setProperty("styleClass", QString::fromStdString(m_styleClass));
    m_widget->style()->unpolish(m_widget);
    m_widget->style()->polish(m_widget);
    m_widget->update();
}

std::string QtControl::LayoutProperty(std::string_view key) const {
    const QVariant value = m_widget->property(std::string(key).c_str());
    return value.isValid() ? value.toString().toStdString() : std::string();
}

bool QtControl::IsUnderPointer() const {
    return m_widget->isVisible() && m_widget->underMouse();
}

bool QtControl::SetTimer(int id, int intervalMs) {
    if (intervalMs <= 0) {
        return false;
    }
    QPointer<QTimer>& timer = m_timers[id];
    if (timer.isNull()) {
        timer = new QTimer(&m_window.Context());
        QtWindow* window = &m_window;
        QWidget* widget = m_widget;
        QObject::connect(timer, &QTimer::timeout, &m_window.Context(), [window, widget, id] {
            if (QtControl* control = window->ControlOf(widget)) {
                control->Raise(kNotifyTimer, id);
            }
        });
    }
    timer->start(intervalMs);
    return true;
}

bool QtControl::KillTimer(int id) {
    const auto found = m_timers.find(id);
    if (found == m_timers.end() || found->second.isNull() || !found->second->isActive()) {
        return false;
    }
    found->second->stop();
    return true;
}

} // namespace velkor::ui
