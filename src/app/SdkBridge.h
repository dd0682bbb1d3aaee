#pragma once
// SdkBridge: the program behind its OpenRGB SDK server. It publishes the
// attached devices as controllers (SdkControllers.h) whenever the device API
// sees them come, go or change, and carries out what clients ask:
//   - a mode is the device API's SetLighting, the lighting panel's road
//     (profile stored, device written, SettingsChanged on the bus). Every
//     change is stored in the current profile, so "save mode" is the same;
//   - Direct (the Direct mode, "set custom mode") shows a client's colours on
//     a keyboard's live frame or the headset's LED frames; the page says which
//     program drives them. Direct ends when the lighting changes on the page,
//     when the client goes, and when this program gives up the lighting (no
//     frame reaches a device meanwhile). On the mouse and the pad "set custom
//     mode" selects their steady effect; LED colours for them are ignored;
//   - the newest frame of a controller replaces one not yet shown, so a
//     client sending faster than the window runs never queues work.
//
// OnCommand and OnClientGone run on the server thread and only post to the
// user-interface thread; everything else runs on the user-interface thread.
#include "app/SdkControllers.h"
#include "sdk/SdkServer.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velkor {

class CMainWnd;
class DeviceApi;
namespace ui {
class Dispatcher;
class TextProvider;
} // namespace ui

// The language key of the page's note, with "%s" for the client's name.
inline constexpr std::string_view kSdkDrivenTextKey = "light_sdk_driven_text";
inline constexpr std::string_view kSdkDrivenControl = "light_sdk_driven_text";

class SdkBridge final : public sdk::SdkHost {
public:
    // Work posted beyond this is dropped (a client flooding mode changes).
    static constexpr int kMaxPending = 64;

    SdkBridge(CMainWnd& window, DeviceApi& api, const ui::TextProvider* texts, ui::Dispatcher& dispatcher);
    ~SdkBridge() override;
    SdkBridge(const SdkBridge&) = delete;
    SdkBridge& operator=(const SdkBridge&) = delete;

    // Listens on `port`; false with the server's reason (Error()).
    bool Start(uint16_t port);
    void Stop();
    const sdk::SdkServer& Server() const { return m_server; }
    // Reads the devices again and publishes them; `listChanged` when devices came or went.
    void Refresh(bool listChanged);

    void OnCommand(sdk::Command command) override;
    void OnClientGone(uint32_t client) override;

private:
    struct Frame {
        uint32_t client = 0;
        std::string clientName;
        std::vector<sdk::Colour> colours; // by controller LED
    };
    void Apply(const sdk::Command& command);
    void ApplyFrames();
    void ApplyMode(const sdk::Command& command);
    bool EnterDirect(size_t index, uint32_t client, const std::string& clientName);
    void ShowFrame(size_t index, const Frame& frame);
    void EndDirectOf(uint32_t client);
    // The device of a published controller, or null (gone since, or shut down).
    CTolvanicUSBDevice* DeviceAt(size_t index) const;
    bool OwnsLighting(const CTolvanicUSBDevice& device) const;
    void ShowDriver(CTolvanicUSBDevice& device, const std::string* clientName);
    bool Post(std::function<void()> work);

    CMainWnd& m_window;
    DeviceApi& m_api;
    const ui::TextProvider* m_texts;
    ui::Dispatcher& m_dispatcher;
    sdk::SdkServer m_server{*this};

    // User-interface thread.
    std::vector<std::string> m_ids;     // by controller index
    std::vector<SdkDevice> m_published; // by controller index
    // The client whose Direct colours a device shows, by device id.
    struct Driver {
        uint32_t client = 0;
        std::string name;
    };
    std::map<std::string, Driver> m_drivers;

    std::mutex m_mutex;                 // the server thread's mailbox
    std::map<uint32_t, Frame> m_frames; // by controller index, the newest frame
    bool m_framesPosted = false;
    int m_pending = 0;

    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace velkor
