#pragma once
// A top-level window built from a layout. The toolkit creates it; its owner
// (the logic) keeps the returned object and destroys it, which destroys its
// controls and timers. Every operation runs on the user-interface thread.
#include "ui/Control.h"
#include "ui/Geometry.h"
#include "ui/InputTap.h"
#include "ui/Notification.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::ui {

class ControlCreator;

// Interface DPI: 96 is the layout's own size; 48..192 in steps of 24 are accepted.
inline constexpr int kDefaultDpi = 96;
bool IsValidDpi(int dpi);

// A font of a window's font set. Sizes are pixels at 96 DPI.
struct FontInfo {
    std::string family;
    int pixelSize = 12;
    bool bold = false;
    bool underline = false;
    bool italic = false;
    bool operator==(const FontInfo&) const = default;
};

// Receives the notifications of a window's controls, and the window-level events.
class WindowHandler : public NotifyReceiver {
public:
    // The user asked the window to close (the frame's close button, Alt+F4).
    // True closes it with code 0 (Window::Close); false keeps it as it is.
    virtual bool CloseRequested(Window& window) {
        (void)window;
        return true;
    }
    virtual void ActiveChanged(Window& window, bool active) {
        (void)window;
        (void)active;
    }
    // The pointer entered (true) or left (false) the window.
    virtual void HoverChanged(Window& window, bool inside) {
        (void)window;
        (void)inside;
    }
    // The window was shown or hidden, minimised or restored, mapped or
    // unmapped (by the program or the desktop): IsOnScreen may have changed.
    virtual void ShownChanged(Window& window) { (void)window; }
    // A screen was added or removed, or a screen's resolution changed.
    virtual void DisplayChanged(Window& window) { (void)window; }
    // The desktop's scale for the window's screen changed; `suggestedDpi` is
    // the scale it suggests (96 = 100 %).
    virtual void DpiChanged(Window& window, int suggestedDpi) {
        (void)window;
        (void)suggestedDpi;
    }
};

enum WindowFlag : uint32_t {
    kWindowFrameless = 1u << 0, // no frame or title bar of the desktop
    kWindowTool = 1u << 1,      // not shown in the task bar
    kWindowStaysOnTop = 1u << 2,
    // A pop-up: no task-bar entry, and the desktop closes (hides) it when the
    // user clicks elsewhere.
    kWindowPopup = 1u << 3,
};

struct WindowOptions {
    // A name of the resource index ("XML_MAIN") or a path inside the resource folder.
    std::string layout;
    // The window class name ("MainWnd"), reported back by ClassName().
    std::string className;
    // Centring uses it; a modal run blocks input to it.
    Window* owner = nullptr;
    // Gets every notification first; may be null.
    WindowHandler* handler = nullptr;
    // Asked about every class the toolkit does not know; may be null.
    ControlCreator* creator = nullptr;
    uint32_t flags = 0;
};

class Window {
public:
    virtual ~Window() = default;

    virtual const std::string& ClassName() const = 0;
    // The layout's top control.
    virtual Control& Root() const = 0;
    // The root itself or the first control below it with that name; null when absent.
    Control* FindControl(std::string_view name) const;

    // Receivers after the handler, in the order added; adding one twice adds it once.
    // A receiver removed during a delivery gets nothing more from it.
    virtual void AddNotifier(NotifyReceiver& receiver) = 0;
    virtual void RemoveNotifier(NotifyReceiver& receiver) = 0;

    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual bool IsVisible() const = 0;
    virtual void Minimize() = 0;
    virtual void Maximize() = 0;
    // Back from minimised or maximised, and shown.
    virtual void Restore() = 0;
    virtual bool IsMinimized() const = 0;
    virtual bool IsMaximized() const = 0;
    // A person can see the window: shown, not minimised, and mapped by the
    // desktop. A window manager may unmap a shown window without hiding it
    // (another workspace, its own minimise), and a window just shown is not
    // on screen until the desktop has mapped it.
    virtual bool IsOnScreen() const = 0;
    // Shows, raises and activates the window.
    virtual void BringToFront() = 0;
    virtual void SetTopmost(bool topmost) = 0;

    // Hides the window; a modal run of it returns `code`. The object stays
    // usable (it can be shown again) until its owner destroys it.
    virtual void Close(int code) = 0;
    // Shows the window and runs the loop until Close; returns the code. Returns
    // -1 when the window already runs modally or the program's loop was quit.
    virtual int ShowModal() = 0;
    virtual bool IsModal() const = 0;
    // Centres the window on its owner, or on its screen's work area without one.
    virtual void CenterWindow() = 0;

    // The window's client area on the screen.
    virtual Rect Geometry() const = 0;
    virtual void SetGeometry(const Rect& rect) = 0;
    // The work area of the screen that holds the window.
    virtual Rect WorkArea() const = 0;

    virtual std::string Title() const = 0;
    virtual void SetTitle(std::string_view title) = 0;

    // Scales the window and every control (sizes, positions, fonts) to dpi / 96
    // of the layout's size. False, and nothing changes, when the value is not
    // accepted (IsValidDpi).
    virtual bool SetDpi(int dpi) = 0;
    virtual int Dpi() const = 0;

    // The window's font set: controls with a font id use that font, the others the default font.
    virtual void SetDefaultFont(const FontInfo& font) = 0;
    virtual FontInfo DefaultFont() const = 0;
    // False for a negative id.
    virtual bool AddFont(int id, const FontInfo& font) = 0;
    virtual std::optional<FontInfo> Font(int id) const = 0;
    // Removes every font of the set (the default font stays).
    virtual void RemoveAllFonts() = 0;

    // Sets the window's input tap (InputTap.h); null removes it. The tap must
    // outlive its use.
    virtual void SetInputTap(InputTap* tap) = 0;
    virtual InputTap* GetInputTap() const = 0;
};

} // namespace velkor::ui
