#pragma once
// CDeviceHook: the one input hook of the program. While it runs, the keys
// (and, when asked, the mouse buttons) the user presses are reported to a
// target, with a report kind chosen by the hook mode, and keys are kept from
// everything else.
//
// Where presses come from is a list of input sources in order of preference;
// each class (keys, buttons) is served by the first source that can serve it.
// The main window's input tap serves both classes, but only while the window
// is active.
//
// Modes and their reports (the kind names are the registered message names):
//   keys:    1 single key, 2 hit key, 4 record (append), 8 record before the
//            selected row, 16 after it, 32 replace it, 256, 512, 1024 mouse
//            kinds; any other mode reports nothing (and still swallows keys).
//   buttons: 4, 8, 16, 32 the mouse recording kinds; other modes report nothing.
// User-interface thread.
#include "ui/InputTap.h"
#include "ui/Window.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace velkor {

enum class HookReport {
    KeySingleKey,
    KeyHitKey,
    KeyKbMacro,
    KeyKbMacroPrevious,
    KeyKbMacroLater,
    KeyKbMacroSingle,
    MouSingleKey,
    MouHitKey,
    MouKbMacro,
    KeyMsMacro,
    KeyMsMacroPrevious,
    KeyMsMacroLater,
    KeyMsMacroSingle,
};

// "WM_HOOK_KEY_SINGLEKEY_MSG" and so on.
std::string_view HookReportName(HookReport report);
// The report of a key, or of a mouse button, in `mode`; nothing when the mode reports none.
std::optional<HookReport> KeyReportFor(int mode);
std::optional<HookReport> ButtonReportFor(int mode);
// Modes 4, 8, 16 and 32.
bool IsRecordingMode(int mode);
// The reports of those modes: keys and mouse buttons recorded into a macro.
bool IsRecordingReport(HookReport report);

class HookReceiver {
public:
    virtual ~HookReceiver() = default;
    // Runs before the hook goes on; it may Stop or Start the hook.
    virtual void HookReported(HookReport report, const ui::InputPress& press) = 0;
};

enum class HookSourceKind { None, Window, Global };

struct InputClasses {
    bool keys = false;
    bool buttons = false;
};

// A place presses come from. Every source is begun while hooked, so each can
// keep keys from its own consumers even when another serves them.
class HookInputSource {
public:
    virtual ~HookInputSource() = default;
    virtual HookSourceKind Kind() const = 0;
    // Starts keeping keys from everything else and giving presses to `sink`;
    // returns the classes it serves, a subset of those asked (presses of other
    // classes it gives are dropped).
    virtual InputClasses Begin(ui::InputTap& sink, InputClasses wanted) = 0;
    // Stops everything Begin started. Without a Begin it does nothing.
    virtual void End() = 0;
};

// The window's input tap as a source: both classes, whenever asked.
class WindowTapSource final : public HookInputSource {
public:
    // The window must outlive the source.
    explicit WindowTapSource(ui::Window& window) : m_window(window) {}
    ~WindowTapSource() override { End(); }
    HookSourceKind Kind() const override { return HookSourceKind::Window; }
    InputClasses Begin(ui::InputTap& sink, InputClasses wanted) override;
    void End() override;

private:
    ui::Window& m_window;
    bool m_set = false;
};

class CDeviceHook final {
public:
    CDeviceHook() = default;
    ~CDeviceHook();
    CDeviceHook(const CDeviceHook&) = delete;
    CDeviceHook& operator=(const CDeviceHook&) = delete;

    // The sources in order of preference; they must outlive the hook. Only while not hooked.
    void SetSources(std::vector<HookInputSource*> sources);

    // Stops a running hook first. With `keyboardHook` set, keys must be served,
    // else 0 (not hooked, nothing stored). With `buttonHook` set, buttons are
    // asked for too (not being served is no failure). Then the target and the
    // mode are stored and 1 returned. `value` has no effect.
    int Start(int value, int mode, HookReceiver* target, bool keyboardHook, bool buttonHook);
    // Stops the hook: 1 when keys were being served, else 0.
    int Stop();

    bool IsHooked() const { return m_hooked; }
    int Mode() const { return m_mode; }
    // Which source serves keys and buttons (None when not hooked or not asked).
    HookSourceKind KeySource() const { return m_keySource; }
    HookSourceKind ButtonSource() const { return m_buttonSource; }

private:
    // What one begun source feeds: only the classes it serves pass.
    class Feed final : public ui::InputTap {
    public:
        Feed(CDeviceHook& hook, HookInputSource& source) : m_hook(hook), m_source(source) {}
        void InputTapped(const ui::InputPress& press) override;
        CDeviceHook& m_hook;
        HookInputSource& m_source;
        InputClasses m_served;
    };
    void Report(const ui::InputPress& press);
    void EndSources();

    std::vector<HookInputSource*> m_sources;
    std::vector<std::unique_ptr<Feed>> m_feeds;
    HookReceiver* m_target = nullptr;
    int m_mode = 0;
    bool m_hooked = false;
    HookSourceKind m_keySource = HookSourceKind::None;
    HookSourceKind m_buttonSource = HookSourceKind::None;
};

} // namespace velkor
