#pragma once
// The in-memory toolkit: builds control trees from the same layout files as
// the Qt toolkit, stores every property, and runs timers on a ManualClock.
// Headless, fast and deterministic: time moves only when a test calls
// AdvanceTime or when a loop (RunLoop, a modal run) has nothing else to do and
// jumps to the next timer. Tests act as the user through MemoryUser.
#include "ui/Toolkit.h"
#include "ui/memory/Clock.h"
#include "ui/memory/MemoryWindow.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace velkor::ui {

class MemoryMenu;
class MemoryTrayIcon;
struct LayoutNode;

class MemoryToolkit final : public Toolkit {
public:
    // `realTime`: loops wait for real time to pass before a timer is due (headless
    // runs) instead of jumping to it (tests).
    MemoryToolkit(ResourceIndex resources, ManualClock& clock, bool realTime = false);
    // Loads `resourceFolder`/res.xml; null with `error` set when it cannot.
    static std::unique_ptr<MemoryToolkit> Create(const std::string& resourceFolder, ManualClock& clock,
                                                 std::string* error = nullptr, bool realTime = false);
    ~MemoryToolkit() override;
    MemoryToolkit(const MemoryToolkit&) = delete;
    MemoryToolkit& operator=(const MemoryToolkit&) = delete;

    const ResourceIndex& Resources() const override { return m_resources; }
    Dispatcher& GetDispatcher() override { return m_dispatcher; }
    void SetTextProvider(const TextProvider* provider) override { m_textProvider = provider; }
    std::string LookUpText(std::string_view key) const override;
    void ReloadTexts() override { ++m_textReloads; }
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
    bool TrayAvailable() const override { return m_trayAvailable; }
    std::optional<std::string> AskOpenFileName(const FileDialogOptions& options) override;
    std::optional<std::string> AskSaveFileName(const FileDialogOptions& options) override;
    bool ImageUsable(std::string_view description, std::string* error = nullptr) const override;
    Rect PrimaryScreen() const override { return m_screen; }
    Point CursorPosition() const override { return m_cursor; }

    // --- driving it from tests ---

    ManualClock& Clock() const { return m_clock; }
    // Runs the queued dispatcher work (including "windowinit"); returns how much ran.
    int ProcessPending();
    // Moves the clock forward by `ms`, firing every timer at its own due time in
    // order (timers due together in the order they were last armed) and running
    // queued work in between. Returns how many timers fired.
    int AdvanceTime(int64_t ms);
    // Called once at the start of every modal run, after the window is shown, so
    // that a test can act on the window (click "confirm_btn").
    void SetModalDriver(std::function<void(MemoryWindow&)> driver) { m_modalDriver = std::move(driver); }
    // The answers the next file dialogs give, oldest first; a dialog with no
    // answer left is cancelled. Every dialog asked is kept in FileDialogsAsked.
    void QueueFileDialogAnswer(std::optional<std::string> path) { m_fileAnswers.push_back(std::move(path)); }
    const std::vector<FileDialogOptions>& FileDialogsAsked() const { return m_fileDialogs; }
    void SetScreen(const Rect& screen, const Rect& workArea);
    void SetCursorPosition(Point position) { m_cursor = position; }
    int TextReloadCount() const { return m_textReloads; }
    // The menus currently open, oldest first.
    std::vector<MemoryMenu*> OpenMenus() const;
    std::vector<MemoryTrayIcon*> TrayIcons() const { return m_trayIcons; }
    // A desktop without a notification area (TrayAvailable false); it has one by default.
    void SetTrayAvailable(bool available) { m_trayAvailable = available; }
    // Windows alive, in creation order.
    const std::vector<MemoryWindow*>& Windows() const { return m_windows; }
    // The timers of a control that are running, by id.
    std::vector<int> RunningTimers(const Control& control) const;

    // --- used by the toolkit's own classes ---

    bool StartTimer(MemoryControl& control, int id, int intervalMs);
    bool StopTimer(const MemoryControl& control, int id);
    void StopAllTimers(const MemoryControl& control);
    void AddWindow(MemoryWindow& window) { m_windows.push_back(&window); }
    void RemoveWindow(MemoryWindow& window);
    // Runs the loop until `done` is true or the loop is quit; false when quit.
    bool RunUntil(const std::function<bool()>& done);
    void CallModalDriver(MemoryWindow& window);
    Rect WorkAreaRect() const { return m_workArea; }
    void MenuClosed(MemoryMenu& menu);
    void TrayIconGone(MemoryTrayIcon& icon);
    // Builds the controls of `node` below `parent`; the creator calls are left to the caller.
    bool BuildTree(const LayoutNode& node, MemoryWindow& window, MemoryControl* parent,
                   std::unique_ptr<MemoryControl>& built, std::string* error);
    // Reads and checks a layout: every class must be built in or accepted by `creator`.
    bool ReadCheckedLayout(std::string_view layout, ControlCreator* creator, LayoutNode& node,
                           std::string* error) const;

private:
    struct Timer {
        MemoryControl* control;
        int id;
        int interval;
        int64_t due;
        uint64_t order;
    };

    // Fires the earliest timer due at or before `limit`; false when none.
    bool FireOneTimer(int64_t limit);
    std::optional<int64_t> NextDue() const;
    void Wake();
    // Blocks until another thread queues work, or until `deadline` of real time in real-time mode.
    void WaitIdle(std::optional<int64_t> dueMs);

    ResourceIndex m_resources;
    ManualClock& m_clock;
    const bool m_realTime;
    Dispatcher m_dispatcher;
    const TextProvider* m_textProvider = nullptr;
    int m_textReloads = 0;
    std::vector<MemoryWindow*> m_windows;
    std::vector<Timer> m_timers;
    uint64_t m_timerOrder = 0;
    bool m_inRunLoop = false;
    bool m_quit = false;
    int m_quitCode = 0;
    int m_loopDepth = 0;
    std::function<void(MemoryWindow&)> m_modalDriver;
    Rect m_screen{0, 0, 1920, 1080};
    Rect m_workArea{0, 0, 1920, 1040};
    Point m_cursor;
    std::map<int, std::string> m_typefaces;
    int m_nextTypeface = 1;
    std::vector<MemoryMenu*> m_menus;
    std::vector<MemoryTrayIcon*> m_trayIcons;
    std::deque<std::optional<std::string>> m_fileAnswers;
    std::vector<FileDialogOptions> m_fileDialogs;

    std::mutex m_wakeMutex;
    std::condition_variable m_wakeSignal;
    bool m_woken = false;
    bool m_trayAvailable = true;
};

} // namespace velkor::ui
