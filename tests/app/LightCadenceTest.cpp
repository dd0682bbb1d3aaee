// The preview costs nothing unseen: in the main window with the simulated
// family, only the selected device of a shown window renders, ticks and
// paints; hiding, minimising or selecting another device parks the others'
// light threads and stops their tick, and showing again resumes at once.
// Waits on the light threads are bounded hang guards.
#include "MainWndFixture.h"
#include "devices/LightTables.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace velkor::test {
namespace {

using sim::SimUnit;

class LightCadence : public MainWndFixture {
protected:
    LightCadence() { m_folder.AddDefaultData(); }

    // Keyboard, mouse and pad attached, each with its light thread.
    bool AttachFamily() {
        for (SimUnit unit : {SimUnit::Keyboard, SimUnit::Mouse, SimUnit::MousePad}) {
            m_sim.Plug(unit);
        }
        if (!Start()) {
            return false;
        }
        return Until(
            [&] {
                m_devices.clear();
                for (DeviceClass kind : {DeviceClass::Keyboard, DeviceClass::Mouse, DeviceClass::MousePad}) {
                    for (CTolvanicUSBDevice* device : m_main->Discovery()->DevicesOfClass(kind)) {
                        if (device->LightThreadRunning()) {
                            m_devices.push_back(device);
                        }
                    }
                }
                return m_devices.size() == 3 && m_main->Discovery()->SelectedDevice() != nullptr;
            },
            10);
    }
    // Whether the device's light thread runs passes over a while of real time.
    static bool Renders(CTolvanicUSBDevice& device) {
        const uint64_t before = device.LightPasses();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < deadline) {
            if (device.LightPasses() >= before + 2) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    static bool Parked(CTolvanicUSBDevice& device) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // a pass under way ends
        const uint64_t before = device.LightPasses();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return device.LightPasses() == before;
    }
    bool Ticks(CTolvanicUSBDevice& device) {
        m_toolkit->AdvanceTime(20);
        const auto timers = m_toolkit->RunningTimers(device.ListItem()->Item());
        return std::find(timers.begin(), timers.end(), kTimerLightFrame) != timers.end();
    }
    // Every device but `seen` is parked and has no tick; `seen` (if any) renders and ticks.
    void ExpectOnlySeen(CTolvanicUSBDevice* seen) {
        for (CTolvanicUSBDevice* device : m_devices) {
            SCOPED_TRACE(device->TypeName());
            EXPECT_EQ(device->FramesWanted(), device == seen);
            EXPECT_EQ(Ticks(*device), device == seen);
            if (device == seen) {
                EXPECT_TRUE(Renders(*device));
            } else {
                EXPECT_TRUE(Parked(*device));
            }
        }
    }

    std::vector<CTolvanicUSBDevice*> m_devices;
};

TEST_F(LightCadence, OnlyTheSelectedDeviceOfAShownWindowRenders) {
    ASSERT_TRUE(AttachFamily());
    DeviceDiscovery& discovery = *m_main->Discovery();
    CTolvanicUSBDevice* first = discovery.SelectedDevice();
    ExpectOnlySeen(first);

    m_main->HideToTray();
    ExpectOnlySeen(nullptr);
    m_main->BringWindowToFront();
    ExpectOnlySeen(first);

    m_main->GetWindow()->Minimize();
    ExpectOnlySeen(nullptr);
    m_main->GetWindow()->Restore();
    ExpectOnlySeen(first);

    ASSERT_TRUE(discovery.SelectAdjacentItem(true));
    CTolvanicUSBDevice* second = discovery.SelectedDevice();
    ASSERT_NE(second, first);
    ExpectOnlySeen(second);

    // A parked thread stops at once, within its bound.
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(first->StopLightThread(), ThreadStopOutcome::Ended);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1000));
}

TEST_F(LightCadence, TheKeyboardRendersOnItsLightingTabOrWhileItStreams) {
    ASSERT_TRUE(AttachFamily());
    CTolvanicUSBDevice* keyboard = m_main->Discovery()->DevicesOfClass(DeviceClass::Keyboard).front();
    while (m_main->Discovery()->SelectedDevice() != keyboard) {
        ASSERT_TRUE(m_main->Discovery()->SelectAdjacentItem(true));
    }
    ExpectOnlySeen(keyboard);
    keyboard->SelectFunctionPage(3); // the settings tab: its keys show no light
    ExpectOnlySeen(nullptr);

    // An effect whose frames go to the keyboard renders whether seen or not.
    LightInfoRecord light = keyboard->LightRecord();
    light.selectItem = 30;
    keyboard->SetLightInfo(LightInfoToWords(light));
    m_main->HideToTray();
    EXPECT_TRUE(keyboard->FramesWanted());
    EXPECT_TRUE(Renders(*keyboard));
    keyboard->SetLightControl(false); // another program drives the LEDs
    EXPECT_FALSE(keyboard->FramesWanted());
    EXPECT_TRUE(Parked(*keyboard));
}

TEST_F(LightCadence, AStaticEffectPaintsEachLightOnceAndThenNothing) {
    ASSERT_TRUE(AttachFamily());
    CTolvanicUSBDevice* mouse = m_main->Discovery()->DevicesOfClass(DeviceClass::Mouse).front();
    while (m_main->Discovery()->SelectedDevice() != mouse) {
        ASSERT_TRUE(m_main->Discovery()->SelectAdjacentItem(true));
    }
    LightInfoRecord light = mouse->LightRecord();
    light.selectItem = 3; // static
    light.light = 4;
    mouse->SetLightInfo(LightInfoToWords(light));
    auto* overlay = static_cast<ui::MemoryControl*>(mouse->LightControls().at(0));
    ASSERT_TRUE(Until([&] { return overlay->LightLevel() == 255; }, 10));
    const int paints = overlay->RepaintCount();
    for (int i = 0; i < 50; ++i) {
        m_toolkit->AdvanceTime(10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // the light thread renders meanwhile
    }
    EXPECT_EQ(overlay->RepaintCount(), paints);
}

} // namespace
} // namespace velkor::test
