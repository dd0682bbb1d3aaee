#pragma once
// The pop-up menu and the notification-area icon of the Qt toolkit.
#include "ui/LayoutReader.h"
#include "ui/Toolkit.h"

#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <memory>

namespace velkor::ui {

class QtMenu final : public Menu {
public:
    QtMenu(const Toolkit& toolkit, const std::vector<MenuEntry>& entries, MenuReceiver& receiver);
    ~QtMenu() override;
    QtMenu(const QtMenu&) = delete;
    QtMenu& operator=(const QtMenu&) = delete;

    void Popup(Point at);
    bool IsOpen() const override { return m_menu && m_menu->isVisible(); }
    void Close() override;
    std::vector<std::string> ItemNames() const override;
    QMenu* Widget() const { return m_menu; }

private:
    QPointer<QMenu> m_menu;
    std::unique_ptr<QObject> m_context; // the menu's connections die with this object
    std::vector<std::string> m_names;
};

class QtTrayIcon final : public TrayIcon {
public:
    QtTrayIcon(const std::string& iconPath, std::string_view toolTip, TrayReceiver& receiver);
    ~QtTrayIcon() override;
    QtTrayIcon(const QtTrayIcon&) = delete;
    QtTrayIcon& operator=(const QtTrayIcon&) = delete;

    void SetToolTip(std::string_view text) override;
    std::string ToolTip() const override;
    void SetVisible(bool visible) override;
    bool IsVisible() const override;
    QSystemTrayIcon* Icon() const { return m_icon.get(); }

private:
    std::unique_ptr<QObject> m_context;
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

} // namespace velkor::ui
