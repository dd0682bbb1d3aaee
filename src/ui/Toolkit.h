#pragma once
// The toolkit: builds windows and controls from layout files, runs the loop,
// and gives the logic the few services around it (texts, menus, the
// notification-area icon, the dispatcher). Two toolkits implement it: the Qt
// one (src/ui/qt) and the in-memory one (src/ui/memory) for tests and
// headless runs.
//
// Every operation runs on the user-interface thread, except the dispatcher's
// Post and Send.
#include "ui/Control.h"
#include "ui/Dispatcher.h"
#include "ui/Geometry.h"
#include "ui/ResourceIndex.h"
#include "ui/Window.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::ui {

// Language texts by key (the program's language files).
class TextProvider {
public:
    virtual ~TextProvider() = default;
    virtual std::optional<std::string> Text(std::string_view key) const = 0;
};

// The provider's text for `key`, or the key itself when there is none (or no provider).
std::string TextOrKey(const TextProvider* provider, std::string_view key);

// Decides what a class the toolkit does not know stands for. The toolkit first
// asks CanCreate for every such class of a layout; when one is refused, nothing
// is built and the build fails. When the whole layout is built, ControlCreated
// is called for those controls in layout order (each is a plain container of
// that class with its properties and children), so the creator can attach its
// own object to it or fill it with Toolkit::BuildInto.
class ControlCreator {
public:
    virtual ~ControlCreator() = default;
    virtual bool CanCreate(std::string_view className) const = 0;
    virtual void ControlCreated(std::string_view className, Control& control) = 0;
};

class MenuReceiver {
public:
    virtual ~MenuReceiver() = default;
    // `item` is the name of the chosen entry; the menu closes before the call.
    virtual void MenuItemChosen(std::string_view item) = 0;
};

class Menu {
public:
    virtual ~Menu() = default;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;
    // Names of the entries, separators left out.
    virtual std::vector<std::string> ItemNames() const = 0;
};

enum class MouseButton { Left, Right };

class TrayReceiver {
public:
    virtual ~TrayReceiver() = default;
    // The icon was clicked (button released).
    virtual void TrayIconClicked(MouseButton button) = 0;
};

class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    virtual void SetToolTip(std::string_view text) = 0;
    virtual std::string ToolTip() const = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool IsVisible() const = 0;
};

// What a file dialog asks. The filter is shown as `filterName` and matches
// `pattern` ("*.json"); `suggestedName` pre-fills the save dialog's name.
struct FileDialogOptions {
    Window* parent = nullptr;
    std::string title;
    std::string filterName;
    std::string pattern;
    std::string suggestedName;
};

// The most memory a picture's decoded pixels may take.
inline constexpr int64_t kMaxImageBytes = int64_t(64) << 20;

class Toolkit {
public:
    virtual ~Toolkit() = default;

    virtual const ResourceIndex& Resources() const = 0;
    virtual Dispatcher& GetDispatcher() = 0;

    // The provider stays owned by the caller and must outlive its use; null removes it.
    virtual void SetTextProvider(const TextProvider* provider) = 0;
    // The provider's text for `key`, or the key itself when there is none.
    virtual std::string LookUpText(std::string_view key) const = 0;
    // Shows again every resource text of every window (after a language change).
    virtual void ReloadTexts() = 0;

    // Builds a window from its layout, hidden. Null, with `error` set, when the
    // layout is missing or damaged or names a class nobody accepts. The window
    // raises "windowinit" once, from the loop, after it was created.
    virtual std::unique_ptr<Window> CreateWindow(const WindowOptions& options,
                                                 std::string* error = nullptr) = 0;
    // Dialog builder: builds the layout's top control with everything below it as
    // the last child of `container` (filling it), in the container's window.
    // Returns that control, or null with `error` set; nothing is added then.
    virtual Control* BuildInto(Control& container, std::string_view layout, ControlCreator* creator,
                               std::string* error = nullptr) = 0;

    // Runs the loop until Quit; returns Quit's code (-1 when it runs already).
    virtual int RunLoop() = 0;
    // Ends RunLoop, and every modal run inside it (they return -1). Outside
    // RunLoop it does nothing.
    virtual void Quit(int code) = 0;

    // Window::SetDpi on every window of the toolkit. False (nothing changes) for a value not accepted.
    virtual bool SetDpiForAll(int dpi) = 0;

    // Makes the typeface in a font file available to every window. Returns a
    // handle, or -1 when the file cannot be read or is not a font.
    virtual int AddTypeface(const std::string& path) = 0;
    virtual bool RemoveTypeface(int handle) = 0;
    // The families of a loaded typeface (empty when the toolkit cannot tell).
    virtual std::vector<std::string> TypefaceFamilies(int handle) const = 0;

    // Opens a pop-up menu from a menu layout with its top left corner at a screen
    // point. Null, with `error` set, for a missing or damaged layout.
    virtual std::unique_ptr<Menu> OpenMenu(std::string_view layout, Point screenPosition,
                                           MenuReceiver& receiver, std::string* error = nullptr) = 0;
    // The notification-area icon; shown at once. `iconPath` is resolved like an image.
    virtual std::unique_ptr<TrayIcon> CreateTrayIcon(const std::string& iconPath, std::string_view toolTip,
                                                     TrayReceiver& receiver) = 0;
    // Whether the desktop has a notification area now; without one a tray icon
    // is never seen, so a window hidden to it could not be reached.
    virtual bool TrayAvailable() const = 0;

    // Modal file dialogs: the chosen path, or nothing when the user cancelled.
    // The save dialog does not create the file.
    virtual std::optional<std::string> AskOpenFileName(const FileDialogOptions& options) = 0;
    virtual std::optional<std::string> AskSaveFileName(const FileDialogOptions& options) = 0;

    // Whether an image description names a picture that can be shown: the file
    // is an image of a known format, it decodes, and its pixels take at most
    // kMaxImageBytes (a huge picture is refused before it is decoded). False
    // with `error` set otherwise.
    virtual bool ImageUsable(std::string_view description, std::string* error = nullptr) const = 0;

    virtual Rect PrimaryScreen() const = 0;
    virtual Point CursorPosition() const = 0;
};

// A window of the program's own drawing over `options.owner`: no frame, kept
// out of the task bar (the flags are added to `options`), titled `title`.
// Null with `error` set when the toolkit cannot build it.
std::unique_ptr<Window> CreateToolWindow(Toolkit& toolkit, WindowOptions options, std::string_view title,
                                         std::string* error);

} // namespace velkor::ui
