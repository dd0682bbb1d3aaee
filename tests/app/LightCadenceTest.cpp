// The preview costs nothing unseen: in the main window with the simulated
// family, only the selected device of a shown window renders, ticks and
// paints; hiding, minimising or selecting another device parks the others'
// light threads and stops their tick, and showing again resumes at once.
// Waits on the light threads are bounded hang guards.
#include "MainWndFixture.h"
#include "devices/LightTables.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "ui/FamilyAccess.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace velkor::test {
namespace {

using sim::SimUnit;
using ui::test::LightOf;

class LightCadence : public MainWndFixture {
protected:
    LightCadence() { m_folder.AddDefaultData(); }

    // Keyboard, mouse and pad attached, each with its light thread; the
    // window shown, or hidden from the start (velkor --background).
    bool AttachFamily(bool startHidden = false) {
        for (SimUnit unit : {SimUnit::Keyboard, SimUnit::Mouse, SimUnit::MousePad}) {
            m_sim.Plug(unit);
        }
        MainWndServices services = Services();
        services.startHidden = startHidden;
        if (!StartWith(services)) {
            return false;
        }
        return Until(
            [&] {
                m_devices.clear();
                for (DeviceClass kind : {DeviceClass::Keyboard, DeviceClass::Mouse, DeviceClass::MousePad}) {
                    for (CTolvanicUSBDevice* device : m_main->Discovery()->DevicesOfClass(kind)) {
                        if (device->Driver().LightThreadRunning()) {
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
        const uint64_t before = device.Driver().LightPasses();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < deadline) {
            if (device.Driver().LightPasses() >= before + 2) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    static bool Parked(CTolvanicUSBDevice& device) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // a pass under way ends
        const uint64_t before = device.Driver().LightPasses();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return device.Driver().LightPasses() == before;
    }
    bool Ticks(CTolvanicUSBDevice& device) {
        m_toolkit->AdvanceTime(20);
        const auto timers = m_toolkit->RunningTimers(device.Presenter().ListItem()->Item());
        return std::find(timers.begin(), timers.end(), kTimerLightFrame) != timers.end();
    }
    // Every device but `seen` is parked and has no tick; `seen` (if any) renders and ticks.
    void ExpectOnlySeen(CTolvanicUSBDevice* seen) {
        for (CTolvanicUSBDevice* device : m_devices) {
            SCOPED_TRACE(device->Paths().TypeName());
            EXPECT_EQ(device->Presenter().FramesWanted(), device == seen);
            EXPECT_EQ(Ticks(*device), device == seen);
            if (device == seen) {
                EXPECT_TRUE(Renders(*device));
            } else {
                EXPECT_TRUE(Parked(*device));
            }
        }
    }

    CTolvanicKeyboardDevice* SelectKeyboard() {
        auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(
            m_main->Discovery()->DevicesOfClass(DeviceClass::Keyboard).front());
        for (size_t i = 0; i < m_devices.size() && m_main->Discovery()->SelectedDevice() != keyboard; ++i) {
            m_main->Discovery()->SelectAdjacentItem(true);
        }
        return m_main->Discovery()->SelectedDevice() == keyboard ? keyboard : nullptr;
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
    EXPECT_EQ(first->Driver().StopLightThread(), ThreadStopOutcome::Ended);
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
    LightInfoRecord light = keyboard->State().LightRecord();
    light.selectItem = 30;
    keyboard->SetLightInfo(LightInfoToWords(light));
    m_main->HideToTray();
    EXPECT_TRUE(keyboard->Presenter().FramesWanted());
    EXPECT_TRUE(Renders(*keyboard));
    keyboard->SetLightControl(false); // another program drives the LEDs
    EXPECT_FALSE(keyboard->Presenter().FramesWanted());
    EXPECT_TRUE(Parked(*keyboard));
}

TEST_F(LightCadence, AStaticEffectPaintsEachLightOnceAndThenNothing) {
    ASSERT_TRUE(AttachFamily());
    CTolvanicUSBDevice* mouse = m_main->Discovery()->DevicesOfClass(DeviceClass::Mouse).front();
    while (m_main->Discovery()->SelectedDevice() != mouse) {
        ASSERT_TRUE(m_main->Discovery()->SelectAdjacentItem(true));
    }
    LightInfoRecord light = mouse->State().LightRecord();
    light.selectItem = 3; // static
    light.light = 4;
    mouse->SetLightInfo(LightInfoToWords(light));
    auto* overlay = static_cast<ui::MemoryControl*>(mouse->Presenter().LightControls().at(0));
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

namespace velkor::test {
namespace {

// How the window goes out of sight (nothing when it starts hidden) and comes back.
struct SightCase {
    const char* name;
    bool startHidden;
    void (*hide)(CMainWnd& main, ui::MemoryWindow& window);
    void (*show)(CMainWnd& main, ui::MemoryWindow& window);
};

class OutOfSight : public LightCadence, public ::testing::WithParamInterface<SightCase> {};

// Nobody sees the picture: no device paints it, renders or ticks (their
// frames do not leave the host); seen again, it is painted within a frame period.
TEST_P(OutOfSight, NothingIsPaintedOrRenderedAndShowingPaintsWithinAFrame) {
    const SightCase& c = GetParam();
    ASSERT_TRUE(AttachFamily(c.startHidden));
    CTolvanicKeyboardDevice* keyboard = SelectKeyboard();
    ASSERT_NE(keyboard, nullptr);
    ASSERT_EQ(keyboard->Presenter().GetFunctionPage(), 1) << "the keyboard starts on its lighting tab";
    if (c.hide != nullptr) {
        ASSERT_TRUE(MainMemoryWindow().IsOnScreen());
        const int seen = LightPaints(*keyboard);
        ASSERT_TRUE(Until([&] { return LightPaints(*keyboard) > seen; }, kLightFrameWiredMs))
            << "seen, it animates";
        c.hide(*m_main, MainMemoryWindow());
    }
    EXPECT_FALSE(MainMemoryWindow().IsOnScreen());
    const int paints = LightPaints(*keyboard);
    ExpectOnlySeen(nullptr);
    for (int i = 0; i < 20; ++i) {
        m_toolkit->ProcessPending();
        m_toolkit->AdvanceTime(kLightFrameWiredMs);
    }
    EXPECT_EQ(LightPaints(*keyboard), paints) << "a picture nobody sees was painted";

    // From here the LED buffer is the test's: one colour the keys never showed.
    ASSERT_EQ(keyboard->Driver().StopLightThread(), ThreadStopOutcome::Ended);
    const uint32_t led = PackLed(0x12, 0x34, 0x56, 255);
    for (int k = 0; k < keyboard->State().LightCount(); ++k) {
        keyboard->State().SetLedColour(k, led);
    }
    c.show(*m_main, MainMemoryWindow());
    ASSERT_TRUE(MainMemoryWindow().IsOnScreen());
    m_toolkit->ProcessPending();
    m_toolkit->AdvanceTime(CTolvanicUSBDevice::kPicturePaintPeriodMs);
    int shown = 0;
    for (ui::Control* light : keyboard->Presenter().LightControls()) {
        if (light != nullptr && light->IsVisible()) {
            ++shown;
            EXPECT_EQ(LightOf(light).LightColour(), 0x123456u) << light->Name();
        }
    }
    EXPECT_GT(shown, 0);
    ASSERT_TRUE(keyboard->StartLightThread());
    ExpectOnlySeen(keyboard);
}

INSTANTIATE_TEST_SUITE_P(
    LightCadence, OutOfSight,
    ::testing::Values(
        SightCase{"StartedHidden", true, nullptr,
                  [](CMainWnd& main, ui::MemoryWindow&) { main.Tray().Toggle(); }},
        SightCase{"HiddenToTheNotificationArea", false,
                  [](CMainWnd& main, ui::MemoryWindow&) { main.HideToTray(); },
                  [](CMainWnd& main, ui::MemoryWindow&) { main.BringWindowToFront(); }},
        SightCase{"Minimised", false, [](CMainWnd&, ui::MemoryWindow& window) { window.Minimize(); },
                  [](CMainWnd&, ui::MemoryWindow& window) { window.Restore(); }},
        SightCase{"UnmappedByTheDesktop", false,
                  [](CMainWnd&, ui::MemoryWindow& window) { window.SetMappedByDesktop(false); },
                  [](CMainWnd&, ui::MemoryWindow& window) { window.SetMappedByDesktop(true); }}),
    [](const ::testing::TestParamInfo<SightCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace velkor::test
