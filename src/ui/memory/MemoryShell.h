#pragma once
// The pop-up menu and the notification-area icon of the in-memory toolkit.
#include "ui/LayoutReader.h"
#include "ui/Toolkit.h"

#include <string>
#include <vector>

namespace velkor::ui {

class MemoryToolkit;

class MemoryMenu final : public Menu {
public:
    MemoryMenu(MemoryToolkit& toolkit, std::vector<MenuEntry> entries, Point position,
               MenuReceiver& receiver);
    ~MemoryMenu() override;
    MemoryMenu(const MemoryMenu&) = delete;
    MemoryMenu& operator=(const MemoryMenu&) = delete;

    bool IsOpen() const override { return m_open; }
    void Close() override;
    std::vector<std::string> ItemNames() const override;

    // The user picks an entry: the menu closes, then the receiver hears of it.
    // False when the menu is closed or the entry is missing or disabled.
    bool Choose(std::string_view item);
    // The text shown for an entry (language text in resource-text mode), "" when missing.
    std::string ItemDisplayText(std::string_view item) const;
    Point Position() const { return m_position; }

private:
    MemoryToolkit& m_toolkit;
    std::vector<MenuEntry> m_entries;
    Point m_position;
    MenuReceiver& m_receiver;
    bool m_open = true;
};

class MemoryTrayIcon final : public TrayIcon {
public:
    MemoryTrayIcon(MemoryToolkit& toolkit, std::string iconPath, std::string_view toolTip,
                   TrayReceiver& receiver);
    ~MemoryTrayIcon() override;
    MemoryTrayIcon(const MemoryTrayIcon&) = delete;
    MemoryTrayIcon& operator=(const MemoryTrayIcon&) = delete;

    void SetToolTip(std::string_view text) override { m_toolTip = text; }
    std::string ToolTip() const override { return m_toolTip; }
    void SetVisible(bool visible) override { m_visible = visible; }
    bool IsVisible() const override { return m_visible; }

    // The user clicks the icon; false while it is hidden.
    bool Click(MouseButton button);
    const std::string& IconPath() const { return m_iconPath; }

private:
    MemoryToolkit& m_toolkit;
    std::string m_iconPath;
    std::string m_toolTip;
    TrayReceiver& m_receiver;
    bool m_visible = true;
};

} // namespace velkor::ui
