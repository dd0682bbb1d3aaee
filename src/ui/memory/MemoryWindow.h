#pragma once
// A window of the in-memory toolkit.
#include "ui/Window.h"
#include "ui/memory/MemoryControl.h"

#include <map>
#include <memory>

namespace velkor::ui {

class MemoryToolkit;

class MemoryWindow final : public Window {
public:
    MemoryWindow(MemoryToolkit& toolkit, const WindowOptions& options);
    ~MemoryWindow() override;
    MemoryWindow(const MemoryWindow&) = delete;
    MemoryWindow& operator=(const MemoryWindow&) = delete;

    const std::string& ClassName() const override { return m_className; }
    Control& Root() const override { return *m_root; }
    void AddNotifier(NotifyReceiver& receiver) override;
    void RemoveNotifier(NotifyReceiver& receiver) override;

    void Show() override;
    void Hide() override;
    bool IsVisible() const override { return m_visible; }
    void Minimize() override;
    void Maximize() override;
    void Restore() override;
    bool IsMinimized() const override { return m_minimized; }
    bool IsMaximized() const override { return m_maximized; }
    bool IsOnScreen() const override { return m_visible && !m_minimized && m_mapped; }
    void BringToFront() override;
    void SetTopmost(bool topmost) override { m_topmost = topmost; }
    void Close(int code) override;
    int ShowModal() override;
    bool IsModal() const override { return m_modal; }
    void CenterWindow() override;
    Rect Geometry() const override;
    void SetGeometry(const Rect& rect) override;
    Rect WorkArea() const override;
    std::string Title() const override { return m_title; }
    void SetTitle(std::string_view title) override { m_title = title; }
    bool SetDpi(int dpi) override;
    int Dpi() const override { return m_dpi; }
    void SetDefaultFont(const FontInfo& font) override { m_defaultFont = font; }
    FontInfo DefaultFont() const override { return m_defaultFont; }
    bool AddFont(int id, const FontInfo& font) override;
    std::optional<FontInfo> Font(int id) const override;
    void RemoveAllFonts() override { m_fonts.clear(); }
    void SetInputTap(InputTap* tap) override { m_tap = tap; }
    InputTap* GetInputTap() const override { return m_tap; }

    // --- in-memory extras ---

    // The desktop unmaps the window (another workspace) or maps it again,
    // without the program asking: it stays shown. Mapped unless said otherwise.
    void SetMappedByDesktop(bool mapped);

    // Delivers a notification to the handler and the receivers.
    void Deliver(std::string_view type, Control* sender, int64_t wParam, int64_t lParam);
    MemoryControl& RootControl() const { return *m_root; }
    // Installs the tree built by the toolkit; `baseSize` is the layout's size at 96 DPI.
    void SetRoot(std::unique_ptr<MemoryControl> root, Size baseSize);
    WindowHandler* Handler() const { return m_handler; }
    MemoryWindow* OwnerWindow() const { return m_owner; }
    // True while a modal run of another window blocks this one.
    bool IsBlocked() const { return m_blockedBy > 0; }
    bool IsTopmost() const { return m_topmost; }
    bool IsActive() const { return m_active; }
    void SetActive(bool active) { m_active = active; }
    Control* FocusedControl() const { return m_focus; }
    void SetFocusedControl(Control* control) { m_focus = control; }
    // The control is going away: forget it as focus.
    void ForgetControl(const Control* control);
    // Scales a 96-DPI length to the window's DPI.
    int Scale(int length) const;
    int Unscale(int length) const;
    // Token that dies with the window, for work queued on its behalf.
    std::weak_ptr<int> AliveToken() const { return m_alive; }

private:
    MemoryToolkit& m_toolkit;
    const std::string m_className;
    MemoryWindow* m_owner;
    WindowHandler* m_handler;
    // Tells the handler when shown, minimised or mapped changed.
    void ShownMayHaveChanged(bool wasShown, bool wasMinimized, bool wasMapped = true);
    std::unique_ptr<MemoryControl> m_root;
    NotifierList m_notifiers;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);

    bool m_visible = false;
    bool m_minimized = false;
    bool m_mapped = true;
    bool m_maximized = false;
    bool m_topmost = false;
    bool m_active = false;
    bool m_modal = false;
    bool m_modalClosed = false;
    int m_modalCode = 0;
    int m_blockedBy = 0;
    Point m_position;
    Size m_baseSize; // at 96 DPI
    int m_dpi = kDefaultDpi;
    std::string m_title;
    FontInfo m_defaultFont;
    std::map<int, FontInfo> m_fonts;
    Control* m_focus = nullptr;
    InputTap* m_tap = nullptr;
};

} // namespace velkor::ui
