// The list item's timers on a simulated device: the start-up link check and
// read, after which the item shows, the light tick, the power timer, the link
// watch that hides and shows the item as the wireless link goes and comes,
// and the resync after a device event. The queries run on the device's worker.
#include "devices/DeviceListItem.h"
#include "DeviceTestSupport.h"
#include "devices/LightTables.h"
#include "ui/memory/MemoryControl.h"

#include <functional>
#include <vector>

namespace velkor::test {
namespace {

using sim::SimModel;
using sim::SimUnit;

// A wireless-capable device as the keyboard and the mouse behave at the link:
// up while open, on the receiver, and the receiver hears the device.
class LinkDevice : public CTolvanicUSBDevice, public PowerSource {
public:
    using CTolvanicUSBDevice::CTolvanicUSBDevice;

    bool IsLinkUp() override {
        return Driver().TransportOpen() && Driver().OnReceiver() && Driver().CommandTransport().QueryLink();
    }
    int ReadPower() override {
        ++powerReads;
        uint8_t status[6] = {};
        return Driver().CommandTransport().ReadPowerStatus(status, 6, 0);
    }
    void ReadAttached(std::function<void()> done) override {
        ++deviceReads;
        CTolvanicUSBDevice::ReadAttached(std::move(done));
    }
    void ReloadAfterEvent() override { ++reloads; }
    void OutputLightFrame() override {
        ++frames;
        CTolvanicUSBDevice::OutputLightFrame();
    }

    int powerReads = 0;
    int deviceReads = 0;
    int reloads = 0;
    int frames = 0;
    std::atomic<int> lastOtherEvent{-1};

protected:
    void OnDeviceEvent(uint16_t code, ChannelType) override {
        if (code != 0) {
            lastOtherEvent = code;
        }
    }
};

class ListItemTimers : public DeviceWindowFixture {
protected:
    void SetUp() override {
        DeviceWindowFixture::SetUp();
        m_factory->Register("TolvanicUSBDevice",
                            [](const DeviceServices& s) -> DevicePtr { return MakeDevice<LinkDevice>(s); });
        m_owned = BuildPage("device_page.ui");
        ASSERT_NE(m_owned, nullptr);
        m_device = static_cast<LinkDevice*>(m_owned.get());
        m_device->Presenter().SetPageLayoutPath("device_page.ui");
        m_device->Presenter().SetMainWindow(&m_main);
        m_device->SetKeyCount(4);
        m_device->SetLightCount(4);
        m_device->State().SetModelRow(3);
        m_device->InitPage();

        std::string error;
        m_itemControl = m_toolkit->BuildInto(Find("device_select_layout"), "device_item.ui", nullptr, &error);
        ASSERT_NE(m_itemControl, nullptr) << error;
        m_itemControl->SetVisible(false);
        m_main.item = m_itemControl;
        m_main.modelRow = 3;
        m_item = std::make_unique<DeviceListItem>(*m_itemControl, *m_device);
    }
    void TearDown() override {
        m_item.reset();
        m_owned.reset();
    }

    // The mouse on its receiver (or its cable), as the attach logic opens it.
    void OpenMouse(bool receiver) {
        const SimUnit unit = receiver ? SimUnit::MouseReceiver : SimUnit::Mouse;
        m_backend.Plug(unit);
        DeviceTransport& transport = m_device->Driver().CommandTransport();
        ASSERT_TRUE(transport.Open(receiver ? ChannelType::Receiver : ChannelType::Wired,
                                   m_backend.CommandPath(unit)));
        m_device->State().SetBatteryFlag(true);
    }
    // The window's timers move `ms` in steps of `stepMs`; after each step
    // what the device's worker was asked has ended and its answers have run.
    void Advance(int ms, int stepMs = 100) {
        for (int done = 0; done < ms; done += stepMs) {
            m_toolkit->AdvanceTime(std::min(stepMs, ms - done));
            Settle();
        }
    }
    void Settle() {
        ASSERT_TRUE(PumpUntil(*m_toolkit, [&] { return m_device->Driver().WorkerIdle(); }));
        m_toolkit->ProcessPending();
    }
    std::vector<int> Timers() const { return m_toolkit->RunningTimers(*m_itemControl); }
    bool TimerRuns(int id) const {
        const auto timers = Timers();
        return std::find(timers.begin(), timers.end(), id) != timers.end();
    }
    std::vector<MainWindowStub::Message> ShowMessages() const {
        std::vector<MainWindowStub::Message> kept;
        for (const auto& m : m_main.messages) {
            if (m.message == kMessageShowDeviceItem) {
                kept.push_back(m);
            }
        }
        return kept;
    }

    MainWindowStub m_main;
    DevicePtr m_owned;
    LinkDevice* m_device = nullptr;
    ui::Control* m_itemControl = nullptr;
    std::unique_ptr<DeviceListItem> m_item;
};

TEST_F(ListItemTimers, ReceiverDeviceComesUpAndFollowsItsLink) {
    OpenMouse(true);
    m_item->StartStartupTimer();
    Advance(499, 499);
    EXPECT_EQ(m_device->deviceReads, 0);
    Advance(1);
    EXPECT_TRUE(m_item->IsShown());
    EXPECT_EQ(ShowMessages(), (std::vector<MainWindowStub::Message>{{kMessageShowDeviceItem, 3, 1}}));
    EXPECT_EQ(m_device->deviceReads, 1);
    EXPECT_TRUE(TimerRuns(kTimerLightFrame));
    EXPECT_TRUE(TimerRuns(kTimerPower));
    EXPECT_TRUE(TimerRuns(kTimerLinkWatch));

    // The wireless device is switched off: the item goes within 3 s.
    Advance(1000);
    m_backend.SetWireless(SimModel::Mouse, false);
    Advance(3000);
    EXPECT_FALSE(m_item->IsShown());
    EXPECT_EQ(ShowMessages().back(), (MainWindowStub::Message{kMessageShowDeviceItem, 3, 0}));
    const size_t hiddenAt = ShowMessages().size();
    Advance(9000);
    EXPECT_EQ(ShowMessages().size(), hiddenAt) << "hidden once, not again on every check";
    EXPECT_TRUE(m_device->Driver().TransportOpen()) << "a lost link keeps the transport";

    // Back on: the item returns with its power read.
    const int powerBefore = m_device->powerReads;
    m_backend.SetWireless(SimModel::Mouse, true);
    Advance(3000);
    EXPECT_TRUE(m_item->IsShown());
    EXPECT_EQ(ShowMessages().back(), (MainWindowStub::Message{kMessageShowDeviceItem, 3, 1}));
    EXPECT_GT(m_device->powerReads, powerBefore);
    EXPECT_EQ(m_device->deviceReads, 1) << "the link watch does not read the whole device again";
}

// The timers hand their queries to the device's worker: with every reply
// of the receiver late, the window's loop comes back while the query runs.
TEST_F(ListItemTimers, StartUpPowerAndLinkQueriesNeverHoldTheWindow) {
    OpenMouse(true);
    m_item->StartStartupTimer();
    Advance(500, 500);
    ASSERT_TRUE(m_item->IsShown());
    m_backend.InjectFault(SimUnit::MouseReceiver, {sim::SimFaultKind::Delay, 1, 0, 200});
    for (int timer : {kTimerStartup, kTimerPower, kTimerLinkWatch}) {
        Settle();
        m_itemControl->SetTimer(timer, 1);
        m_toolkit->AdvanceTime(1);
        EXPECT_FALSE(m_device->Driver().WorkerIdle()) << "timer " << timer << " waited for the device";
    }
    Settle();
    m_backend.ClearFaults(SimUnit::MouseReceiver);
}

TEST_F(ListItemTimers, StartUpWaitsForTheLinkEveryThreeSeconds) {
    OpenMouse(true);
    m_backend.SetWireless(SimModel::Mouse, false);
    m_itemControl->SetVisible(true);
    m_item->StartStartupTimer();
    Advance(500, 500);
    EXPECT_EQ(m_item->LinkFailures(), 1);
    EXPECT_FALSE(m_item->IsShown());
    EXPECT_EQ(ShowMessages(), (std::vector<MainWindowStub::Message>{{kMessageShowDeviceItem, 3, 0}}));
    EXPECT_EQ(m_device->deviceReads, 0);
    EXPECT_EQ(Timers(), (std::vector<int>{kTimerStartup}));
    Advance(2999, 2999);
    EXPECT_EQ(m_item->LinkFailures(), 1);
    Advance(1);
    EXPECT_EQ(m_item->LinkFailures(), 2);
    EXPECT_EQ(ShowMessages().size(), 1u) << "an item already hidden is not hidden again";
    Advance(18 * 3000, 3000);
    EXPECT_EQ(m_item->LinkFailures(), 0) << "the count wraps at 20";

    m_backend.SetWireless(SimModel::Mouse, true);
    Advance(3000, 3000);
    EXPECT_TRUE(m_item->IsShown());
    EXPECT_EQ(m_device->deviceReads, 1);
    EXPECT_TRUE(TimerRuns(kTimerLinkWatch));
}

TEST_F(ListItemTimers, CableDeviceTicksEvery10msAndHasNoLinkWatch) {
    OpenMouse(false);
    m_device->Presenter().SetPreviewSeen(true);
    m_device->State().SetBatteryFlag(false);
    m_item->StartStartupTimer();
    Advance(500, 500);
    EXPECT_EQ(m_device->deviceReads, 1);
    EXPECT_EQ(ShowMessages(), (std::vector<MainWindowStub::Message>{{kMessageShowDeviceItem, 3, 1}}))
        << "the cable's item shows once its device was read";
    EXPECT_FALSE(TimerRuns(kTimerLinkWatch));
    EXPECT_FALSE(TimerRuns(kTimerPower)) << "no battery, no power timer";
    m_toolkit->AdvanceTime(100); // first tick after 5 ms, then every 10 ms
    EXPECT_EQ(m_device->frames, 10);

    m_device->Driver().CommandTransport().Close();
    m_toolkit->AdvanceTime(100);
    EXPECT_EQ(m_device->frames, 11) << "the tick stops with the transport";
    EXPECT_FALSE(TimerRuns(kTimerLightFrame));
}

TEST_F(ListItemTimers, ReceiverTicksEvery50msAndPowerEvery5s) {
    OpenMouse(true);
    m_device->Presenter().SetPreviewSeen(true);
    m_item->StartStartupTimer();
    Advance(500, 500);
    const int powerAtStart = m_device->powerReads;
    Advance(50, 50);
    EXPECT_EQ(m_device->powerReads, powerAtStart + 1) << "first power read 50 ms after start-up";
    EXPECT_EQ(m_device->frames, 1);
    Advance(5000, 50);
    EXPECT_EQ(m_device->frames, 101);
    EXPECT_EQ(m_device->powerReads, powerAtStart + 2);
}

// The tick runs only while someone wants the frames, and paints the
// picture at most 30 times a second, only what changed.
TEST_F(ListItemTimers, TheTickRunsOnlyWhileFramesAreWantedAndPaintsAtMost30ASecond) {
    OpenMouse(false);
    m_item->StartStartupTimer();
    Advance(500, 500);
    m_toolkit->AdvanceTime(5);
    EXPECT_EQ(m_device->frames, 1);
    EXPECT_FALSE(TimerRuns(kTimerLightFrame)) << "unseen: the tick stops";
    m_toolkit->AdvanceTime(1000);
    EXPECT_EQ(m_device->frames, 1);

    m_device->Presenter().SetPreviewSeen(true);
    m_toolkit->AdvanceTime(5);
    EXPECT_EQ(m_device->frames, 2) << "seen again: the tick resumes within one tick";

    auto* light = static_cast<ui::MemoryControl*>(m_device->Presenter().LightControls()[0]);
    ASSERT_NE(light, nullptr);
    int before = light->RepaintCount();
    for (uint32_t i = 1; i <= 100; ++i) { // a new colour every tick for a second
        m_device->State().SetLedColour(0, PackLed(uint8_t(i), 0, 0, 255));
        m_toolkit->AdvanceTime(10);
    }
    EXPECT_EQ(m_device->frames, 102);
    const int paints = light->RepaintCount() - before;
    EXPECT_LE(paints, 30);
    EXPECT_GE(paints, 25);
    before = light->RepaintCount();
    m_toolkit->AdvanceTime(200);
    EXPECT_LE(light->RepaintCount() - before, 1) << "an unchanged light is not painted again";

    for (const auto& unseen :
         std::vector<std::function<void(bool)>>{[&](bool on) { m_device->State().SetPictureFlag(on); },
                                                [&](bool on) { m_device->Presenter().SetPreviewSeen(on); },
                                                [&](bool on) { m_device->SetLightControl(on); }}) {
        unseen(false);
        m_toolkit->AdvanceTime(10);
        const int frames = m_device->frames;
        m_toolkit->AdvanceTime(500);
        EXPECT_EQ(m_device->frames, frames) << "no tick while unseen";
        unseen(true);
        m_toolkit->AdvanceTime(5);
        EXPECT_EQ(m_device->frames, frames + 1);
    }
}

TEST_F(ListItemTimers, EventResyncReloadsAfterTheKindsDelay) {
    OpenMouse(false);
    TraceRecorder traces;
    ASSERT_TRUE(m_device->OpenEventChannel(m_backend.EventPath(SimUnit::Mouse), ChannelType::Wired));
    ASSERT_TRUE(m_backend.InjectEvent(SimUnit::Mouse, 0x1132));
    ASSERT_TRUE(PumpUntil(*m_toolkit, [&] { return m_device->lastOtherEvent == 0x1132; }));
    EXPECT_FALSE(TimerRuns(kTimerResync)) << "other codes are the kind's";

    ASSERT_TRUE(m_backend.InjectEvent(SimUnit::Mouse, 0x0401));
    ASSERT_TRUE(PumpUntil(*m_toolkit, [&] { return TimerRuns(kTimerResync); }));
    EXPECT_EQ(traces.Count("接收到自动添加设备的同步信息要求"), 1);
    EXPECT_GE(traces.Count("接收到自动添加设备的同步信息要求  TEST"), 2);
    m_toolkit->AdvanceTime(499);
    EXPECT_EQ(m_device->reloads, 0);
    m_toolkit->AdvanceTime(1);
    EXPECT_EQ(m_device->reloads, 1);
    m_toolkit->AdvanceTime(2000);
    EXPECT_EQ(m_device->reloads, 1) << "once per event";
    m_device->Driver().CloseEventChannel(ChannelType::Wired);
}

TEST_F(ListItemTimers, AnItemWhoseDeviceWentAwayIgnoresItsTimers) {
    OpenMouse(false);
    m_item->StartStartupTimer();
    m_owned.reset();
    m_device = nullptr;
    EXPECT_EQ(m_item->Device(), nullptr);
    m_toolkit->AdvanceTime(5000);
    EXPECT_TRUE(Timers().empty());
}

} // namespace
} // namespace velkor::test
