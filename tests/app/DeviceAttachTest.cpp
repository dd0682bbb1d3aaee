// A device is offered only once the program has read it: the first moment it
// is listed its settings are the device's, and a setter sent then keeps all
// the device holds besides what it sets (each kind, on its cable and through
// its receiver), on the simulated family behind a main window.
#include "MainWndFixture.h"
#include "app/DeviceApi.h"
#include "app/DevicePanels.h"
#include "platform/bus/DeviceBusTypes.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

using sim::SimUnit;

struct AttachCase {
    const char* name;
    SimUnit unit;
    const char* id;
};

class FirstListing : public MainWndFixture, public ::testing::WithParamInterface<AttachCase> {
protected:
    void SetUp() override { m_folder.AddDefaultData(); }
    void TearDown() override { StopWindow(); }

    void StartWindow() {
        MainWndServices services = Services(true, 1);
        WithLanguages(services);
        services.audioPlugin = VELKOR_SIM_PLUGIN;
        ASSERT_TRUE(StartWith(services));
        m_api = std::make_unique<DeviceApi>(*m_main, &m_texts, DeviceApi::Signals{});
    }
    // The program ends; the next start gets a toolkit of its own, as a new process would.
    void StopWindow() {
        m_api.reset();
        m_main.reset();
        m_toolkit = ui::MemoryToolkit::Create(SourceSkin().string(), m_clock);
    }
    bool Listed() const {
        for (const DeviceListEntry& entry : m_api->ListDevices()) {
            if (entry.id == GetParam().id) {
                return true;
            }
        }
        return false;
    }
    // The window's loop in steps of 10 ms until the device is listed: its settings then.
    std::optional<BusDict> SettingsWhenListed() {
        if (!Until([&] { return Listed(); }, 10)) {
            return std::nullopt;
        }
        return m_api->Settings(GetParam().id);
    }
    DeviceReply Run(const DeviceCall& call) {
        auto answer = std::make_shared<std::optional<DeviceReply>>();
        m_api->Run(call, [answer](DeviceReply reply) { *answer = std::move(reply); });
        Until([&] { return answer->has_value(); }, 0);
        return answer->value_or(DeviceReply::Error(DeviceCallStatus::Failed, "no answer"));
    }
    // Every worker idle and what it posted run, for a while of the window's time.
    void Settle() {
        for (int step = 0; step < 4; ++step) {
            Until([&] {
                for (int row = 0; row < 5; ++row) {
                    CTolvanicUSBDevice* device = m_main->Discovery()->DeviceOfModel(row);
                    if (device != nullptr && !device->Driver().WorkerIdle()) {
                        return false;
                    }
                }
                return true;
            });
        }
    }

    std::unique_ptr<DeviceApi> m_api;
};

TEST_P(FirstListing, ShowsTheDevicesSettingsAndASetterKeepsTheRest) {
    m_sim.Plug(GetParam().unit);
    // A first run learns what the device holds.
    StartWindow();
    ASSERT_TRUE(SettingsWhenListed());
    Settle();
    const std::optional<BusDict> held = m_api->Settings(GetParam().id);
    ASSERT_TRUE(held);
    StopWindow();

    // The program starts again: the first moment the device is listed.
    StartWindow();
    const std::optional<BusDict> first = SettingsWhenListed();
    ASSERT_TRUE(first) << "never listed";
    EXPECT_EQ(*first, *held) << "listed before it was read";
    const BusValue* brightness = FindBusValue(*held, "brightness");
    ASSERT_NE(brightness, nullptr);
    const int32_t wanted = std::get<int32_t>(*brightness) == 1 ? 2 : 1;
    DeviceCall set;
    set.method = DeviceMethod::SetLighting;
    set.id = GetParam().id;
    set.fields = {{"brightness", wanted}};
    const DeviceReply reply = Run(set);
    EXPECT_EQ(reply.status, DeviceCallStatus::Ok) << reply.message;
    Settle();

    BusDict expected = *held;
    for (auto& [key, value] : expected) {
        if (key == "brightness") {
            value = wanted;
        }
    }
    EXPECT_EQ(m_api->Settings(GetParam().id), expected) << "the change is lost or took more with it";
    // What the device holds, read again by a third start.
    StopWindow();
    StartWindow();
    ASSERT_TRUE(SettingsWhenListed());
    EXPECT_EQ(m_api->Settings(GetParam().id), expected);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, FirstListing,
                         ::testing::Values(AttachCase{"mouse", SimUnit::Mouse, "mouse-7070"},
                                           AttachCase{"mouse_receiver", SimUnit::MouseReceiver, "mouse-7070"},
                                           AttachCase{"keyboard", SimUnit::Keyboard, "keyboard-50b7"},
                                           AttachCase{"keyboard_receiver", SimUnit::KeyboardReceiver,
                                                      "keyboard-50b7"},
                                           AttachCase{"pad", SimUnit::MousePad, "mousepad-1004"},
                                           AttachCase{"headset", SimUnit::Headset, "headset-1630"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velkor::test
