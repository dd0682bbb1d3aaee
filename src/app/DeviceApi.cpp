#include "app/DeviceApi.h"

#include "app/CMainWnd.h"
#include "app/DeviceApiParts.h"
#include "app/DevicePanels.h"
#include "devices/CMpDevicePowerUI.h"
#include "devices/SupportedDevices.h"
#include "devices/TolvanicUSBDevice.h"
#include "platform/Trace.h"
#include "ui/Control.h"
#include "ui/Toolkit.h"
#include "ui/Window.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace velkor {

namespace {

const char* KindWord(DeviceKind kind) {
    const std::string_view word = ClassWord(ClassOfKind(kind));
    return word.empty() ? "device" : word.data();
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The level of the last power status, for a device on a battery (with a page
// or without, as under --headless); -1 otherwise.
int32_t BatteryOf(const CTolvanicUSBDevice& device) {
    return device.State().BatteryFlag() ? device.State().BatteryPercent() : -1;
}

// What a setter's failure names (as its immediate result does).
const char* WhatItSets(DeviceMethod method) {
    switch (method) {
    case DeviceMethod::SetLighting:
    case DeviceMethod::SetKeyColour:
        return "lighting";
    case DeviceMethod::SetDpiStage:
        return "DPI stage";
    case DeviceMethod::SetActiveStage:
        return "active stage";
    case DeviceMethod::SetReportRate:
        return "report rate";
    case DeviceMethod::SetOption:
        return "option";
    default:
        return "settings";
    }
}

// A profile's key and macro write that did not end whole (MacroWriteOutcome::result).
DeviceReply KeyWriteFailure(int result) {
    if (result > 0) {
        return DeviceReply::Error(DeviceCallStatus::DeviceFailed,
                                  "profile macros: " + std::to_string(result) +
                                      " events more than the macro memory holds; nothing was sent");
    }
    return DeviceReply::Error(DeviceCallStatus::DeviceFailed,
                              "profile keys and macros: not written whole (result " + std::to_string(result) +
                                  ")");
}

bool IsLightingSetter(DeviceMethod method) {
    return method == DeviceMethod::SetLighting || method == DeviceMethod::SetKeyColour;
}

} // namespace

std::string DeviceIdOf(const CTolvanicUSBDevice& device) {
    // The identity is the cable's row for a device reached through its receiver.
    const uint32_t product = device.State().Identity().productId;
    char id[32];
    std::snprintf(id, sizeof id, "%s-%04x", KindWord(device.State().Identity().kind), product & 0xFFFFu);
    return id;
}

DeviceApi::DeviceApi(CMainWnd& window, const ui::TextProvider* texts, Signals signals)
    : m_window(window), m_texts(texts), m_signals(std::move(signals)) {
    if (ui::Window* shown = m_window.GetWindow()) {
        shown->AddNotifier(*this);
        shown->Root().SetTimer(kTimerCheck, kTimerCheckMs);
    }
}

DeviceApi::~DeviceApi() {
    if (ui::Window* shown = m_window.GetWindow()) {
        shown->Root().KillTimer(kTimerCheck);
        shown->RemoveNotifier(*this);
    }
}

std::vector<DeviceListEntry> DeviceApi::ListDevices() const {
    std::vector<DeviceListEntry> devices;
    DeviceDiscovery* discovery = m_window.Discovery();
    if (discovery == nullptr || m_window.IsShutDown()) {
        return devices;
    }
    const auto models = discovery->Catalog().Models();
    for (size_t row = 0; row < models.size(); ++row) {
        CTolvanicUSBDevice* device = discovery->DeviceOfModel(int(row));
        ui::Control* item = discovery->ListItemOfModel(int(row));
        if (device == nullptr || item == nullptr || !item->IsVisible()) {
            continue;
        }
        devices.push_back({DeviceIdOf(*device), KindWord(device->State().Identity().kind),
                           TextOrKey(m_texts, models[row].nameKey),
                           device->Driver().OnReceiver() ? "receiver" : "cable", BatteryOf(*device)});
    }
    return devices;
}

std::optional<DeviceApi::Target> DeviceApi::Find(const std::string& id) const {
    DeviceDiscovery* discovery = m_window.Discovery();
    if (discovery == nullptr || m_window.IsShutDown()) {
        return std::nullopt;
    }
    for (size_t row = 0; row < discovery->Catalog().Models().size(); ++row) {
        CTolvanicUSBDevice* device = discovery->DeviceOfModel(int(row));
        ui::Control* item = discovery->ListItemOfModel(int(row));
        if (device != nullptr && item != nullptr && item->IsVisible() && DeviceIdOf(*device) == id) {
            return Target{device, m_window.PanelsOf(*device), id};
        }
    }
    return std::nullopt;
}

std::optional<BusDict> DeviceApi::Settings(const std::string& id) const {
    const std::optional<Target> target = Find(id);
    if (!target) {
        return std::nullopt;
    }
    return ReadDeviceSettings(*target->device, target->panels, m_texts);
}

std::optional<DeviceReply> DeviceApi::Refusal(const DeviceCall& call, const Target& target) const {
    if ((target.panels != nullptr && target.panels->Writing()) || target.device->Driver().TransferBusy()) {
        return DeviceReply::Error(DeviceCallStatus::Busy,
                                  "a long write to " + target.id + " runs; try again later");
    }
    if (IsLightingSetter(call.method) &&
        (!m_window.LightControl() || !target.device->State().LightControlFlag())) {
        return DeviceReply::Error(DeviceCallStatus::LightingReleased,
                                  "another program controls the lighting; it has to give it back first");
    }
    return std::nullopt;
}

void DeviceApi::Run(const DeviceCall& call, ReplyFn reply) {
    if (call.method == DeviceMethod::ListDevices) {
        DeviceReply answer;
        answer.devices = ListDevices();
        reply(std::move(answer));
        return;
    }
    const std::optional<Target> target = Find(call.id);
    if (!target) {
        reply(DeviceReply::Error(DeviceCallStatus::NoSuchDevice, "no attached device is called \"" + call.id +
                                                                     "\" (velkorctl devices lists them)"));
        return;
    }
    if (call.method == DeviceMethod::GetSettings) {
        DeviceReply answer;
        answer.settings = ReadDeviceSettings(*target->device, target->panels, m_texts);
        reply(std::move(answer));
        return;
    }
    if (std::optional<DeviceReply> refused = Refusal(call, *target)) {
        reply(std::move(*refused));
        return;
    }
    TraceF("device API: %s %s from %s", DeviceMethodName(call.method), call.id.c_str(), call.sender.c_str());
    if (call.method == DeviceMethod::SelectProfile) {
        SelectProfile(call, *target, std::move(reply));
        return;
    }
    // The setter changes the page and the profile now and queues the device's
    // writes on its worker; the answer waits for them, on this thread's loop.
    auto tally = std::make_shared<WriteTally>();
    target->device->Driver().WatchWrites(tally);
    DeviceReply answer = RunSetter(call, *target);
    target->device->Driver().WatchWrites(nullptr);
    // The state changed at once: signals and reads tell it while the device
    // writes, and the signal goes out before the answer.
    CheckChanges();
    if (tally->Expected() == 0) {
        reply(std::move(answer));
        return;
    }
    std::weak_ptr<int> alive = m_alive;
    CTolvanicUSBDevice* device = target->device;
    const std::string what = call.method == DeviceMethod::SetOption ? call.name : WhatItSets(call.method);
    tally->Seal(
        [this, alive, device, what, answer = std::move(answer), reply = std::move(reply)](int result) {
            // On the worker: never wait here. A device gone by then drops it, and
            // the bus service answers the call as failed when it stops.
            device->Driver().PostToUi([this, alive, what, answer, reply, result]() mutable {
                if (answer.status == DeviceCallStatus::Ok && result != kResultOk) {
                    answer = FromResult(result, what);
                }
                if (alive.lock()) {
                    CheckChanges();
                }
                reply(std::move(answer));
            });
        });
}

DeviceReply DeviceApi::RunSetter(const DeviceCall& call, const Target& target) {
    const SetterContext context{m_window, m_texts};
    switch (call.method) {
    case DeviceMethod::SetLighting:
        return velkor::SetLighting(context, target, call.fields);
    case DeviceMethod::SetKeyColour:
        return velkor::SetKeyColour(context, target, call.first, uint32_t(call.second));
    case DeviceMethod::SetDpiStage:
        return velkor::SetDpiStage(target, call.first, call.second);
    case DeviceMethod::SetActiveStage:
        return velkor::SetActiveStage(target, call.first);
    case DeviceMethod::SetReportRate:
        return velkor::SetReportRate(target, call.first);
    case DeviceMethod::SetOption:
        return velkor::SetOption(target, call.name, call.first);
    case DeviceMethod::SetEqualiser:
        return velkor::SetEqualiser(target, call.fields);
    default:
        return Invalid("not a setter");
    }
}

void DeviceApi::SelectProfile(const DeviceCall& call, const Target& target, ReplyFn reply) {
    CDeviceProfileUI* bar = target.panels != nullptr ? target.panels->ProfileBar() : nullptr;
    if (bar == nullptr) {
        reply(Invalid(target.id + " has no profiles"));
        return;
    }
    const std::vector<std::string> names = bar->ProfileNames();
    auto found = std::find(names.begin(), names.end(), call.name);
    if (found == names.end()) {
        const auto folded = [&](const std::string& name) { return SameIgnoringCase(name, call.name); };
        found = std::count_if(names.begin(), names.end(), folded) == 1
                    ? std::find_if(names.begin(), names.end(), folded)
                    : names.end();
    }
    if (found == names.end()) {
        reply(Invalid(target.id + " has no profile named \"" + call.name + "\""));
        return;
    }
    // As the profile combo's choice: select, then the device loads, shows and writes it.
    if (!bar->SelectProfile(int(found - names.begin()), false)) {
        reply(DeviceReply::Error(DeviceCallStatus::DeviceFailed, "the profile list cannot be read"));
        return;
    }
    // The settings record and then the macros and key table are written on the
    // device's worker: the answer waits for both, with the first failure.
    struct Join {
        int settings = kResultOk;
        int keys = 0;
        int waiting = 2;
    };
    auto join = std::make_shared<Join>();
    std::weak_ptr<int> alive = m_alive;
    const auto finish = [this, alive, join, reply = std::move(reply)] {
        if (--join->waiting > 0) {
            return;
        }
        DeviceReply answer = FromResult(join->settings, "profile settings");
        if (answer.status == DeviceCallStatus::Ok && join->keys != 0) {
            answer = KeyWriteFailure(join->keys);
        }
        if (alive.lock()) {
            CheckChanges();
        }
        reply(std::move(answer));
    };
    CTolvanicUSBDevice* device = target.device;
    auto tally = std::make_shared<WriteTally>();
    device->Driver().WatchWrites(tally);
    join->settings = target.panels->ApplyProfile(bar->GetSelectedIdentifier(), [join, finish](int keys) {
        join->keys = keys;
        finish();
    });
    device->Driver().WatchWrites(nullptr);
    tally->Seal([device, join, finish](int result) {
        // On the worker, or here when nothing was queued: never wait here.
        device->Driver().PostToUi([join, finish, result] {
            if (join->settings == kResultOk) {
                join->settings = result;
            }
            finish();
        });
    });
}

void DeviceApi::CheckChanges() {
    if (m_checking || m_window.IsShutDown()) {
        return;
    }
    m_checking = true;
    std::map<std::string, BusDict> now;
    const std::vector<DeviceListEntry> devices = ListDevices();
    for (const DeviceListEntry& entry : devices) {
        const std::optional<Target> target = Find(entry.id);
        now[entry.id] = ReadDeviceSettings(*target->device, target->panels, m_texts);
    }
    if (m_signals.seen) {
        m_signals.seen(devices, now); // before the signals: a reader they wake reads the news
    }
    for (const auto& [id, settings] : m_seen) {
        if (now.count(id) == 0 && m_signals.removed) {
            m_signals.removed(id);
        }
    }
    for (const auto& [id, settings] : now) {
        const auto seen = m_seen.find(id);
        if (seen == m_seen.end()) {
            if (m_signals.added) {
                m_signals.added(id);
            }
            continue;
        }
        BusDict changed;
        for (const auto& [key, value] : settings) {
            const BusValue* before = FindBusValue(seen->second, key);
            if (before == nullptr || *before != value) {
                changed.emplace_back(key, value);
            }
        }
        if (!changed.empty() && m_signals.changed) {
            m_signals.changed(id, changed);
        }
    }
    m_seen = std::move(now);
    m_checking = false;
}

void DeviceApi::Notify(const ui::Notification& notification) {
    if (notification.type == ui::kNotifyTimer) {
        if (notification.wParam == kTimerCheck && notification.sender != nullptr &&
            notification.sender == &notification.window->Root()) {
            CheckChanges();
        }
        return;
    }
    CheckChanges();
}

} // namespace velkor
