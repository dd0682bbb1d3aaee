// What every device kind promises, whatever it adds: its threads stop within
// their bound and never outlive it, its LED buffer refuses what lies outside
// it, only its own page's controls reach it, and a device event 0x401 makes
// its list item re-read it. A kind joins by adding its entry to DeviceKinds.
#include "DeviceTestSupport.h"
#include "devices/DeviceListItem.h"
#include "devices/LightTables.h"
#include "ui/memory/MemoryControl.h"

#include <climits>

namespace velkor::test {
namespace {

using sim::SimUnit;

// One device kind: the page layout (in tests/devices/layouts) that names its
// class, and the simulated unit whose interfaces it is opened on.
struct BaseDeviceKind {
    static constexpr const char* kLayout = "device_page.ui";
    static constexpr SimUnit kUnit = SimUnit::Mouse;
    // The tick builds LastFrame: 3 bytes per LED in LED order (kinds that
    // place LEDs by the device's light slots build their own frame).
    static constexpr bool kLedOrderFrame = true;
};

struct KeyboardKind {
    static constexpr const char* kLayout = "keyboard_page.ui";
    static constexpr SimUnit kUnit = SimUnit::Keyboard;
    static constexpr bool kLedOrderFrame = false;
};

struct MouseKind {
    static constexpr const char* kLayout = "mouse_page.ui";
    static constexpr SimUnit kUnit = SimUnit::Mouse;
    static constexpr bool kLedOrderFrame = false;
};

struct PadKind {
    static constexpr const char* kLayout = "pad_page.ui";
    static constexpr SimUnit kUnit = SimUnit::MousePad;
    static constexpr bool kLedOrderFrame = true;
};

using DeviceKinds = ::testing::Types<BaseDeviceKind, KeyboardKind, MouseKind, PadKind>;

template <class Kind> class DeviceContract : public DeviceWindowFixture {
protected:
    DevicePtr Make() {
        DevicePtr device = BuildPage(Kind::kLayout);
        EXPECT_NE(device, nullptr);
        if (device != nullptr) {
            device->Presenter().SetPageLayoutPath(Kind::kLayout);
            device->SetKeyCount(4);
            device->SetLightCount(3);
            device->InitPage();
        }
        return device;
    }
    void OpenCommand(CTolvanicUSBDevice& device) {
        m_backend.Plug(Kind::kUnit);
        ASSERT_TRUE(
            device.Driver().CommandTransport().Open(ChannelType::Wired, m_backend.CommandPath(Kind::kUnit)));
    }
};

TYPED_TEST_SUITE(DeviceContract, DeviceKinds);

TYPED_TEST(DeviceContract, ThreadsStopWithinTheirBoundAndShutdownEndsThemForGood) {
    DevicePtr device = this->Make();
    ASSERT_NE(device, nullptr);
    this->OpenCommand(*device);
    TraceRecorder traces;
    ASSERT_TRUE(device->StartLightThread());
    ASSERT_TRUE(device->OpenEventChannel(this->m_backend.EventPath(TypeParam::kUnit), ChannelType::Wired));
    ASSERT_TRUE(this->m_backend.WaitForWaitingRead(this->m_backend.EventPath(TypeParam::kUnit), 5000));
    EXPECT_EQ(device->Driver().StopLightThread(), ThreadStopOutcome::Ended);
    EXPECT_EQ(device->Driver().StopEventThread(ChannelType::Wired), ThreadStopOutcome::Ended)
        << "a read waiting for a report does not hold the thread";

    ASSERT_TRUE(device->StartLightThread());
    ASSERT_TRUE(device->StartEventThread(ChannelType::Wired));
    device->Shutdown();
    EXPECT_FALSE(device->Driver().LightThreadRunning());
    EXPECT_FALSE(device->Driver().EventThreadRunning(ChannelType::Wired));
    EXPECT_EQ(traces.Count(kTraceThreadEnded), 4);
    EXPECT_EQ(traces.Count(kTraceThreadTimedOut), 0);
    EXPECT_FALSE(device->StartLightThread()) << "nothing starts once the device is shut down";
}

TYPED_TEST(DeviceContract, LedBufferRefusesWhatLiesOutsideIt) {
    DevicePtr device = this->Make();
    ASSERT_NE(device, nullptr);
    device->State().SetLedColour(1, 0x11223344u);
    for (int index : {-1, 3, INT_MAX, INT_MIN}) {
        device->State().SetLedColour(index, 0xFFFFFFFFu);
        EXPECT_EQ(device->State().GetLedColour(index), 0u) << index;
    }
    const auto leds = [&] { return device->State().Leds().Copy().leds; };
    EXPECT_EQ(leds(), (std::vector<uint32_t>{0, 0x11223344u, 0}));
    EXPECT_FALSE(device->SetLightCount(-1));
    EXPECT_FALSE(device->SetLightCount(CTolvanicUSBDevice::kMaxCount + 1));
    EXPECT_FALSE(device->SetKeyCount(-5));
    EXPECT_EQ(leds(), (std::vector<uint32_t>{0, 0x11223344u, 0}));

    device->State().SetLedColour(0, PackLed(255, 128, 0, 128));
    device->State().SetLedColour(1, 0);
    device->State().SetLedColour(2, PackLed(200, 200, 200, 255));
    device->OutputLightFrame();
    if (TypeParam::kLedOrderFrame) {
        EXPECT_EQ(device->State().LastFrame(), (std::vector<uint8_t>{127, 64, 0, 0, 0, 0, 199, 199, 199}))
            << "each channel scaled by its level";
    }

    ASSERT_TRUE(device->SetLightCount(3));
    EXPECT_EQ(leds(), (std::vector<uint32_t>{0, 0, 0})) << "zeroed also when unchanged";
    ASSERT_TRUE(device->SetLightCount(0));
    LightInfoRecord record;
    record.light = 4;
    record.multiColor = 1;
    device->SetLightInfo(LightInfoToWords(record));
    device->EffectBreathing();
    device->State().EffectBreathingFixed();
    device->EffectStatic();
    device->State().EffectSpectrum();
    device->State().EffectBlink();
    device->State().EffectBlinkFixed();
    device->OutputLightFrame();
    EXPECT_TRUE(leds().empty());
    EXPECT_TRUE(device->State().LastFrame().empty());
    EXPECT_EQ(device->State().Leds().Copy().position, 0) << "without LEDs no effect moves on";
}

TYPED_TEST(DeviceContract, OnlyControlsOfItsOwnPageReachIt) {
    DevicePtr first = this->Make();
    DevicePtr second = this->Make();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(first->Presenter().RegisterPageNotifications(*first));
    ASSERT_TRUE(second->Presenter().RegisterPageNotifications(*second));
    TraceRecorder traces;
    const auto raise = [](ui::Control* control, std::string_view type) {
        ASSERT_NE(control, nullptr);
        static_cast<ui::MemoryControl*>(control)->Raise(type);
    };
    const auto passed = [&] { return traces.Count("测试成功   、n"); };

    raise(second->Presenter().Page()->FindChild("page_btn"), ui::kNotifyClick);
    EXPECT_EQ(passed(), 1) << "the second page's button reaches the second device only";
    raise(&this->Find("page_btn"), ui::kNotifyClick);
    EXPECT_EQ(passed(), 1) << "a control of that name outside both pages";
    // Inside the page, but another control of that name comes first: not this sender.
    raise(first->Presenter().Page()->FindChild("device_key_light")->FindChild("key_3"), ui::kNotifyClick);
    EXPECT_EQ(passed(), 1);
    raise(first->Presenter().Page()->FindChild("key_1"), ui::kNotifySelectChanged);
    EXPECT_EQ(passed(), 2);
}

TYPED_TEST(DeviceContract, EventResyncMakesTheListItemReadTheDeviceAgain) {
    DevicePtr device = this->Make();
    ASSERT_NE(device, nullptr);
    this->OpenCommand(*device);
    std::string error;
    ui::Control* itemControl =
        this->m_toolkit->BuildInto(this->Find("device_select_layout"), "device_item.ui", nullptr, &error);
    ASSERT_NE(itemControl, nullptr) << error;
    DeviceListItem item(*itemControl, *device);
    const auto resyncRuns = [&] {
        const auto timers = this->m_toolkit->RunningTimers(*itemControl);
        return std::find(timers.begin(), timers.end(), kTimerResync) != timers.end();
    };
    TraceRecorder traces;
    ASSERT_TRUE(device->OpenEventChannel(this->m_backend.EventPath(TypeParam::kUnit), ChannelType::Wired));
    ASSERT_TRUE(this->m_backend.InjectEvent(TypeParam::kUnit, 0x0401));
    ASSERT_TRUE(PumpUntil(*this->m_toolkit, resyncRuns));
    EXPECT_EQ(traces.Count("接收到自动添加设备的同步信息要求"), 1);
    device->Shutdown();
}

// A device whose owner forgot Shutdown(): its threads still end with it.
TEST(DeviceLifetime, ThreadsNeverOutliveTheDevice) {
    sim::SimBackend backend{3};
    ui::Dispatcher dispatcher;
    SetTickClock ticks;
    backend.Plug(SimUnit::Mouse);
    TraceRecorder traces;
    {
        CTolvanicUSBDevice device(DeviceServices{backend, dispatcher, ticks, {}});
        ASSERT_TRUE(
            device.Driver().CommandTransport().Open(ChannelType::Wired, backend.CommandPath(SimUnit::Mouse)));
        ASSERT_TRUE(device.StartLightThread());
        ASSERT_TRUE(device.OpenEventChannel(backend.EventPath(SimUnit::Mouse), ChannelType::Wired));
    }
    EXPECT_EQ(traces.Count("device threads still running at destruction: stopped now"), 1);
    EXPECT_EQ(traces.Count(kTraceThreadEnded), 2);
}

} // namespace
} // namespace velkor::test
