#include "ui/qt/QtToolkit.h"

#include "ui/qt/Accessibility.h"

#include "ui/ControlClasses.h"
#include "ui/Errors.h"
#include "ui/qt/BackgroundPicture.h"
#include "ui/qt/QtAccess.h"
#include "ui/qt/QtLoader.h"
#include "ui/qt/QtShell.h"
#include "ui/qt/QtWindow.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QFontDatabase>
#include <QRegularExpression>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

namespace velkor::ui {

namespace {

// Marks the application object that a toolkit drives, so that a second one is refused.
constexpr const char* kToolkitMark = "velkorToolkit";

// Qt reads url() paths of a style sheet from the working folder; ours name
// files of the resource folder.
QString AnchorUrls(const QString& sheet, const ResourceIndex& resources) {
    static const QRegularExpression kUrl(R"(url\(\s*["']?([^"')]+?)["']?\s*\))");
    QString anchored;
    qsizetype done = 0;
    for (QRegularExpressionMatchIterator it = kUrl.globalMatch(sheet); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString file = match.captured(1);
        anchored += sheet.mid(done, match.capturedStart() - done);
        const std::string path = resources.ImagePath(file.toStdString());
        anchored += "url(\"" + QString::fromStdString(path) + "\")";
        done = match.capturedEnd();
    }
    return anchored + sheet.mid(done);
}

} // namespace

std::unique_ptr<QtToolkit> QtToolkit::Create(const std::string& resourceFolder, int& argc, char** argv,
                                             std::string* error) {
    QApplication* owned = nullptr;
    if (QCoreApplication::instance() == nullptr) {
        owned = new QApplication(argc, argv);
    } else if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        SetError(error, "the application object is not a widgets application");
        return nullptr;
    } else if (QCoreApplication::instance()->property(kToolkitMark).toBool()) {
        SetError(error, "another Qt toolkit drives this application already");
        return nullptr;
    }
    ResourceIndex resources;
    std::string styleSheet;
    bool ready = resources.Load(resourceFolder, error);
    if (ready && !resources.StyleSheetPath().empty()) {
        ready = ReadTextFile(resources.StyleSheetPath(), kMaxLayoutBytes, styleSheet, error);
    }
    if (!ready) {
        delete owned;
        return nullptr;
    }
    QCoreApplication::instance()->setProperty(kToolkitMark, true);
    // The program ends through Quit; the last window hiding into the tray must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    // Widgets inside controls (a combo's list, a tab bar) take their control's font.
    QCoreApplication::setAttribute(Qt::AA_UseStyleSheetPropagationInWidgetStyles, true);
    qApp->setStyleSheet(AnchorUrls(QString::fromStdString(styleSheet), resources));
    return std::unique_ptr<QtToolkit>(new QtToolkit(std::move(resources), owned));
}

QtToolkit::QtToolkit(ResourceIndex resources, QApplication* ownedApplication)
    : m_resources(std::move(resources)), m_ownedApplication(ownedApplication), m_wakeTarget(new QObject()),
      m_dispatcher(std::make_unique<Dispatcher>([this] { Wake(); })) {}

QtToolkit::~QtToolkit() {
    m_dispatcher->BeginShutdown();
    QObject* target = nullptr;
    {
        std::lock_guard lock(m_wakeMutex);
        std::swap(target, m_wakeTarget);
    }
    delete target;
    // Widgets of destroyed windows wait for deferred deletion; let them go now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->setProperty(kToolkitMark, QVariant());
    }
    qApp->setStyleSheet(QString());
    delete m_ownedApplication;
}

void QtToolkit::Wake() {
    std::lock_guard lock(m_wakeMutex);
    if (m_wakeTarget == nullptr || m_wakeQueued) {
        return; // one queued call drains everything queued before it runs
    }
    m_wakeQueued = true;
    QMetaObject::invokeMethod(
        m_wakeTarget,
        [this] {
            {
                std::lock_guard inner(m_wakeMutex);
                m_wakeQueued = false;
            }
            m_dispatcher->ProcessPending();
            if (m_dispatcher->PendingCount() > 0) {
                Wake(); // queued while these ran
            }
        },
        Qt::QueuedConnection);
}

std::string QtToolkit::LookUpText(std::string_view key) const {
    return TextOrKey(m_textProvider, key);
}

void QtToolkit::ReloadTexts() {
    for (Window* window : m_windows) {
        static_cast<QtWindow*>(window)->RefreshTexts();
    }
}

void QtToolkit::RemoveWindow(Window& window) {
    std::erase(m_windows, &window);
}

std::unique_ptr<Window> QtToolkit::CreateWindow(const WindowOptions& options, std::string* error) {
    LoadedLayout loaded;
    if (!LoadLayout(m_resources, options.layout, options.creator, nullptr, loaded, error)) {
        return nullptr;
    }
    auto window = std::make_unique<QtWindow>(*this, options);
    window->Adopt(loaded.top, loaded.widgets);
    OfferCustomControls(options.creator, window->Root());
    QtWindow* raw = window.get();
    std::weak_ptr<int> alive = raw->AliveToken();
    m_dispatcher->Post([raw, alive] {
        if (!alive.expired()) {
            raw->Deliver(kNotifyWindowInit, &raw->Root(), 0, 0);
        }
    });
    return window;
}

Control* QtToolkit::BuildInto(Control& container, std::string_view layout, ControlCreator* creator,
                              std::string* error) {
    auto* target = BuildTarget<QtControl>(container, error);
    if (target == nullptr) {
        return nullptr;
    }
    const ControlKind kind = target->Kind();
    QWidget* host = target->Widget();
    LoadedLayout loaded;
    if (!LoadLayout(m_resources, layout, creator, kind == ControlKind::Tab ? nullptr : host, loaded, error)) {
        return nullptr;
    }
    QWidget* top = loaded.top;
    if (auto* tab = qobject_cast<QTabWidget*>(host)) {
        const auto title = loaded.node.attributes.find("title");
        tab->addTab(top, title != loaded.node.attributes.end() ? QString::fromStdString(title->second.text)
                                                               : QString());
    } else if (auto* stack = qobject_cast<QStackedWidget*>(host)) {
        stack->addWidget(top);
    } else {
        // The built control fills the container, below what it holds already.
        QLayout* layout = host->layout();
        if (layout == nullptr) {
            layout = new QVBoxLayout(host);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
        }
        layout->addWidget(top);
        top->setVisible(loaded.node.Bool("visible", true));
    }
    auto& window = static_cast<QtWindow&>(target->OwnerWindow());
    QtControl* built = window.WrapBelow(*target, loaded.widgets, true);
    LabelValueControls(top);
    OfferCustomControls(creator, *built);
    return built;
}

int QtToolkit::RunLoop() {
    if (m_inRunLoop) {
        return -1;
    }
    m_inRunLoop = true;
    const int code = QApplication::exec();
    m_inRunLoop = false;
    return code;
}

void QtToolkit::Quit(int code) {
    if (m_inRunLoop) {
        QCoreApplication::exit(code); // also ends the modal runs inside the loop
    }
}

bool QtToolkit::SetDpiForAll(int dpi) {
    if (!IsValidDpi(dpi)) {
        return false;
    }
    for (Window* window : m_windows) {
        window->SetDpi(dpi);
    }
    return true;
}

int QtToolkit::AddTypeface(const std::string& path) {
    return QFontDatabase::addApplicationFont(QString::fromStdString(path));
}

bool QtToolkit::RemoveTypeface(int handle) {
    return handle >= 0 && QFontDatabase::removeApplicationFont(handle);
}

std::vector<std::string> QtToolkit::TypefaceFamilies(int handle) const {
    std::vector<std::string> families;
    for (const QString& family : QFontDatabase::applicationFontFamilies(handle)) {
        families.push_back(family.toStdString());
    }
    return families;
}

std::unique_ptr<Menu> QtToolkit::OpenMenu(std::string_view layout, Point screenPosition,
                                          MenuReceiver& receiver, std::string* error) {
    const std::string path = m_resources.LayoutPath(layout);
    if (path.empty()) {
        SetError(error, "unknown menu layout '" + std::string(layout) + "'");
        return nullptr;
    }
    std::string text;
    std::vector<MenuEntry> entries;
    if (!ReadTextFile(path, kMaxLayoutBytes, text, error) || !ParseMenuLayout(text, entries, error)) {
        return nullptr;
    }
    auto menu = std::make_unique<QtMenu>(*this, entries, receiver);
    menu->Popup(screenPosition);
    return menu;
}

bool QtToolkit::TrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

std::unique_ptr<TrayIcon> QtToolkit::CreateTrayIcon(const std::string& iconPath, std::string_view toolTip,
                                                    TrayReceiver& receiver) {
    return std::make_unique<QtTrayIcon>(m_resources.ImagePath(iconPath), toolTip, receiver);
}

namespace {

QString DialogFilter(const FileDialogOptions& options) {
    if (options.pattern.empty()) {
        return {};
    }
    return QString::fromStdString(options.filterName) + " (" + QString::fromStdString(options.pattern) + ")";
}

std::optional<std::string> ChosenPath(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

} // namespace

std::optional<std::string> QtToolkit::AskOpenFileName(const FileDialogOptions& options) {
    QWidget* parent = options.parent != nullptr ? WidgetOf(*options.parent) : nullptr;
    return ChosenPath(QFileDialog::getOpenFileName(parent, QString::fromStdString(options.title), QString(),
                                                   DialogFilter(options)));
}

std::optional<std::string> QtToolkit::AskSaveFileName(const FileDialogOptions& options) {
    QWidget* parent = options.parent != nullptr ? WidgetOf(*options.parent) : nullptr;
    return ChosenPath(QFileDialog::getSaveFileName(parent, QString::fromStdString(options.title),
                                                   QString::fromStdString(options.suggestedName),
                                                   DialogFilter(options)));
}

Rect QtToolkit::PrimaryScreen() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return Rect{};
    }
    const QRect rect = screen->geometry();
    return Rect{rect.x(), rect.y(), rect.width(), rect.height()};
}

Point QtToolkit::CursorPosition() const {
    const QPoint at = QCursor::pos();
    return Point{at.x(), at.y()};
}

QWidget* WidgetOf(const Control& control) {
    const auto* qt = dynamic_cast<const QtControl*>(&control);
    return qt != nullptr ? qt->Widget() : nullptr;
}

QWidget* WidgetOf(const Window& window) {
    const auto* qt = dynamic_cast<const QtWindow*>(&window);
    return qt != nullptr ? qt->RootWidget() : nullptr;
}

QMenu* MenuWidgetOf(const Menu& menu) {
    const auto* qt = dynamic_cast<const QtMenu*>(&menu);
    return qt != nullptr ? qt->Widget() : nullptr;
}

QSystemTrayIcon* TrayIconOf(const TrayIcon& icon) {
    const auto* qt = dynamic_cast<const QtTrayIcon*>(&icon);
    return qt != nullptr ? qt->Icon() : nullptr;
}

bool QtToolkit::ImageUsable(std::string_view description, std::string* error) const {
    return !ReadPicture(QString::fromStdString(m_resources.ImagePath(description)), error).IsNull();
}

} // namespace velkor::ui
