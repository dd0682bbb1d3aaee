#pragma once
// A window of the Qt toolkit: the top widget of a loaded layout, the wrappers of
// its widgets, and the window-level events (close, activation, hover, size).
#include "ui/Window.h"
#include "ui/qt/QtControl.h"

#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <map>
#include <memory>

class QScreen;

namespace velkor::ui {

class QtToolkit;
class QtWindow;
class QtInputTapFilter;
struct LayoutNode;

// A widget of a loaded layout with the layout node it came from, in layout order.
struct LoadedWidget {
    QWidget* widget;
    const LayoutNode* node;
};

// Watches the window's widgets for the events that become notifications.
class QtWindowEvents final : public QObject {
public:
    explicit QtWindowEvents(QtWindow& window) : m_window(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QtWindow& m_window;
};

class QtWindow final : public Window {
public:
    QtWindow(QtToolkit& toolkit, const WindowOptions& options);
    ~QtWindow() override;
    QtWindow(const QtWindow&) = delete;
    QtWindow& operator=(const QtWindow&) = delete;

    const std::string& ClassName() const override { return m_className; }
    Control& Root() const override { return *m_rootControl; }
    void AddNotifier(NotifyReceiver& receiver) override { m_notifiers.Add(receiver); }
    void RemoveNotifier(NotifyReceiver& receiver) override { m_notifiers.Remove(receiver); }
    void Show() override;
    void Hide() override;
    bool IsVisible() const override;
    void Minimize() override;
    void Maximize() override;
    void Restore() override;
    bool IsMinimized() const override;
    bool IsMaximized() const override;
    bool IsOnScreen() const override;
    void BringToFront() override;
    void SetTopmost(bool topmost) override;
    void Close(int code) override;
    int ShowModal() override;
    bool IsModal() const override { return m_modalLoop != nullptr; }
    void CenterWindow() override;
    Rect Geometry() const override;
    void SetGeometry(const Rect& rect) override;
    Rect WorkArea() const override;
    std::string Title() const override;
    void SetTitle(std::string_view title) override;
    bool SetDpi(int dpi) override;
    int Dpi() const override { return m_dpi; }
    void SetDefaultFont(const FontInfo& font) override;
    FontInfo DefaultFont() const override { return m_defaultFont; }
    bool AddFont(int id, const FontInfo& font) override;
    std::optional<FontInfo> Font(int id) const override;
    void RemoveAllFonts() override;
    void SetInputTap(InputTap* tap) override;
    InputTap* GetInputTap() const override;

    // --- for the toolkit and the controls ---

    // Takes the loaded top widget (no parent) and wraps every widget of it.
    void Adopt(QWidget* root, const std::vector<LoadedWidget>& widgets);
    // Wraps widgets loaded below `parent` (a build into a container, or a list row
    // when `addToParent` is false: a list keeps its rows itself).
    QtControl* WrapBelow(QtControl& parent, const std::vector<LoadedWidget>& widgets, bool addToParent);
    // Shows every resource text again.
    void RefreshTexts();
    // Forgets the wrappers of a control and everything below it (before its widget goes).
    void Forget(QtControl& control);
    QtControl* ControlOf(const QWidget* widget) const;
    QWidget* RootWidget() const { return m_root; }
    // Everything the program connects or times lives on this object and dies with the window.
    QObject& Context() { return *m_context; }
    void Deliver(std::string_view type, Control* sender, int64_t wParam, int64_t lParam);
    double ScaleFactor() const { return m_dpi / double(kDefaultDpi); }
    QFont FontFor(int id) const;
    // Window-level events from QtWindowEvents.
    bool RootEvent(QEvent* event);
    // The native window was exposed or hidden from view (an expose event).
    void ExposureChanged();
    WindowHandler* Handler() const { return m_handler; }
    // Token that dies with the window, for work queued on its behalf.
    std::weak_ptr<int> AliveToken() const { return m_alive; }

private:
    // Tells the handler about display and scale changes of the desktop.
    void WatchDisplays();
    void WatchScreen(QScreen* screen);
    // Listens to the native window's expose events (it may be created anew
    // when the window is shown again).
    void WatchExposure();
    QtControl* Wrap(const LoadedWidget& loaded, QtControl* parent);
    void ApplyScaleEverywhere();

    QtToolkit& m_toolkit;
    const std::string m_className;
    QtWindow* m_owner;
    WindowHandler* m_handler;
    const uint32_t m_flags;
    std::unique_ptr<QObject> m_context;
    std::unique_ptr<QtWindowEvents> m_events;
    std::unique_ptr<QtInputTapFilter> m_tapFilter;
    QPointer<QWidget> m_root;
    QtControl* m_rootControl = nullptr;
    std::map<const QWidget*, std::unique_ptr<QtControl>> m_controls;
    NotifierList m_notifiers;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    QEventLoop* m_modalLoop = nullptr;
    bool m_modalClosed = false;
    int m_modalCode = 0;
    bool m_closing = false;
    bool m_exposed = false; // as the handler was last told
    int m_dpi = kDefaultDpi;
    QSize m_baseSize; // at 96 DPI
    QSize m_lastSize;
    bool m_scaling = false;
    FontInfo m_defaultFont;
    std::map<int, FontInfo> m_fonts;
};

} // namespace velkor::ui
