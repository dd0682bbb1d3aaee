#pragma once
// The real toolkit, on Qt 6 Widgets: windows are Qt Designer layouts loaded
// with QUiLoader, Qt's signals and events become the program's notifications,
// timers are QTimers, the tray icon is a QSystemTrayIcon, and one style sheet
// from the resource folder dresses every window.
//
// This header includes no Qt header, so that the program's entry point can
// create the toolkit without seeing Qt.
#include "ui/Toolkit.h"

#include <memory>
#include <mutex>
#include <string>

class QApplication;
class QObject;

namespace velkor::ui {

class QtToolkit final : public Toolkit {
public:
    // Creates the application object unless one exists (then it is used and not
    // owned), reads `resourceFolder`/res.xml and applies its style sheet. Null,
    // with `error` set, when the index cannot be read or another QtToolkit lives.
    // Must run on the thread that becomes the user-interface thread; argc and argv
    // must outlive the toolkit (Qt keeps them).
    static std::unique_ptr<QtToolkit> Create(const std::string& resourceFolder, int& argc, char** argv,
                                             std::string* error = nullptr);
    // Windows, menus and tray icons must be gone before the toolkit.
    ~QtToolkit() override;
    QtToolkit(const QtToolkit&) = delete;
    QtToolkit& operator=(const QtToolkit&) = delete;

    const ResourceIndex& Resources() const override { return m_resources; }
    Dispatcher& GetDispatcher() override { return *m_dispatcher; }
    void SetTextProvider(const TextProvider* provider) override { m_textProvider = provider; }
    std::string LookUpText(std::string_view key) const override;
    void ReloadTexts() override;
    std::unique_ptr<Window> CreateWindow(const WindowOptions& options, std::string* error = nullptr) override;
    Control* BuildInto(Control& container, std::string_view layout, ControlCreator* creator,
                       std::string* error = nullptr) override;
    int RunLoop() override;
    void Quit(int code) override;
    bool SetDpiForAll(int dpi) override;
    int AddTypeface(const std::string& path) override;
    bool RemoveTypeface(int handle) override;
    std::vector<std::string> TypefaceFamilies(int handle) const override;
    std::unique_ptr<Menu> OpenMenu(std::string_view layout, Point screenPosition, MenuReceiver& receiver,
                                   std::string* error = nullptr) override;
    std::unique_ptr<TrayIcon> CreateTrayIcon(const std::string& iconPath, std::string_view toolTip,
                                             TrayReceiver& receiver) override;
    bool TrayAvailable() const override;
    std::optional<std::string> AskOpenFileName(const FileDialogOptions& options) override;
    std::optional<std::string> AskSaveFileName(const FileDialogOptions& options) override;
    bool ImageUsable(std::string_view description, std::string* error = nullptr) const override;
    Rect PrimaryScreen() const override;
    Point CursorPosition() const override;

    // --- used by the toolkit's own classes ---

    // While a Silence lives, changes made by the program raise no notification.
    class Silence {
    public:
        explicit Silence(QtToolkit& toolkit) : m_toolkit(toolkit) { ++m_toolkit.m_silence; }
        ~Silence() { --m_toolkit.m_silence; }
        Silence(const Silence&) = delete;
        Silence& operator=(const Silence&) = delete;

    private:
        QtToolkit& m_toolkit;
    };
    bool IsSilenced() const { return m_silence > 0; }
    void AddWindow(Window& window) { m_windows.push_back(&window); }
    void RemoveWindow(Window& window);

private:
    QtToolkit(ResourceIndex resources, QApplication* ownedApplication);
    void Wake();

    ResourceIndex m_resources;
    QApplication* m_ownedApplication;
    QObject* m_wakeTarget;
    std::mutex m_wakeMutex; // guards m_wakeTarget against a wake racing with destruction
    bool m_wakeQueued = false;
    std::unique_ptr<Dispatcher> m_dispatcher;
    const TextProvider* m_textProvider = nullptr;
    std::vector<Window*> m_windows;
    int m_silence = 0;
    bool m_inRunLoop = false;
};

} // namespace velkor::ui
