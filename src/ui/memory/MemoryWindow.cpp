#include "ui/memory/MemoryWindow.h"

#include "ui/memory/MemoryToolkit.h"

#include <algorithm>

namespace velkor::ui {

MemoryWindow::MemoryWindow(MemoryToolkit& toolkit, const WindowOptions& options)
    : m_toolkit(toolkit), m_className(options.className), m_owner(dynamic_cast<MemoryWindow*>(options.owner)),
      m_handler(options.handler) {
    m_toolkit.AddWindow(*this);
}

MemoryWindow::~MemoryWindow() {
    // Controls go first: their destructors stop their timers and forget the focus.
    m_root.reset();
    m_toolkit.RemoveWindow(*this);
}

void MemoryWindow::SetRoot(std::unique_ptr<MemoryControl> root, Size baseSize) {
    m_root = std::move(root);
    m_baseSize = baseSize;
    m_title = m_root->RawProperty("windowTitle");
}

void MemoryWindow::AddNotifier(NotifyReceiver& receiver) {
    m_notifiers.Add(receiver);
}

void MemoryWindow::RemoveNotifier(NotifyReceiver& receiver) {
    m_notifiers.Remove(receiver);
}

void MemoryWindow::Deliver(std::string_view type, Control* sender, int64_t wParam, int64_t lParam) {
    m_notifiers.Deliver(m_handler, Notification{type, sender, this, wParam, lParam}, m_alive);
}

void MemoryWindow::ShownMayHaveChanged(bool wasShown, bool wasMinimized, bool wasMapped) {
    if ((wasShown != m_visible || wasMinimized != m_minimized || wasMapped != m_mapped) &&
        m_handler != nullptr) {
        m_handler->ShownChanged(*this);
    }
}

void MemoryWindow::SetMappedByDesktop(bool mapped) {
    const bool wasMapped = m_mapped;
    m_mapped = mapped;
    ShownMayHaveChanged(m_visible, m_minimized, wasMapped);
}

void MemoryWindow::Show() {
    const bool wasShown = m_visible, wasMinimized = m_minimized, wasMapped = m_mapped;
    if (!m_visible) {
        m_mapped = true; // a hidden window is mapped anew when shown
    }
    m_visible = true;
    m_minimized = false;
    ShownMayHaveChanged(wasShown, wasMinimized, wasMapped);
}

void MemoryWindow::Hide() {
    const bool wasShown = m_visible, wasMinimized = m_minimized;
    m_visible = false;
    ShownMayHaveChanged(wasShown, wasMinimized);
}

void MemoryWindow::Minimize() {
    const bool wasShown = m_visible, wasMinimized = m_minimized;
    m_minimized = true;
    ShownMayHaveChanged(wasShown, wasMinimized);
}

void MemoryWindow::Maximize() {
    const bool wasShown = m_visible, wasMinimized = m_minimized;
    m_maximized = true;
    m_minimized = false;
    m_visible = true;
    ShownMayHaveChanged(wasShown, wasMinimized);
}

void MemoryWindow::Restore() {
    const bool wasShown = m_visible, wasMinimized = m_minimized;
    m_minimized = false;
    m_maximized = false;
    m_visible = true;
    ShownMayHaveChanged(wasShown, wasMinimized);
}

void MemoryWindow::BringToFront() {
    const bool wasShown = m_visible, wasMinimized = m_minimized, wasMapped = m_mapped;
    m_mapped = true; // the desktop brings it to the workspace shown
    m_minimized = false;
    m_maximized = false;
    m_visible = true;
    ShownMayHaveChanged(wasShown, wasMinimized, wasMapped);
    for (MemoryWindow* window : m_toolkit.Windows()) {
        window->m_active = window == this;
    }
}

void MemoryWindow::Close(int code) {
    const bool wasShown = m_visible, wasMinimized = m_minimized;
    m_visible = false;
    ShownMayHaveChanged(wasShown, wasMinimized);
    if (m_modal) {
        m_modalClosed = true;
        m_modalCode = code;
    }
}

int MemoryWindow::ShowModal() {
    if (m_modal) {
        return -1;
    }
    m_modal = true;
    m_modalClosed = false;
    m_modalCode = 0;
    if (m_owner != nullptr) {
        ++m_owner->m_blockedBy;
    }
    Show();
    m_toolkit.CallModalDriver(*this);
    const bool closed = m_toolkit.RunUntil([this] { return m_modalClosed; });
    if (m_owner != nullptr) {
        --m_owner->m_blockedBy;
    }
    m_modal = false;
    m_visible = false;
    return closed ? m_modalCode : -1;
}

void MemoryWindow::CenterWindow() {
    const Rect size = Geometry();
    const Rect area = m_owner != nullptr ? m_owner->Geometry() : WorkArea();
    m_position = Point{area.x + (area.width - size.width) / 2, area.y + (area.height - size.height) / 2};
}

Rect MemoryWindow::Geometry() const {
    return Rect{m_position.x, m_position.y, Scale(m_baseSize.width), Scale(m_baseSize.height)};
}

void MemoryWindow::SetGeometry(const Rect& rect) {
    const Rect before = Geometry();
    m_position = Point{rect.x, rect.y};
    m_baseSize = Size{Unscale(std::max(0, rect.width)), Unscale(std::max(0, rect.height))};
    const Rect after = Geometry();
    if (m_root && (after.width != before.width || after.height != before.height)) {
        Deliver(kNotifyWindowSize, m_root.get(), after.width, after.height);
    }
}

Rect MemoryWindow::WorkArea() const {
    return m_toolkit.WorkAreaRect();
}

bool MemoryWindow::SetDpi(int dpi) {
    if (!IsValidDpi(dpi)) {
        return false;
    }
    m_dpi = dpi;
    return true;
}

bool MemoryWindow::AddFont(int id, const FontInfo& font) {
    if (id < 0) {
        return false;
    }
    m_fonts[id] = font;
    return true;
}

std::optional<FontInfo> MemoryWindow::Font(int id) const {
    const auto found = m_fonts.find(id);
    return found == m_fonts.end() ? std::nullopt : std::optional<FontInfo>(found->second);
}

void MemoryWindow::ForgetControl(const Control* control) {
    if (m_focus == control) {
        m_focus = nullptr;
    }
}

int MemoryWindow::Scale(int length) const {
    const int64_t scaled = int64_t(length) * m_dpi;
    return int(scaled >= 0 ? (scaled + kDefaultDpi / 2) / kDefaultDpi
                           : -((-scaled + kDefaultDpi / 2) / kDefaultDpi));
}

int MemoryWindow::Unscale(int length) const {
    const int64_t base = int64_t(length) * kDefaultDpi;
    return int(base >= 0 ? (base + m_dpi / 2) / m_dpi : -((-base + m_dpi / 2) / m_dpi));
}

} // namespace velkor::ui
