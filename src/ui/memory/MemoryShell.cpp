#include "ui/memory/MemoryShell.h"

#include "ui/memory/MemoryToolkit.h"

namespace velkor::ui {

MemoryMenu::MemoryMenu(MemoryToolkit& toolkit, std::vector<MenuEntry> entries, Point position,
                       MenuReceiver& receiver)
    : m_toolkit(toolkit), m_entries(std::move(entries)), m_position(position), m_receiver(receiver) {}

MemoryMenu::~MemoryMenu() {
    m_toolkit.MenuClosed(*this);
}

void MemoryMenu::Close() {
    m_open = false;
    m_toolkit.MenuClosed(*this);
}

std::vector<std::string> MemoryMenu::ItemNames() const {
    std::vector<std::string> names;
    for (const MenuEntry& entry : m_entries) {
        if (!entry.name.empty()) {
            names.push_back(entry.name);
        }
    }
    return names;
}

bool MemoryMenu::Choose(std::string_view item) {
    if (!m_open || item.empty()) {
        return false;
    }
    for (const MenuEntry& entry : m_entries) {
        if (entry.name == item && entry.enabled) {
            const std::string chosen = entry.name;
            Close();
            // The receiver may destroy this menu; nothing is touched after the call.
            m_receiver.MenuItemChosen(chosen);
            return true;
        }
    }
    return false;
}

std::string MemoryMenu::ItemDisplayText(std::string_view item) const {
    for (const MenuEntry& entry : m_entries) {
        if (!entry.name.empty() && entry.name == item) {
            return entry.resourceText ? m_toolkit.LookUpText(entry.text) : entry.text;
        }
    }
    return {};
}

MemoryTrayIcon::MemoryTrayIcon(MemoryToolkit& toolkit, std::string iconPath, std::string_view toolTip,
                               TrayReceiver& receiver)
    : m_toolkit(toolkit), m_iconPath(std::move(iconPath)), m_toolTip(toolTip), m_receiver(receiver) {}

MemoryTrayIcon::~MemoryTrayIcon() {
    m_toolkit.TrayIconGone(*this);
}

bool MemoryTrayIcon::Click(MouseButton button) {
    if (!m_visible) {
        return false;
    }
    m_receiver.TrayIconClicked(button);
    return true;
}

} // namespace velkor::ui
