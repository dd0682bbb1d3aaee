#pragma once
// A device's page: the container built from its page layout, the key and
// light buttons of its picture, the notification filter and the function-page
// switch. User-interface thread only.
//
// Several device pages share one window and may carry controls of the same
// name, so a notification belongs to a page only when the sender's name,
// looked up inside that page, finds the sender itself.
#include "ui/Notification.h"

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

namespace ui {
class Control;
}

class DevicePageBinding {
public:
    // Counts above this are refused (no model comes near it).
    static constexpr int kMaxCount = 1024;

    DevicePageBinding() = default;
    // Leaves the window's receivers when it had joined them.
    ~DevicePageBinding();
    DevicePageBinding(const DevicePageBinding&) = delete;
    DevicePageBinding& operator=(const DevicePageBinding&) = delete;

    void SetLayoutPath(std::string path) { m_layoutPath = std::move(path); }
    const std::string& LayoutPath() const { return m_layoutPath; }
    // The page built from the page layout (null: no page). Its window must
    // outlive the binding once Register was called.
    void Attach(ui::Control* page) { m_page = page; }
    ui::Control* Page() const { return m_page; }

    // Resize the key or light button list (entries null until Collect). False
    // (nothing changes) outside 0..kMaxCount.
    bool SetKeyCount(int count);
    bool SetLightCount(int count);
    // Finds the first "SelectPanel" of the page and takes its "DeviceKeyButton"
    // children named "key_" + n (n < key count) and "light_" + n (n < light
    // count). Buttons of an earlier collection are forgotten first.
    void Collect();
    // The same on `container` (null: nothing), which becomes the key panel;
    // a button's user data "light_" + n also makes it light button n.
    void CollectFrom(ui::Control* container);
    // Both lists and the key panel emptied.
    void Clear();
    ui::Control* KeyPanel() const { return m_keyPanel; }
    const std::vector<ui::Control*>& KeyControls() const { return m_keyControls; }
    const std::vector<ui::Control*>& LightControls() const { return m_lightControls; }

    // The notification's sender is a control of this page.
    bool Owns(const ui::Notification& notification) const;
    // Adds `receiver` to the page's window receivers. False without a page.
    bool Register(ui::NotifyReceiver& receiver);

    // Stores the type and selects the pages of "device_function_switch" and
    // "device_key_function_switch" for it (missing switches are skipped).
    // Page 4 exists only on keyboards and mice (`hasPage4`); elsewhere type 4
    // shows what type 7 shows.
    void SelectFunctionPage(int type, bool hasPage4);
    int FunctionPage() const { return m_functionPage; }

    // Paints every visible light button from its LED (byte 0 red, 1 green,
    // 2 blue, 3 level); LEDs without a button are skipped.
    void PaintLights(std::span<const uint32_t> leds);
    // Repaints the device picture (the key panel).
    void RepaintPicture();

private:
    ui::Control* FindSwitch(ui::Control*& cache, std::string_view name);

    std::string m_layoutPath;
    ui::Control* m_page = nullptr;
    ui::Control* m_keyPanel = nullptr;
    ui::Control* m_functionSwitch = nullptr;
    ui::Control* m_keyFunctionSwitch = nullptr;
    ui::NotifyReceiver* m_registered = nullptr;
    std::vector<ui::Control*> m_keyControls;
    std::vector<ui::Control*> m_lightControls;
    std::atomic<int> m_functionPage{1}; // the light thread asks which page shows
};

// Shows LED `led` (byte 0 red .. byte 3 level) on a light overlay, or
// nothing (colour 0, level 0) when `show` is false; an overlay that already
// shows it, or a control without a light, is left alone. True when it was
// repainted.
bool PaintLight(ui::Control& overlay, uint32_t led, bool show);

} // namespace velkor
