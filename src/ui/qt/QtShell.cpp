#include "ui/qt/QtShell.h"

#include <QIcon>

namespace velkor::ui {

namespace {
QString ToQt(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}
} // namespace

QtMenu::QtMenu(const Toolkit& toolkit, const std::vector<MenuEntry>& entries, MenuReceiver& receiver)
    : m_menu(new QMenu()), m_context(std::make_unique<QObject>()) {
    for (const MenuEntry& entry : entries) {
        if (entry.name.empty()) {
            m_menu->addSeparator();
            continue;
        }
        m_names.push_back(entry.name);
        QAction* action =
            m_menu->addAction(ToQt(entry.resourceText ? toolkit.LookUpText(entry.text) : entry.text));
        action->setObjectName(ToQt(entry.name));
        action->setEnabled(entry.enabled);
        QObject::connect(action, &QAction::triggered, m_context.get(), [this, &receiver, name = entry.name] {
            Close();
            receiver.MenuItemChosen(name); // may destroy this menu: nothing is touched after it
        });
    }
}

QtMenu::~QtMenu() {
    m_context.reset();
    if (m_menu) {
        m_menu->hide();
        m_menu->deleteLater(); // it may be the menu whose action is being handled
    }
}

void QtMenu::Popup(Point at) {
    m_menu->popup(QPoint(at.x, at.y));
}

void QtMenu::Close() {
    if (m_menu) {
        m_menu->hide();
    }
}

std::vector<std::string> QtMenu::ItemNames() const {
    return m_names;
}

QtTrayIcon::QtTrayIcon(const std::string& iconPath, std::string_view toolTip, TrayReceiver& receiver)
    : m_context(std::make_unique<QObject>()),
      m_icon(std::make_unique<QSystemTrayIcon>(QIcon(QString::fromStdString(iconPath)))) {
    m_icon->setToolTip(ToQt(toolTip));
    QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_context.get(),
                     [&receiver](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger) {
                             receiver.TrayIconClicked(MouseButton::Left);
                         } else if (reason == QSystemTrayIcon::Context) {
                             receiver.TrayIconClicked(MouseButton::Right);
                         }
                     });
    m_icon->show();
}

QtTrayIcon::~QtTrayIcon() {
    m_context.reset();
}

void QtTrayIcon::SetToolTip(std::string_view text) {
    m_icon->setToolTip(ToQt(text));
}

std::string QtTrayIcon::ToolTip() const {
    return m_icon->toolTip().toStdString();
}

void QtTrayIcon::SetVisible(bool visible) {
    m_icon->setVisible(visible);
}

bool QtTrayIcon::IsVisible() const {
    return m_icon->isVisible();
}

} // namespace velkor::ui
