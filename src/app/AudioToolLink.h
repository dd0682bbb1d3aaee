#pragma once
// The program's side of the link with the audio capture tool (velkor-audio).
//
// The tool owns the bus name kAudioToolBusName while it runs; the link watches
// that name and counts the tool present while the name has an owner. It talks
// to the tool only through the program's broadcasts, which never wait for the
// tool:
//  - when the tool links (its AudioToolLink message) and whenever the name
//    gains an owner: AudioToolData id 5 (the device model list) and, once a
//    style colour is known, id 10 (that colour);
//  - while the tool is present: the slider values as AudioToolParameter 6, 7, 8,
//    and a changed style colour as id 10;
//  - at shut-down, while the tool is present: parameters 2, 4 and 5, each with 0.
// Nothing is sent while the tool is absent, and nothing at all after shut-down.
//
// Every operation runs on the user-interface thread; the name watch's reports
// come from the bus thread and reach the link through the dispatcher.
#include "devices/DeviceModels.h"
#include "lighting/AudioToolSender.h"
#include "platform/bus/BusMessage.h"
#include "platform/bus/MessageBus.h"
#include "ui/Dispatcher.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velkor {

// Copy-data id 5: 1024 bytes of 32-bit little-endian values: 2, 3, 0, 2, the
// number of device models, then vendor, product and class kind of each model
// in table order, the rest 0.
std::vector<uint8_t> ToolLinkAnswer(const DeviceCatalog& catalog = BuiltInCatalog());
// Copy-data id 10: 40 bytes: red, green, blue (levels 0..9, clamped) as 32-bit
// little-endian values, a green of 0 sent as 1, the rest 0.
std::vector<uint8_t> ToolStyleColour(int32_t red, int32_t green, int32_t blue);

class AudioToolLink final : public AudioToolSender {
public:
    // Broadcasts a message of the program; false when it could not.
    using Broadcast = std::function<bool(const BusMessage& message)>;
    // Watches a bus name (MessageBus::WatchName).
    using WatchName = std::function<int(const std::string& name, NameHandler handler)>;

    // What the tool last reported (AudioToolStatus), while it is present.
    struct Status {
        bool present = false;
        int32_t state = -1; // -1: nothing reported yet; else an AudioToolState
        int32_t detail = 0;
    };

    explicit AudioToolLink(Broadcast broadcast);
    // Stops the name watch's reports from reaching this link.
    ~AudioToolLink();
    AudioToolLink(const AudioToolLink&) = delete;
    AudioToolLink& operator=(const AudioToolLink&) = delete;

    // Starts watching the tool's name; reports are posted through `dispatcher`,
    // which must outlive this link or its Shutdown. Present at once when the
    // name has an owner now (and then id 5 and id 10 go out). False when the
    // name cannot be watched (no bus): the tool then counts as absent.
    bool Watch(const WatchName& watch, ui::Dispatcher& dispatcher);

    // The tool's name gained (true) or lost (false) its owner.
    void SetPresent(bool present);
    // The tool's AudioToolLink message: it runs, so id 5 and id 10 go out and it counts as present.
    void OnLinkRequest();
    // The tool's AudioToolStatus message. States other than those of
    // AudioToolState are ignored (false).
    bool OnStatus(int32_t state, int32_t detail);

    // Parameter `id` with `value` to the tool: the sliders 6, 7, 8 (red,
    // green, blue; value clamped to 0..255). True when broadcast; false when
    // the tool is absent, the link is shut down, `id` is not a slider, or the
    // bus failed.
    bool Send(int32_t id, int32_t value);
    // The selected style's colour (levels 0..9): kept for later links, and sent
    // as id 10 now while the tool is present (true when broadcast).
    bool SetStyleColour(int32_t red, int32_t green, int32_t blue);
    // The lighting code's view of the link: Send and SetStyleColour.
    void SendParameter(int32_t parameter, int32_t value) override { Send(parameter, value); }
    void SendStyleColour(int32_t red, int32_t green, int32_t blue) override {
        SetStyleColour(red, green, blue);
    }

    // Sends 2, 4, 5 (value 0) while the tool is present: it ends.
    void TellToEnd();
    // Sends 2, 4, 5 (value 0) while the tool is present; then the link sends
    // nothing more and ignores the watch. Idempotent.
    void Shutdown();

    // Called after the tool came, went or reported a state; may be empty.
    void SetChangeHandler(std::function<void()> handler) { m_changed = std::move(handler); }

    bool Present() const { return m_present; }
    Status LastStatus() const;

private:
    struct Guard {
        std::mutex mutex;
        ui::Dispatcher* dispatcher = nullptr;
        AudioToolLink* link = nullptr; // null once detached
    };

    void SendGreeting();
    bool Emit(const BusMessage& message);
    void DetachWatch();

    void Changed() const {
        if (m_changed) {
            m_changed();
        }
    }

    Broadcast m_broadcast;
    std::function<void()> m_changed;
    std::shared_ptr<Guard> m_guard = std::make_shared<Guard>();
    bool m_present = false;
    bool m_shutDown = false;
    std::optional<std::array<int32_t, 3>> m_style;
    int32_t m_state = -1;
    int32_t m_detail = 0;
};

} // namespace velkor
