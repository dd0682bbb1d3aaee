#pragma once
// Shared by the lighting tests: the in-memory toolkit on the shipped skin,
// devices of each kind on the simulator that note the commit steps they
// receive, and one lighting panel per device built from the shipped layout.
#include "devices/TolvanicUSBDevice.h"
#include "lighting/CLightControlUI.h"
#include "lighting/LightCommit.h"
#include "lighting/LightPanelHandlers.h"
#include "profiles/BasicProfiledata.h"
#include "sim/SimBackend.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryUser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace velkor::test {

// skin/ of the source tree (this file lives in tests/lighting/).
inline std::string SkinFolder() {
    return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "skin")
        .lexically_normal()
        .string();
}

class ToolkitTicks final : public TickClock {
public:
    explicit ToolkitTicks(const ui::ManualClock& clock) : m_clock(clock) {}
    uint32_t NowMs() const override { return uint32_t(m_clock.NowMs()); }

private:
    const ui::ManualClock& m_clock;
};

// The simulated unit a device of `kind` is opened on (its cable).
inline sim::SimUnit SimUnitOfKind(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::Mouse:
        return sim::SimUnit::Mouse;
    case DeviceKind::MousePad:
        return sim::SimUnit::MousePad;
    case DeviceKind::Headset:
        return sim::SimUnit::Headset;
    default:
        return sim::SimUnit::Keyboard;
    }
}

// A device that notes, in one log shared by all, each commit step it receives.
class LoggedDevice final : public CTolvanicUSBDevice, public ProfileIo {
public:
    LoggedDevice(const DeviceServices& services, sim::SimBackend& sim, DeviceKind kind, std::string tag,
                 std::vector<std::string>& log)
        : CTolvanicUSBDevice(services), m_sim(sim), m_kind(kind), m_tag(std::move(tag)), m_log(log) {
        SupportedDevice row;
        row.kind = kind;
        State().SetIdentity(row);
        Paths().SetTypeName(m_tag);
        UseProfileData(&m_profile);
    }
    void SetLightInfo(const LightInfoWords& words) override {
        CTolvanicUSBDevice::SetLightInfo(words);
        m_log.push_back(m_tag + ":SetLightInfo");
    }
    bool SaveDeviceProfile() override {
        m_log.push_back(m_tag + ":Save");
        return true;
    }
    void SetupProfilePaths() override {}
    std::string GetDeviceProfilePath() const override { return {}; }
    bool LoadDeviceProfile() override { return false; }
    void RestoreDefaults() override {}
    // As the kinds do: the light record shows what the profile gives.
    void ApplyLightState() override {
        m_log.push_back(m_tag + ":Apply");
        State().StoreLightInfo(LightInfoToWords(m_profile.ReadLightInfo()));
    }
    int SendSettings(int slot, int value, int flag, ScreenSize screen) override {
        m_log.push_back(m_tag + ":Send");
        lastSend = {slot, value, flag, screen.width, screen.height};
        return 1;
    }
    // Open: on the simulated cable unit of its kind, without selecting a channel.
    void SetOpen(bool open) {
        if (!open) {
            Driver().CommandTransport().Close();
            return;
        }
        const sim::SimUnit unit = SimUnitOfKind(m_kind);
        m_sim.Plug(unit);
        EXPECT_TRUE(Driver().CommandTransport().Open(ChannelType::Wired, m_sim.CommandPath(unit), false))
            << m_tag;
    }
    std::vector<int> lastSend;
    // The profile document: what a save would write.
    CBasicProfiledata& Profile() { return m_profile; }

private:
    CBasicProfiledata m_profile;
    sim::SimBackend& m_sim;
    DeviceKind m_kind;
    std::string m_tag;
    std::vector<std::string>& m_log;
};

class LightingFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        m_toolkit = ui::MemoryToolkit::Create(SkinFolder(), m_clock, &error);
        ASSERT_NE(m_toolkit, nullptr) << error;
    }
    void TearDown() override {
        m_panels.clear();
        m_windows.clear();
        m_devices.clear();
    }

    // An open device of `kind` with `lights` LEDs and its panel, filled with
    // `modes` visible mode names ("mode_0" ...).
    LoggedDevice& AddDevice(DeviceKind kind, const std::string& tag, int modes = 32, int lights = 4) {
        auto device = MakeDevice<LoggedDevice>(
            DeviceServices{m_backend, m_toolkit->GetDispatcher(), m_ticks, {}}, m_backend, kind, tag, m_log);
        device->SetLightCount(lights);
        device->SetOpen(true);
        std::string error;
        auto window = m_toolkit->CreateWindow(
            ui::WindowOptions{std::string(CLightControlUI::kLayout), "LightHost"}, &error);
        EXPECT_NE(window, nullptr) << error;
        window->Show();
        auto panel = std::make_unique<CLightControlUI>(window->Root());
        DeviceNameLists& lists = device->Paths().MutableNameLists();
        for (int n = 0; n < modes; ++n) {
            lists.modeNames.push_back("mode_" + std::to_string(n));
        }
        lists.modeVisible.assign(size_t(modes), 1);
        lists.modeCodes.assign(size_t(modes), 0);
        PrepareLightPanel(*panel, *device);
        m_lightPanels.Attach(*device, *panel);
        LoggedDevice& result = *device;
        m_devices.push_back(std::move(device));
        m_windows.push_back(std::move(window));
        m_panels.push_back(std::move(panel));
        return result;
    }
    CLightControlUI& PanelOf(const CTolvanicUSBDevice& device) { return *m_lightPanels.PanelOf(device); }
    ui::Control& Control(const CTolvanicUSBDevice& device, std::string_view name) {
        ui::Control* control = PanelOf(device).Panel().OwnerWindow().FindControl(name);
        EXPECT_NE(control, nullptr) << name;
        return *control;
    }
    DevicesOfClassFn DevicesOfClass() {
        return [this](DeviceClass kind) {
            std::vector<CTolvanicUSBDevice*> devices;
            for (const auto& device : m_devices) {
                if (device->State().KindTag() == kind) {
                    devices.push_back(device.get());
                }
            }
            return devices;
        };
    }
    // The device's light record as set up (not logged).
    void SetRecord(CTolvanicUSBDevice& device, const LightInfoRecord& record) {
        device.CTolvanicUSBDevice::SetLightInfo(LightInfoToWords(record));
    }
    std::vector<std::string> TakeLog() {
        std::vector<std::string> log;
        log.swap(m_log);
        return log;
    }

    ui::ManualClock m_clock{50000};
    ToolkitTicks m_ticks{m_clock};
    sim::SimBackend m_backend{3};
    std::unique_ptr<ui::MemoryToolkit> m_toolkit;
    ui::MemoryUser m_user;
    LightPanels m_lightPanels;
    ScreenSize m_screen{1920, 1080};
    std::vector<std::string> m_log;
    std::vector<std::unique_ptr<LoggedDevice, DeviceDeleter>> m_devices;
    std::vector<std::unique_ptr<ui::Window>> m_windows;
    std::vector<std::unique_ptr<CLightControlUI>> m_panels;
};

} // namespace velkor::test
