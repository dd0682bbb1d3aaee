#include "app/SdkBridge.h"

#include "app/CMainWnd.h"
#include "app/DeviceApi.h"
#include "devices/DeviceDiscovery.h"
#include "devices/TolvanicUSBDevice.h"
#include "lighting/LightModel.h"
#include "platform/Trace.h"
#include "ui/Control.h"
#include "ui/Dispatcher.h"
#include "ui/Toolkit.h"

#include <algorithm>

namespace velkor {

SdkBridge::SdkBridge(CMainWnd& window, DeviceApi& api, const ui::TextProvider* texts,
                     ui::Dispatcher& dispatcher)
    : m_window(window), m_api(api), m_texts(texts), m_dispatcher(dispatcher) {}

SdkBridge::~SdkBridge() {
    Stop();
}

bool SdkBridge::Start(uint16_t port) {
    Refresh(false);
    return m_server.Start(port);
}

void SdkBridge::Stop() {
    m_server.Stop();
    for (const std::string& id : m_ids) {
        if (m_drivers.count(id) != 0) {
            if (CTolvanicUSBDevice* device = DeviceAt(size_t(&id - m_ids.data()))) {
                device->EndDirect();
                ShowDriver(*device, nullptr);
            }
        }
    }
    m_drivers.clear();
}

void SdkBridge::Refresh(bool listChanged) {
    DeviceDiscovery* discovery = m_window.Discovery();
    if (discovery == nullptr || m_window.IsShutDown()) {
        return;
    }
    std::vector<std::string> ids;
    std::vector<SdkDevice> devices;
    for (const DeviceListEntry& entry : m_api.ListDevices()) {
        const std::optional<DeviceApi::Target> target = m_api.Find(entry.id);
        const ModelDescription* model =
            target ? discovery->Catalog().Model(target->device->State().ModelRow()) : nullptr;
        if (model == nullptr) {
            continue;
        }
        CTolvanicUSBDevice& device = *target->device;
        devices.push_back(DescribeForSdk(device, *model, entry.id, entry.channel, m_texts));
        ids.push_back(entry.id);
        // The note on the page follows Direct, however it ended.
        if (!device.DirectActive() && m_drivers.erase(entry.id) != 0) {
            ShowDriver(device, nullptr);
        }
    }
    // A controller whose LEDs or modes changed in number is a new one to clients.
    const auto shape = [](const SdkDevice& d) {
        return std::pair(d.controller.leds.size(), d.controller.modes.size());
    };
    for (size_t i = 0; i < devices.size() && i < m_published.size() && !listChanged; ++i) {
        listChanged = shape(devices[i]) != shape(m_published[i]);
    }
    listChanged = listChanged || ids != m_ids;
    std::vector<sdk::Controller> controllers;
    for (const SdkDevice& device : devices) {
        controllers.push_back(device.controller);
    }
    m_ids = std::move(ids);
    m_published = std::move(devices);
    m_server.Publish(std::move(controllers), listChanged);
}

bool SdkBridge::Post(std::function<void()> work) {
    {
        std::lock_guard lock(m_mutex);
        if (m_pending >= kMaxPending) {
            return false;
        }
        ++m_pending;
    }
    std::weak_ptr<int> alive = m_alive;
    return m_dispatcher.Post([this, alive, work = std::move(work)] {
        if (alive.lock()) {
            {
                std::lock_guard lock(m_mutex);
                --m_pending;
            }
            work();
        }
    });
}

void SdkBridge::OnCommand(sdk::Command command) {
    if (command.kind == sdk::Command::Kind::UpdateLeds) {
        // The newest frame replaces one the window has not shown yet.
        std::lock_guard lock(m_mutex);
        m_frames[command.controller] = {command.client, command.clientName, std::move(command.colours)};
        if (m_framesPosted) {
            return;
        }
        m_framesPosted = true;
        std::weak_ptr<int> alive = m_alive;
        m_dispatcher.Post([this, alive] {
            if (alive.lock()) {
                ApplyFrames();
            }
        });
        return;
    }
    if (!Post([this, command = std::move(command)] { Apply(command); })) {
        Trace("SDK server: the window is behind; a request is dropped");
    }
}

void SdkBridge::OnClientGone(uint32_t client) {
    std::weak_ptr<int> alive = m_alive;
    // Always delivered: a client's Direct must end even when the window is behind.
    m_dispatcher.Post([this, alive, client] {
        if (alive.lock()) {
            EndDirectOf(client);
        }
    });
}

CTolvanicUSBDevice* SdkBridge::DeviceAt(size_t index) const {
    const std::optional<DeviceApi::Target> target =
        index < m_ids.size() ? m_api.Find(m_ids[index]) : std::nullopt;
    return target ? target->device : nullptr;
}

bool SdkBridge::OwnsLighting(const CTolvanicUSBDevice& device) const {
    return m_window.LightControl() && device.State().LightControlFlag();
}

void SdkBridge::ApplyFrames() {
    std::map<uint32_t, Frame> frames;
    {
        std::lock_guard lock(m_mutex);
        frames.swap(m_frames);
        m_framesPosted = false;
    }
    for (const auto& [index, frame] : frames) {
        ShowFrame(index, frame);
    }
}

void SdkBridge::ShowFrame(size_t index, const Frame& frame) {
    CTolvanicUSBDevice* device = DeviceAt(index);
    if (device == nullptr || index >= m_published.size()) {
        return;
    }
    if (!OwnsLighting(*device)) {
        // Another program has the lighting: Direct ends and nothing is sent.
        if (device->DirectActive()) {
            device->EndDirect();
            Refresh(false);
        }
        return;
    }
    const auto driver = m_drivers.find(m_ids[index]);
    if (!device->DirectActive() || driver == m_drivers.end() || driver->second.client != frame.client) {
        // Colours count only in Direct, and only from the client that chose it.
        return;
    }
    const std::vector<int>& targets = m_published[index].ledTargets;
    std::vector<uint32_t> leds(size_t(device->State().LightCount()), 0);
    device->State().Leds().With([&](const LedFrame& now) {
        std::copy_n(now.leds.begin(), std::min(leds.size(), now.leds.size()), leds.begin());
    });
    for (size_t i = 0; i < targets.size() && i < frame.colours.size(); ++i) {
        if (size_t(targets[i]) < leds.size()) {
            leds[size_t(targets[i])] = (frame.colours[i] & 0xFFFFFFu) | 0xFF000000u; // full level
        }
    }
    device->ShowDirect(leds);
}

void SdkBridge::Apply(const sdk::Command& command) {
    const size_t index = command.controller;
    CTolvanicUSBDevice* device = DeviceAt(index);
    if (device == nullptr || index >= m_published.size()) {
        TraceF("SDK server: controller %u is not there", command.controller);
        return;
    }
    Frame frame{command.client, command.clientName, {}};
    switch (command.kind) {
    case sdk::Command::Kind::UpdateZoneLeds:
        if (command.zone != 0 || m_published[index].controller.zones.empty()) {
            return;
        }
        [[fallthrough]];
    case sdk::Command::Kind::UpdateLeds:
        frame.colours = command.colours;
        ShowFrame(index, frame);
        return;
    case sdk::Command::Kind::UpdateSingleLed: {
        if (command.led < 0 || size_t(command.led) >= m_published[index].ledTargets.size()) {
            return;
        }
        frame.colours = m_published[index].controller.colours;
        device->State().Leds().With([&](const LedFrame& now) {
            for (size_t i = 0; i < frame.colours.size(); ++i) {
                const auto led = size_t(m_published[index].ledTargets[i]);
                frame.colours[i] = led < now.leds.size() ? now.leds[led] & 0xFFFFFFu : 0;
            }
        });
        frame.colours[size_t(command.led)] = command.colours.front();
        ShowFrame(index, frame);
        return;
    }
    case sdk::Command::Kind::SetCustomMode:
        if (device->OffersDirect()) {
            EnterDirect(index, command.client, command.clientName);
        } else {
            // No host-driven colours: the steady effect, the nearest to a custom colour.
            const int steady =
                ModeOfSyncEffect(ClassOfKind(device->State().Identity().kind), SyncEffect::Steady);
            sdk::Command mode = command;
            mode.mode.index = -1;
            const auto& numbers = m_published[index].modeNumbers;
            if (const auto found = std::find(numbers.begin(), numbers.end(), steady);
                found != numbers.end()) {
                mode.mode.index = int32_t(found - numbers.begin());
                mode.mode.mode = m_published[index].controller.modes[size_t(mode.mode.index)];
                ApplyMode(mode);
            }
        }
        return;
    case sdk::Command::Kind::UpdateMode:
    case sdk::Command::Kind::SaveMode:
        ApplyMode(command);
        return;
    }
}

void SdkBridge::ApplyMode(const sdk::Command& command) {
    const size_t index = command.controller;
    const SdkDevice& published = m_published[index];
    const int32_t modeIndex = command.mode.index;
    if (modeIndex < 0 || size_t(modeIndex) >= published.modeNumbers.size()) {
        TraceF("SDK server: controller %u has no mode %d", command.controller, modeIndex);
        return;
    }
    const int number = published.modeNumbers[size_t(modeIndex)];
    if (number == kSdkDirectMode) {
        EnterDirect(index, command.client, command.clientName);
        return;
    }
    DeviceCall call;
    call.method = DeviceMethod::SetLighting;
    call.id = m_ids[index];
    call.sender = "SDK client " + std::to_string(command.client) +
                  (command.clientName.empty() ? "" : " (" + command.clientName + ")");
    call.fields =
        LightFieldsOf(command.mode.mode, number, published.controller.modes[size_t(modeIndex)].flags);
    std::weak_ptr<int> alive = m_alive;
    m_api.Run(call, [this, alive, id = call.id](DeviceReply reply) {
        if (reply.status != DeviceCallStatus::Ok) {
            TraceF("SDK server: the mode of %s was not set: %s", id.c_str(), reply.message.c_str());
        }
        if (alive.lock()) {
            Refresh(false);
        }
    });
}

bool SdkBridge::EnterDirect(size_t index, uint32_t client, const std::string& clientName) {
    CTolvanicUSBDevice* device = DeviceAt(index);
    if (device == nullptr || !device->OffersDirect()) {
        return false;
    }
    if (!OwnsLighting(*device)) {
        TraceF("SDK server: %s: another program has the lighting; Direct refused", m_ids[index].c_str());
        return false;
    }
    std::vector<uint32_t> leds;
    device->State().Leds().With([&](const LedFrame& now) { leds = now.leds; });
    device->ShowDirect(leds);
    const std::string name = clientName.empty() ? "client " + std::to_string(client) : clientName;
    m_drivers[m_ids[index]] = Driver{client, name};
    ShowDriver(*device, &name);
    TraceF("SDK server: %s shows the colours of %s", m_ids[index].c_str(), name.c_str());
    Refresh(false);
    return true;
}

void SdkBridge::EndDirectOf(uint32_t client) {
    bool ended = false;
    for (size_t index = 0; index < m_ids.size(); ++index) {
        const auto driver = m_drivers.find(m_ids[index]);
        if (driver == m_drivers.end() || driver->second.client != client) {
            continue;
        }
        if (CTolvanicUSBDevice* device = DeviceAt(index)) {
            device->EndDirect();
            ShowDriver(*device, nullptr);
        }
        m_drivers.erase(driver);
        ended = true;
    }
    if (ended) {
        Refresh(false);
    }
}

void SdkBridge::ShowDriver(CTolvanicUSBDevice& device, const std::string* clientName) {
    ui::Control* page = device.Presenter().Page();
    ui::Control* note = page != nullptr ? page->FindChild(std::string(kSdkDrivenControl)) : nullptr;
    if (note == nullptr) {
        return;
    }
    if (clientName != nullptr) {
        std::string text = TextOrKey(m_texts, kSdkDrivenTextKey);
        if (const size_t at = text.find("%s"); at != std::string::npos) {
            text.replace(at, 2, *clientName);
        }
        note->SetText(text);
    }
    note->SetVisible(clientName != nullptr);
}

} // namespace velkor
