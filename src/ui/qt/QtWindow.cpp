#include "ui/qt/QtWindow.h"

#include "ui/qt/Accessibility.h"

#include "ui/ControlClasses.h"
#include "ui/LayoutReader.h"
#include "ui/qt/QtInputTap.h"
#include "ui/qt/QtToolkit.h"
#include "ui/qt/SelectPanel.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWindow>
#include <cmath>

namespace velkor::ui {

namespace {

QString ToQt(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The layout's margins and spacing at 96 DPI, kept on the layout itself.
constexpr const char* kBaseMargins = "velkorBaseMargins";
constexpr const char* kBaseSpacing = "velkorBaseSpacing";

void ScaleLayouts(QWidget* root, double factor) {
    for (QLayout* layout : root->findChildren<QLayout*>()) {
        if (!layout->property(kBaseMargins).isValid()) {
            const QMargins m = layout->contentsMargins();
            layout->setProperty(kBaseMargins, QRect(m.left(), m.top(), m.right(), m.bottom()));
            layout->setProperty(kBaseSpacing, layout->spacing());
        }
        const QRect base = layout->property(kBaseMargins).toRect();
        const auto scaled = [factor](int length) { return int(std::lround(length * factor)); };
        layout->setContentsMargins(scaled(base.x()), scaled(base.y()), scaled(base.width()),
                                   scaled(base.height()));
        const int spacing = layout->property(kBaseSpacing).toInt();
        if (spacing >= 0) {
            layout->setSpacing(scaled(spacing));
        }
    }
}

} // namespace

bool QtWindowEvents::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window.RootWidget() && m_window.RootEvent(event)) {
        return true;
    }
    const QEvent::Type type = event->type();
    if (type == QEvent::Expose) {
        // Only the native window gets these: the desktop mapped or unmapped it.
        m_window.ExposureChanged();
        return false;
    }
    if (type == QEvent::FocusIn || type == QEvent::FocusOut) {
        // A pop-up (a combo's list, a context menu) borrowing the focus is no focus change.
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
            if (QtControl* control = m_window.ControlOf(static_cast<QWidget*>(watched))) {
                control->Raise(type == QEvent::FocusIn ? kNotifySetFocus : kNotifyKillFocus);
            }
        }
    }
    return false;
}

QtWindow::QtWindow(QtToolkit& toolkit, const WindowOptions& options)
    : m_toolkit(toolkit), m_className(options.className), m_owner(dynamic_cast<QtWindow*>(options.owner)),
      m_handler(options.handler), m_flags(options.flags), m_context(std::make_unique<QObject>()),
      m_events(std::make_unique<QtWindowEvents>(*this)) {
    m_toolkit.AddWindow(*this);
}

QtWindow::~QtWindow() {
    m_alive.reset();
    if (m_modalLoop != nullptr) {
        m_modalLoop->exit(-1);
    }
    m_toolkit.RemoveWindow(*this);
    // Connections, timers and the event filter die first, so that nothing the
    // widgets do while they go reaches a wrapper that is gone.
    m_context.reset();
    m_events.reset();
    m_tapFilter.reset();
    m_controls.clear();
    if (m_root) {
        m_root->hide();
        m_root->deleteLater(); // the window may be destroyed from inside one of its own signals
    }
}

QtControl* QtWindow::Wrap(const LoadedWidget& loaded, QtControl* parent) {
    const ControlKind kind = BuiltInKind(loaded.node->className).value_or(ControlKind::Custom);
    auto control = std::make_unique<QtControl>(m_toolkit, *this, loaded.widget, parent, *loaded.node, kind);
    QtControl* raw = control.get();
    m_controls[loaded.widget] = std::move(control);
    loaded.widget->installEventFilter(m_events.get());
    QObject::connect(loaded.widget, &QObject::destroyed, m_context.get(), [this](QObject* gone) {
        // Qt deleted a widget on its own: its wrapper goes too (its children follow one by one).
        const auto found = m_controls.find(static_cast<QWidget*>(gone));
        if (found != m_controls.end()) {
            if (QtControl* parentControl = found->second->ParentControl()) {
                parentControl->RemoveChild(found->second.get());
            }
            m_controls.erase(found);
        }
    });
    return raw;
}

void QtWindow::Adopt(QWidget* root, const std::vector<LoadedWidget>& widgets) {
    m_root = root;
    // A pop-up is a window type of its own: Qt::Tool's bits would change it.
    Qt::WindowFlags flags = (m_flags & kWindowPopup) != 0 ? Qt::Popup : Qt::Window;
    if ((m_flags & kWindowFrameless) != 0) {
        flags |= Qt::FramelessWindowHint;
    }
    if ((m_flags & (kWindowTool | kWindowPopup)) == kWindowTool) {
        flags |= Qt::Tool;
    }
    if ((m_flags & kWindowStaysOnTop) != 0) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    root->setWindowFlags(flags);
    m_rootControl = Wrap(widgets.front(), nullptr);
    std::vector<QtControl*> added{m_rootControl};
    for (size_t i = 1; i < widgets.size(); ++i) {
        QtControl* parent = nullptr;
        for (QWidget* up = widgets[i].widget->parentWidget(); up != nullptr && parent == nullptr;
             up = up->parentWidget()) {
            parent = ControlOf(up);
        }
        QtControl* control = Wrap(widgets[i], parent != nullptr ? parent : m_rootControl);
        control->ParentControl()->AddChild(control);
        added.push_back(control);
    }
    for (QtControl* control : added) {
        control->Connect();
    }
    LabelValueControls(root);
    m_baseSize = root->size();
    m_lastSize = root->size();
    ApplyScaleEverywhere();
    WatchDisplays();
}

void QtWindow::WatchScreen(QScreen* screen) {
    QObject::connect(screen, &QScreen::geometryChanged, m_context.get(), [this](const QRect&) {
        if (m_handler != nullptr) {
            m_handler->DisplayChanged(*this);
        }
    });
    QObject::connect(screen, &QScreen::logicalDotsPerInchChanged, m_context.get(), [this, screen](qreal dpi) {
        if (m_handler != nullptr && m_root != nullptr && m_root->screen() == screen) {
            m_handler->DpiChanged(*this, int(std::lround(dpi)));
        }
    });
}

void QtWindow::WatchDisplays() {
    for (QScreen* screen : QGuiApplication::screens()) {
        WatchScreen(screen);
    }
    const auto changed = [this] {
        if (m_handler != nullptr) {
            m_handler->DisplayChanged(*this);
        }
    };
    QObject::connect(qApp, &QGuiApplication::screenAdded, m_context.get(), [this, changed](QScreen* screen) {
        WatchScreen(screen);
        changed();
    });
    QObject::connect(qApp, &QGuiApplication::screenRemoved, m_context.get(),
                     [changed](QScreen*) { changed(); });
    QObject::connect(qApp, &QGuiApplication::primaryScreenChanged, m_context.get(),
                     [changed](QScreen*) { changed(); });
}

QtControl* QtWindow::WrapBelow(QtControl& parent, const std::vector<LoadedWidget>& widgets,
                               bool addToParent) {
    QtControl* top = Wrap(widgets.front(), &parent);
    if (addToParent) {
        parent.AddChild(top);
    }
    std::vector<QtControl*> added{top};
    for (size_t i = 1; i < widgets.size(); ++i) {
        QtControl* above = nullptr;
        for (QWidget* up = widgets[i].widget->parentWidget(); up != nullptr && above == nullptr;
             up = up->parentWidget()) {
            above = ControlOf(up);
        }
        QtControl* control = Wrap(widgets[i], above != nullptr ? above : top);
        control->ParentControl()->AddChild(control);
        added.push_back(control);
    }
    for (QtControl* control : added) {
        control->Connect();
        control->ApplyScale();
    }
    if (m_dpi != kDefaultDpi) {
        ScaleLayouts(widgets.front().widget, ScaleFactor());
    }
    return top;
}

void QtWindow::Forget(QtControl& control) {
    std::vector<QtControl*> doomed{&control};
    for (size_t i = 0; i < doomed.size(); ++i) {
        for (int c = 0; c < doomed[i]->ChildCount(); ++c) {
            doomed.push_back(static_cast<QtControl*>(doomed[i]->ChildAt(c)));
        }
    }
    if (QtControl* parent = control.ParentControl()) {
        parent->RemoveChild(&control);
    }
    // Deepest first, so that no wrapper outlives the ones it points to.
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
        QWidget* widget = (*it)->Widget();
        if (widget != nullptr) {
            widget->removeEventFilter(m_events.get());
        }
        m_controls.erase(widget);
    }
}

QtControl* QtWindow::ControlOf(const QWidget* widget) const {
    const auto found = m_controls.find(widget);
    return found == m_controls.end() ? nullptr : found->second.get();
}

void QtWindow::Deliver(std::string_view type, Control* sender, int64_t wParam, int64_t lParam) {
    m_notifiers.Deliver(m_handler, Notification{type, sender, this, wParam, lParam}, m_alive);
}

bool QtWindow::RootEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::Close:
        if (!m_closing) {
            const bool allow = m_handler == nullptr || m_handler->CloseRequested(*this);
            event->ignore(); // the window hides itself in Close; Qt must not close it on its own
            if (allow) {
                Close(0);
            }
            return true;
        }
        return false;
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        if (m_handler != nullptr) {
            m_handler->ActiveChanged(*this, event->type() == QEvent::WindowActivate);
        }
        return false;
    case QEvent::Enter:
    case QEvent::Leave:
        if (m_handler != nullptr) {
            m_handler->HoverChanged(*this, event->type() == QEvent::Enter);
        }
        return false;
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::WindowStateChange:
        WatchExposure();
        if (m_handler != nullptr) {
            m_handler->ShownChanged(*this);
        }
        return false;
    case QEvent::Resize: {
        const QSize size = m_root->size();
        if (!m_scaling) {
            m_baseSize = QSize(int(std::lround(size.width() / ScaleFactor())),
                               int(std::lround(size.height() / ScaleFactor())));
        }
        if (size != m_lastSize) {
            m_lastSize = size;
            Deliver(kNotifyWindowSize, m_rootControl, size.width(), size.height());
        }
        return false;
    }
    default:
        return false;
    }
}

void QtWindow::Show() {
    if (m_owner != nullptr && m_owner->m_root) {
        m_root->winId(); // the native window must exist before it can name its owner
        m_owner->m_root->winId();
        if (QWindow* handle = m_root->windowHandle()) {
            handle->setTransientParent(m_owner->m_root->windowHandle());
        }
    }
    m_root->show();
}

void QtWindow::Hide() {
    m_root->hide();
}

bool QtWindow::IsVisible() const {
    return m_root->isVisible();
}

bool QtWindow::IsOnScreen() const {
    // A widget stays visible when the window manager unmaps its window (another
    // workspace); only the native window's exposure tells.
    const QWindow* handle = m_root->windowHandle();
    return m_root->isVisible() && !m_root->isMinimized() && handle != nullptr && handle->isExposed();
}

void QtWindow::WatchExposure() {
    if (QWindow* handle = m_root->windowHandle()) {
        handle->installEventFilter(m_events.get()); // once, however often it is installed
    }
}

void QtWindow::ExposureChanged() {
    const QWindow* handle = m_root->windowHandle();
    const bool exposed = handle != nullptr && handle->isExposed();
    // Expose events also come for parts uncovered by other windows: only a
    // change of the mapping is news.
    if (exposed != m_exposed) {
        m_exposed = exposed;
        if (m_handler != nullptr) {
            m_handler->ShownChanged(*this);
        }
    }
}

void QtWindow::Minimize() {
    m_root->showMinimized();
}

void QtWindow::Maximize() {
    m_root->showMaximized();
}

void QtWindow::Restore() {
    m_root->showNormal();
}

bool QtWindow::IsMinimized() const {
    return m_root->isMinimized();
}

bool QtWindow::IsMaximized() const {
    return m_root->isMaximized();
}

void QtWindow::BringToFront() {
    if (m_root->isMinimized()) {
        m_root->showNormal();
    } else {
        Show();
    }
    m_root->raise();
    m_root->activateWindow();
}

void QtWindow::SetTopmost(bool topmost) {
    const bool visible = m_root->isVisible();
    m_root->setWindowFlag(Qt::WindowStaysOnTopHint, topmost); // hides the window
    if (visible) {
        m_root->show();
    }
}

void QtWindow::Close(int code) {
    m_closing = true;
    m_root->hide();
    m_closing = false;
    if (m_modalLoop != nullptr) {
        m_modalClosed = true;
        m_modalCode = code;
        m_modalLoop->exit(code);
    }
}

int QtWindow::ShowModal() {
    if (m_modalLoop != nullptr) {
        return -1;
    }
    QEventLoop loop;
    m_modalLoop = &loop;
    m_modalClosed = false;
    m_root->setWindowModality(Qt::ApplicationModal);
    BringToFront();
    const std::weak_ptr<int> alive = m_alive;
    loop.exec(QEventLoop::DialogExec);
    if (alive.expired()) {
        return -1; // destroyed during its own modal run
    }
    m_modalLoop = nullptr;
    if (!m_modalClosed) {
        m_root->hide(); // the program's loop was quit
    }
    m_root->setWindowModality(Qt::NonModal);
    return m_modalClosed ? m_modalCode : -1;
}

void QtWindow::CenterWindow() {
    const QRect area = m_owner != nullptr && m_owner->m_root ? m_owner->m_root->frameGeometry()
                                                             : m_root->screen()->availableGeometry();
    QRect frame = m_root->frameGeometry();
    frame.moveCenter(area.center());
    m_root->move(frame.topLeft());
}

Rect QtWindow::Geometry() const {
    const QRect rect = m_root->geometry();
    return Rect{rect.x(), rect.y(), rect.width(), rect.height()};
}

void QtWindow::SetGeometry(const Rect& rect) {
    m_root->setGeometry(rect.x, rect.y, rect.width, rect.height);
}

Rect QtWindow::WorkArea() const {
    const QRect area = m_root->screen()->availableGeometry();
    return Rect{area.x(), area.y(), area.width(), area.height()};
}

std::string QtWindow::Title() const {
    return m_root->windowTitle().toStdString();
}

void QtWindow::SetTitle(std::string_view title) {
    m_root->setWindowTitle(ToQt(title));
}

bool QtWindow::SetDpi(int dpi) {
    if (!IsValidDpi(dpi)) {
        return false;
    }
    if (dpi != m_dpi) {
        m_dpi = dpi;
        ApplyScaleEverywhere();
    }
    return true;
}

void QtWindow::ApplyScaleEverywhere() {
    m_scaling = true;
    const double factor = ScaleFactor();
    m_root->resize(int(std::lround(m_baseSize.width() * factor)),
                   int(std::lround(m_baseSize.height() * factor)));
    for (auto& [widget, control] : m_controls) {
        control->ApplyScale();
    }
    ScaleLayouts(m_root, factor);
    m_scaling = false;
}

QFont QtWindow::FontFor(int id) const {
    const auto found = id >= 0 ? m_fonts.find(id) : m_fonts.end();
    const FontInfo& wanted = found != m_fonts.end() ? found->second : m_defaultFont;
    QFont font;
    if (!wanted.family.empty()) {
        font.setFamily(ToQt(wanted.family));
    }
    font.setPixelSize(std::max(1, int(std::lround(wanted.pixelSize * ScaleFactor()))));
    font.setBold(wanted.bold);
    font.setUnderline(wanted.underline);
    font.setItalic(wanted.italic);
    return font;
}

void QtWindow::SetDefaultFont(const FontInfo& font) {
    m_defaultFont = font;
    for (auto& [widget, control] : m_controls) {
        control->ApplyScale();
    }
}

bool QtWindow::AddFont(int id, const FontInfo& font) {
    if (id < 0) {
        return false;
    }
    m_fonts[id] = font;
    for (auto& [widget, control] : m_controls) {
        if (control->FontId() == id) {
            control->ApplyScale();
        }
    }
    return true;
}

std::optional<FontInfo> QtWindow::Font(int id) const {
    const auto found = m_fonts.find(id);
    return found == m_fonts.end() ? std::nullopt : std::optional<FontInfo>(found->second);
}

void QtWindow::RemoveAllFonts() {
    m_fonts.clear();
    for (auto& [widget, control] : m_controls) {
        control->ApplyScale();
    }
}

void QtWindow::RefreshTexts() {
    for (auto& [widget, control] : m_controls) {
        control->RefreshTexts();
    }
}

void QtWindow::SetInputTap(InputTap* tap) {
    if (m_tapFilter) {
        // The tap may be changed from inside the old filter's own report.
        m_tapFilter->Detach();
        m_tapFilter.release()->deleteLater();
    }
    if (tap != nullptr && m_root) {
        m_tapFilter = std::make_unique<QtInputTapFilter>(*m_root, *tap);
    }
}

InputTap* QtWindow::GetInputTap() const {
    return m_tapFilter ? m_tapFilter->Tap() : nullptr;
}

} // namespace velkor::ui
