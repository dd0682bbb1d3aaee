// The device API on a private session bus, served by a main window on the
// simulated family: every setter against the page control that sets the same
// thing, the refusals, Busy and LightingReleased, and the change signals.
#include "app/DeviceApi.h"
#include "MainWndFixture.h"
#include "app/DeviceCallQueue.h"
#include "app/DevicePanels.h"
#include "bus/PrivateBus.h"
#include "devices/CMpDevicePowerUI.h"
#include "devices/DeviceListItem.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "devices/TolvanicMouseDevice.h"
#include "headset/TolvanicHS6533Device.h"
#include "lighting/LightCommit.h"
#include "platform/bus/BusMessage.h"
#include "platform/bus/DbusMessageBus.h"
#include "platform/bus/DeviceBusClient.h"
#include "platform/bus/DeviceBusService.h"
#include "ui/FamilyAccess.h"

#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <mutex>
#include <systemd/sd-bus.h>
#include <thread>

namespace velkor::test {
namespace {

using sim::SimFaultKind;
using sim::SimMemory;
using sim::SimModel;
using sim::SimUnit;
using ui::test::ListOf;
using ui::test::RangeOf;
using ui::test::SelectableOf;

// Rows of the model table, as ListDevices orders them.
constexpr int kMouse = 0;
constexpr int kKeyboard = 1; // 0x50B7
constexpr int kPad = 2;
constexpr int kHeadset = 3;

// What a setter may change: the family's memories (not the live light stream
// nor the power status), the files under the data home, the headset's bands.
struct State {
    std::vector<std::vector<uint8_t>> memories;
    std::map<std::string, std::string> files;
    std::vector<int> bands;
    bool operator==(const State&) const = default;
};

// Where two states differ first ("" when they do not).
std::string Difference(const State& a, const State& b) {
    for (size_t m = 0; m < a.memories.size() && m < b.memories.size(); ++m) {
        const auto& x = a.memories[m];
        const auto& y = b.memories[m];
        for (size_t i = 0; i < x.size() || i < y.size(); ++i) {
            if (i >= x.size() || i >= y.size() || x[i] != y[i]) {
                return "memory " + std::to_string(m) + " at " + std::to_string(i);
            }
        }
    }
    for (const auto& [name, text] : a.files) {
        const auto other = b.files.find(name);
        if (other == b.files.end() || other->second != text) {
            return "file " + name;
        }
    }
    if (a.files.size() != b.files.size()) {
        return "the number of files";
    }
    return a.bands == b.bands ? "" : "equaliser bands";
}

DeviceCall Make(DeviceMethod method, std::string id, int32_t first = 0, int32_t second = 0) {
    DeviceCall call;
    call.method = method;
    call.id = std::move(id);
    call.first = first;
    call.second = second;
    return call;
}

DeviceCall WithFields(DeviceMethod method, std::string id, BusDict fields) {
    DeviceCall call = Make(method, std::move(id));
    call.fields = std::move(fields);
    return call;
}

DeviceCall WithName(DeviceMethod method, std::string id, std::string name, int32_t value = 0) {
    DeviceCall call = Make(method, std::move(id), value);
    call.name = std::move(name);
    return call;
}

class DeviceApiTest : public MainWndFixture {
public: // the table's rows use the helpers
    void SetUp() override {
        if (!PrivateBus::DaemonInstalled()) {
            GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus)";
        }
        std::string why;
        ASSERT_TRUE(m_daemon.Start(why)) << why;
        m_folder.AddDefaultData();
        for (SimUnit unit : {SimUnit::Mouse, SimUnit::Keyboard, SimUnit::MousePad, SimUnit::Headset,
                             SimUnit::Keyboard511D}) {
            m_sim.Plug(unit);
        }
        MainWndServices services = Services(true, 1);
        WithLanguages(services);
        services.audioPlugin = VELKOR_SIM_PLUGIN;
        ASSERT_TRUE(StartWith(services));
        ASSERT_TRUE(Until(
            [&] {
                auto* mouse = dynamic_cast<CTolvanicMouseDevice*>(Device(kMouse));
                auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(Device(kKeyboard));
                auto* headset = dynamic_cast<CTolvanicHS6533Device*>(Device(kHeadset));
                return mouse != nullptr && mouse->DpiLimits().highestStep > 0 && keyboard != nullptr &&
                       keyboard->KeyPositions() > 0 && headset != nullptr &&
                       m_main->PanelsOf(*headset)->VoicePanel() != nullptr && Device(kPad) != nullptr &&
                       Device(kPad)->Driver().LightThreadRunning();
            },
            10));
        ServeApi();
        m_watcher = std::make_unique<DeviceBusClient>(m_daemon.Address());
        ASSERT_TRUE(m_watcher->Subscribe(why)) << why;
    }
    void TearDown() override {
        if (m_service) {
            m_service->Stop();
        }
        if (m_queue) {
            m_queue->Close();
        }
        m_api.reset();
    }

    // As the program serves it: the bus thread hands each call to the window's loop.
    void ServeApi() {
        m_owner = std::make_unique<DbusMessageBus>(m_daemon.Address());
        ASSERT_EQ(m_owner->Claim(nullptr), BusClaim::Owner);
        m_service = std::make_unique<DeviceBusService>(*m_owner);
        DeviceApi::Signals signals{
            .added = [this](const std::string& id) { m_service->EmitDeviceAdded(id); },
            .removed = [this](const std::string& id) { m_service->EmitDeviceRemoved(id); },
            .changed = [this](const std::string& id,
                              const BusDict& changed) { m_service->EmitSettingsChanged(id, changed); },
        };
        // Reads from what the API last saw, writes through the window's loop.
        m_queue = std::make_unique<DeviceCallQueue>(
            [this](std::function<void()> task) { return m_toolkit->GetDispatcher().Post(std::move(task)); },
            [this](const DeviceCall& call, DeviceCallQueue::ReplyFn reply) {
                m_api->Run(call, std::move(reply));
            });
        signals.seen = [this](const std::vector<DeviceListEntry>& devices,
                              const std::map<std::string, BusDict>& settings) {
            m_queue->Publish(devices, settings);
        };
        m_api = std::make_unique<DeviceApi>(*m_main, &m_texts, std::move(signals));
        m_api->CheckChanges(); // the devices attached now are known, not "added"
        ASSERT_TRUE(m_service->Start([this](DeviceCall call, DeviceBusService::ReplyFn reply) {
            return m_queue->Take(std::move(call), std::move(reply));
        }));
    }

    CTolvanicUSBDevice* Device(int row) const {
        return m_main->Discovery() != nullptr ? m_main->Discovery()->DeviceOfModel(row) : nullptr;
    }
    std::string Id(int row) const { return DeviceIdOf(*Device(row)); }

    // Another program's call, made on a thread of its own while this one runs the window.
    DeviceReply Call(const DeviceCall& call) {
        std::future<DeviceReply> answer = std::async(std::launch::async, [this, call] {
            DeviceBusClient client(m_daemon.Address());
            return client.Call(call, 20000);
        });
        Until([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 1);
        return answer.get();
    }
    // The signals the watcher got so far: a call of its own comes back after
    // every signal the program sent before answering it.
    std::vector<DeviceSignal> Signals() {
        std::future<std::vector<DeviceSignal>> done = std::async(std::launch::async, [this] {
            std::vector<DeviceSignal> got;
            m_watcher->Call(Make(DeviceMethod::ListDevices, ""));
            m_watcher->WaitSignals(
                [&](const DeviceSignal& signal) {
                    got.push_back(signal);
                    return true;
                },
                0);
            return got;
        });
        Until([&] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 1);
        return done.get();
    }
    // Writes started by a page or a call have ended.
    bool Settle() {
        return Until(
            [&] {
                for (int row : {kMouse, kKeyboard, kPad, kHeadset}) {
                    DevicePanelSet* panels = m_main->PanelsOf(*Device(row));
                    if (!Device(row)->Driver().WorkerIdle() || (panels != nullptr && panels->Writing())) {
                        return false;
                    }
                }
                return true;
            },
            1);
    }

    State Snapshot() const {
        State state;
        for (size_t model = 0; model < m_sim.Catalog().ModelCount(); ++model) {
            for (SimMemory memory : {SimMemory::Params, SimMemory::KeyTable, SimMemory::KeyLightMap,
                                     SimMemory::Colours, SimMemory::Macro, SimMemory::Recoil}) {
                state.memories.push_back(m_sim.Memory(SimModel(model), memory));
            }
        }
        const std::filesystem::path home = m_folder.Path();
        for (const auto& entry : std::filesystem::recursive_directory_iterator(home)) {
            const std::string relative = std::filesystem::relative(entry.path(), home).string();
            if (entry.is_regular_file() && !relative.starts_with("DefaultData") &&
                !relative.starts_with("langs")) {
                std::ifstream in(entry.path(), std::ios::binary);
                state.files[relative] = std::string(std::istreambuf_iterator<char>(in), {});
            }
        }
        auto* headset = dynamic_cast<CTolvanicHS6533Device*>(Device(kHeadset));
        for (int band = 0; band < 10; ++band) {
            state.bands.push_back(
                headset->Audio()->GetInt(headset->Audio()->Output(), audio::EqSlider(band)).value_or(-1));
        }
        return state;
    }
    // Writes of settings, tables, macros or recoil sent to any unit so far.
    size_t WritesSent() const {
        size_t count = 0;
        for (const sim::SimFrame& frame : m_sim.Frames()) {
            count += frame.direction == sim::SimDirection::ToDevice && frame.bytes.size() > 3 &&
                     (frame.bytes[3] == 0x06 || frame.bytes[3] == 0x09 || frame.bytes[3] == 0x0B ||
                      frame.bytes[3] == 0x15 || frame.bytes[3] == 0x17);
        }
        return count;
    }

    // The control `name` of the device's page, made reachable as a user
    // reaches it: the device chosen in the list, then the tab that shows it.
    ui::Control* Reach(CTolvanicUSBDevice& device, std::string_view name) {
        for (int tries = 0; tries < 6 && m_main->Discovery()->SelectedDevice() != &device; ++tries) {
            m_user.Click(*m_main->GetWindow(), "device_select_next");
        }
        // The headset's audio panel first: its names are not unique on the page.
        DevicePanelSet* panels = m_main->PanelsOf(device);
        ui::Control* control = panels != nullptr && panels->VoicePanel() != nullptr
                                   ? panels->VoicePanel()->Panel().FindChild(name)
                                   : nullptr;
        control = control != nullptr ? control : device.Presenter().Page()->FindChild(name);
        for (int tab = 1; control != nullptr && tab <= 7 && !(control->IsVisible() && control->IsEnabled());
             ++tab) {
            device.SelectFunctionPage(tab);
        }
        return control != nullptr && (control->IsVisible() && control->IsEnabled()) ? control : nullptr;
    }
    bool ClickOn(CTolvanicUSBDevice& device, const std::string& name) {
        ui::Control* control = Reach(device, name);
        return control != nullptr && m_user.Click(*control);
    }

    PrivateBus m_daemon;
    std::unique_ptr<DbusMessageBus> m_owner;
    std::unique_ptr<DeviceBusService> m_service;
    std::unique_ptr<DeviceCallQueue> m_queue;
    std::unique_ptr<DeviceApi> m_api;
    std::unique_ptr<DeviceBusClient> m_watcher; // subscribed to the signals
};

// ---- Every setter takes the road of its page control ----

class SetterRoadTest;
struct SetterCase {
    const char* name;
    int row;
    // Before both roads (not compared): what the setter needs.
    std::function<void(SetterRoadTest&, CTolvanicUSBDevice&)> prepare;
    // The page control that sets the value (which 0) or another one (which 1).
    std::function<bool(SetterRoadTest&, CTolvanicUSBDevice&, int which)> page;
    // The call that sets the value of `which` 0.
    std::function<DeviceCall(SetterRoadTest&, const std::string& id)> call;
};

class SetterRoadTest : public DeviceApiTest, public ::testing::WithParamInterface<SetterCase> {
public:
    using DeviceApiTest::m_main;
    using DeviceApiTest::m_user;
    bool ChooseOn(CTolvanicUSBDevice& device, std::string_view name, int index) {
        ui::Control* control = Reach(device, name);
        return control != nullptr && m_user.ChooseItem(*control, index);
    }
    bool StepOn(CTolvanicUSBDevice& device, std::string_view name, int value) {
        ui::Control* control = Reach(device, name);
        return control != nullptr && m_user.StepSlider(*control, value);
    }
    // The record committed and shown on the page, as a script's change is.
    void Commit(CTolvanicUSBDevice& device, const LightInfoRecord& light) {
        CommitLightRecord(device, light, ScreenSize{});
        m_main->PanelsOf(device)->LightPanel()->ShowLightInfo(light);
    }
    bool PickOn(CTolvanicUSBDevice& device, std::string_view name, uint32_t argb) {
        ui::Control* control = Reach(device, name);
        return control != nullptr && m_user.PickColour(*control, argb);
    }
    // Types into the edit, then the focus moves on to `next`.
    bool TypeOn(CTolvanicUSBDevice& device, std::string_view name, std::string_view text,
                std::string_view next) {
        ui::Control* edit = Reach(device, name);
        ui::Control* other = Reach(device, next);
        return edit != nullptr && other != nullptr && m_user.Type(*edit, text) && m_user.Focus(*other);
    }
    std::string ComboText(int row, std::string_view name, int index) {
        ui::Control* combo = Device(row)->Presenter().Page()->FindChild(name);
        return combo != nullptr ? ListOf(combo).ItemText(index) : std::string();
    }
};

TEST_P(SetterRoadTest, LeavesDeviceAndProfileAsThePageControlDoes) {
    const SetterCase& setter = GetParam();
    CTolvanicUSBDevice& device = *Device(setter.row);
    if (setter.prepare) {
        setter.prepare(*this, device);
    }
    ASSERT_TRUE(setter.page(*this, device, 0)) << "the page control cannot be used";
    ASSERT_TRUE(Settle());
    const State byPage = Snapshot();
    ASSERT_TRUE(setter.page(*this, device, 1));
    ASSERT_TRUE(Settle());
    ASSERT_NE(Difference(Snapshot(), byPage), "") << "the other value changes something";

    const DeviceReply reply = Call(setter.call(*this, Id(setter.row)));
    ASSERT_EQ(reply.status, DeviceCallStatus::Ok) << reply.message;
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Difference(Snapshot(), byPage), "");
}

constexpr std::string_view kModeCombo = "light_combo_modeSelect";

INSTANTIATE_TEST_SUITE_P(
    EverySetter, SetterRoadTest,
    ::testing::Values(
        // The effect by the name the combo shows.
        SetterCase{"effect",
                   kKeyboard,
                   {},
                   [](SetterRoadTest& t, CTolvanicUSBDevice& d, int which) {
                       return t.ChooseOn(d, kModeCombo, which == 0 ? 2 : 1);
                   },
                   [](SetterRoadTest& t, const std::string& id) {
                       return WithFields(DeviceMethod::SetLighting, id,
                                         {{"effect", t.ComboText(kKeyboard, kModeCombo, 2)}});
                   }},
        SetterCase{"brightness",
                   kPad,
                   {},
                   [](SetterRoadTest& t, CTolvanicUSBDevice& d, int which) {
                       return t.StepOn(d, "deng_light_slider", which == 0 ? 1 : 3);
                   },
                   [](SetterRoadTest&, const std::string& id) {
                       return WithFields(DeviceMethod::SetLighting, id, {{"brightness", 1}});
                   }},
        SetterCase{
            "colour", kMouse,
            // The palette shows only while the effect uses a fixed colour.
            [](SetterRoadTest& t, CTolvanicUSBDevice& d) {
                LightInfoRecord light = d.State().LightRecord();
                light.selectItem = 0;
                light.multiColor = 0;
                t.Commit(d, light);
            },
            [](SetterRoadTest& t, CTolvanicUSBDevice& d, int which) {
                return t.PickOn(d, "deng_Color_Pallet", which == 0 ? 0xFF123456u : 0xFF00FF00u);
            },
            [](SetterRoadTest&, const std::string& id) {
                return WithFields(DeviceMethod::SetLighting, id, {{"colour", std::string("18,52,86")}});
            }},
        // A colour picked, then the key clicked in the custom effect.
        SetterCase{"key_colour", kKeyboard,
                   [](SetterRoadTest& t, CTolvanicUSBDevice& d) {
                       LightInfoRecord light = d.State().LightRecord();
                       light.selectItem = CTolvanicKeyboardDevice::kCustomColourEffect;
                       t.Commit(d, light);
                   },
                   [](SetterRoadTest& t, CTolvanicUSBDevice& d, int which) {
                       return t.PickOn(d, "deng_Color_Pallet", which == 0 ? 0xFFFF8000u : 0xFF0000FFu) &&
                              t.m_user.Click(*d.Presenter().KeyControls()[64]);
                   },
                   [](SetterRoadTest&, const std::string& id) {
                       return Make(DeviceMethod::SetKeyColour, id, 64, 0xFF8000);
                   }},
        SetterCase{"dpi_stage",
                   kMouse,
                   {},
                   [](SetterRoadTest& t, CTolvanicUSBDevice& d, int which) {
                       return t.TypeOn(d, "DPI_edit_1", which == 0 ? "1600" : "800", "DPI_edit_0");
                   },
                   [](SetterRoadTest&, const std::string& id) {
                       return Make(DeviceMethod::SetDpiStage, id, 2, 1600);
                   }},
        SetterCase{
            "active_stage",
            kMouse,
            {},
            [](SetterRoadTest& t, CTolvanicUSBDevice& d, int which) {
                return t.ClickOn(d, which == 0 ? "DPI_select_check_2" : "DPI_select_check_0");
            },
            [](SetterRoadTest&, const std::string& id) { return Make(DeviceMethod::SetActiveStage, id, 3); }},
        SetterCase{"report_rate",
                   kMouse,
                   {},
                   [](SetterRoadTest& t, CTolvanicUSBDevice& d, int which) {
                       return t.ClickOn(d, which == 0 ? "polling_rate_option_2" : "polling_rate_option_1");
                   },
                   [](SetterRoadTest&, const std::string& id) {
                       return Make(DeviceMethod::SetReportRate, id, 500);
                   }},
        SetterCase{"win_lock",
                   kKeyboard,
                   {},
                   [](SetterRoadTest& t, CTolvanicUSBDevice& d, int which) {
                       ui::Control* check = t.Reach(d, "winlockflag_option");
                       return check != nullptr &&
                              (SelectableOf(check).IsSelected() == (which == 0) || t.m_user.Click(*check));
                   },
                   [](SetterRoadTest&, const std::string& id) {
                       return WithName(DeviceMethod::SetOption, id, "win-lock", 1);
                   }},
        SetterCase{"repeat_delay",
                   kKeyboard,
                   {},
                   [](SetterRoadTest& t, CTolvanicUSBDevice& d, int which) {
                       return t.ClickOn(d, which == 0 ? "repeat_delay_check_2" : "repeat_delay_check_0");
                   },
                   [](SetterRoadTest&, const std::string& id) {
                       return WithName(DeviceMethod::SetOption, id, "repeat-delay", 2);
                   }},
        SetterCase{"equaliser_preset",
                   kHeadset,
                   {},
                   [](SetterRoadTest& t, CTolvanicUSBDevice& d, int which) {
                       return t.ClickOn(d, which == 0 ? "6533_eq_option_6" : "6533_eq_option_3");
                   },
                   [](SetterRoadTest&, const std::string& id) {
                       return WithFields(DeviceMethod::SetEqualiser, id, {{"preset", 6}});
                   }},
        // Ten band sliders moved one after the other, or all bands in one call.
        SetterCase{"equaliser_bands",
                   kHeadset,
                   {},
                   [](SetterRoadTest& t, CTolvanicUSBDevice& d, int which) {
                       bool moved = true;
                       for (int band = 0; band < 10; ++band) {
                           moved = moved && t.StepOn(d, "6533_eq_hz_slider_" + std::to_string(band),
                                                     which == 0 ? band - 5 : 2);
                       }
                       return moved;
                   },
                   [](SetterRoadTest&, const std::string& id) {
                       return WithFields(
                           DeviceMethod::SetEqualiser, id,
                           {{"bands", std::vector<int32_t>{-5, -4, -3, -2, -1, 0, 1, 2, 3, 4}}});
                   }},
        SetterCase{"profile", kMouse,
                   [](SetterRoadTest& t, CTolvanicUSBDevice& d) {
                       t.m_main->PanelsOf(d)->ProfileBar()->AddProfile();
                   },
                   [](SetterRoadTest& t, CTolvanicUSBDevice& d, int which) {
                       return t.ChooseOn(d, "device_profile_combo", which == 0 ? 1 : 0);
                   },
                   [](SetterRoadTest&, const std::string& id) {
                       return WithName(DeviceMethod::SelectProfile, id, "profile2");
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Refusals change nothing ----

constexpr const char* kMouseId = "mouse-7070";
constexpr const char* kKeyboardId = "keyboard-50b7";
constexpr const char* kPadId = "mousepad-1004";
constexpr const char* kHeadsetId = "headset-1630";

struct RefusalCase {
    const char* name;
    DeviceCall call;
    DeviceCallStatus status;
};

class RefusalTest : public DeviceApiTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, AnswersItsNamedErrorAndChangesNothing) {
    const State before = Snapshot();
    const size_t writes = WritesSent();
    const DeviceReply reply = Call(GetParam().call);
    EXPECT_EQ(reply.status, GetParam().status) << reply.message;
    EXPECT_FALSE(reply.message.empty()) << "the error says why";
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Difference(Snapshot(), before), "");
    EXPECT_EQ(WritesSent(), writes) << "no frame went out";
}

const std::vector<int32_t> kTenBands(10, 3);

INSTANTIATE_TEST_SUITE_P(
    EveryKind, RefusalTest,
    ::testing::Values(
        RefusalCase{"unknown_id", WithFields(DeviceMethod::SetLighting, "keyboard-ffff", {{"brightness", 1}}),
                    DeviceCallStatus::NoSuchDevice},
        RefusalCase{"empty_id", Make(DeviceMethod::SetReportRate, "", 500), DeviceCallStatus::NoSuchDevice},
        RefusalCase{"unknown_effect",
                    WithFields(DeviceMethod::SetLighting, kKeyboardId, {{"effect", "disco"}}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"effect_position_outside",
                    WithFields(DeviceMethod::SetLighting, kKeyboardId, {{"effect", 200}}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"brightness_above", WithFields(DeviceMethod::SetLighting, kPadId, {{"brightness", 5}}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"speed_below", WithFields(DeviceMethod::SetLighting, kPadId, {{"speed", -1}}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"brightness_as_text",
                    WithFields(DeviceMethod::SetLighting, kPadId, {{"brightness", std::string("3")}}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"colour_not_hex",
                    WithFields(DeviceMethod::SetLighting, kMouseId, {{"colour", std::string("#12345g")}}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"colour_channel_above",
                    WithFields(DeviceMethod::SetLighting, kMouseId, {{"colour", std::string("256,0,0")}}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{
            "colour_as_list",
            WithFields(DeviceMethod::SetLighting, kMouseId, {{"colour", std::vector<int32_t>{1, 2, 3}}}),
            DeviceCallStatus::InvalidArgs},
        RefusalCase{"direction_unknown",
                    WithFields(DeviceMethod::SetLighting, kMouseId, {{"direction", std::string("up")}}),
                    DeviceCallStatus::InvalidArgs},
        // A good field before a bad one: neither is applied.
        RefusalCase{"good_then_unknown_key",
                    WithFields(DeviceMethod::SetLighting, kKeyboardId, {{"brightness", 1}, {"glow", 1}}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"good_then_out_of_range",
                    WithFields(DeviceMethod::SetLighting, kKeyboardId,
                               {{"colour", std::string("#00ff00")}, {"speed", 9}}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"no_fields", WithFields(DeviceMethod::SetLighting, kKeyboardId, {}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"key_colour_outside_custom", Make(DeviceMethod::SetKeyColour, kKeyboardId, 64, 0xFF0000),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"key_colour_on_mouse", Make(DeviceMethod::SetKeyColour, kMouseId, 1, 0xFF0000),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"dpi_stage_zero", Make(DeviceMethod::SetDpiStage, kMouseId, 0, 800),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"dpi_above", Make(DeviceMethod::SetDpiStage, kMouseId, 2, 99999),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"dpi_on_keyboard", Make(DeviceMethod::SetDpiStage, kKeyboardId, 1, 800),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"active_stage_six", Make(DeviceMethod::SetActiveStage, kMouseId, 6),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"report_rate_odd", Make(DeviceMethod::SetReportRate, kMouseId, 333),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"report_rate_on_pad", Make(DeviceMethod::SetReportRate, kPadId, 500),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"option_unknown", WithName(DeviceMethod::SetOption, kKeyboardId, "turbo", 1),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"option_out_of_range", WithName(DeviceMethod::SetOption, kKeyboardId, "win-lock", 2),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"option_on_mouse", WithName(DeviceMethod::SetOption, kMouseId, "win-lock", 1),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"preset_above", WithFields(DeviceMethod::SetEqualiser, kHeadsetId, {{"preset", 14}}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"preset_as_text",
                    WithFields(DeviceMethod::SetEqualiser, kHeadsetId, {{"preset", std::string("rock")}}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{
            "nine_bands",
            WithFields(DeviceMethod::SetEqualiser, kHeadsetId, {{"bands", std::vector<int32_t>(9, 0)}}),
            DeviceCallStatus::InvalidArgs},
        RefusalCase{"band_too_loud",
                    WithFields(DeviceMethod::SetEqualiser, kHeadsetId,
                               {{"bands", std::vector<int32_t>{0, 0, 0, 0, 21, 0, 0, 0, 0, 0}}}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"preset_and_bands",
                    WithFields(DeviceMethod::SetEqualiser, kHeadsetId, {{"preset", 2}, {"bands", kTenBands}}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"equaliser_on_pad", WithFields(DeviceMethod::SetEqualiser, kPadId, {{"preset", 2}}),
                    DeviceCallStatus::InvalidArgs},
        RefusalCase{"profile_unknown", WithName(DeviceMethod::SelectProfile, kMouseId, "nope"),
                    DeviceCallStatus::InvalidArgs}),
    [](const auto& info) { return std::string(info.param.name); });

// The list gives the battery level the mouse's page shows (the simulated mouse reports 80 %).
TEST_F(DeviceApiTest, DevicesGiveTheBatteryThePageShows) {
    const auto mouseAt80 = [](const std::vector<DeviceListEntry>& devices) {
        return std::any_of(devices.begin(), devices.end(),
                           [](const DeviceListEntry& d) { return d.kind == "mouse" && d.battery == 80; });
    };
    ASSERT_TRUE(Until([&] { return mouseAt80(m_api->ListDevices()); }));
    // Over the bus, reads are answered from what the API last published (every 500 ms at most).
    EXPECT_TRUE(Until([&] { return mouseAt80(Call(Make(DeviceMethod::ListDevices, "")).devices); }));
    const auto* page = dynamic_cast<const CMpDevicePowerUI*>(Device(kMouse)->Presenter().PowerPanel());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->LastPercent(), 80);
    // The device list's item says the same, and how the mouse is connected.
    ui::Control* item = m_main->Discovery()->ListItemOfModel(kMouse);
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(Until([&] {
        ui::Control* level = item->FindChild(DeviceListItem::kBatteryLabel);
        return level != nullptr && level->Text() == "80 %" && level->IsVisible();
    }));
    ui::Control* link = item->FindChild(DeviceListItem::kLinkLabel);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->Text(), "device_link_cable_text");
    ui::Control* padLevel =
        m_main->Discovery()->ListItemOfModel(kPad)->FindChild(DeviceListItem::kBatteryLabel);
    ASSERT_NE(padLevel, nullptr);
    EXPECT_FALSE(padLevel->IsVisible()) << "the pad has no battery";
}

// The keys of the custom effect run 0..count-1: the count itself is refused
// before anything is painted or sent, the last key is taken.
TEST_F(DeviceApiTest, KeyColourBoundsAreTheKeyboardsLightCount) {
    CTolvanicUSBDevice& keyboard = *Device(kKeyboard);
    LightInfoRecord light = keyboard.State().LightRecord();
    light.selectItem = CTolvanicKeyboardDevice::kCustomColourEffect;
    CommitLightRecord(keyboard, light, ScreenSize{});
    ASSERT_TRUE(Settle());
    const int count = keyboard.State().LightCount();
    const State before = Snapshot();
    const size_t writes = WritesSent();
    const DeviceReply beyond = Call(Make(DeviceMethod::SetKeyColour, kKeyboardId, count, 0xFF0000));
    EXPECT_EQ(beyond.status, DeviceCallStatus::InvalidArgs) << beyond.message;
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Difference(Snapshot(), before), "");
    EXPECT_EQ(WritesSent(), writes);
    EXPECT_EQ(Call(Make(DeviceMethod::SetKeyColour, kKeyboardId, count - 1, 0xFF0000)).status,
              DeviceCallStatus::Ok);
}

// ---- Busy, LightingReleased, and the change signals ----

TEST_F(DeviceApiTest, ACallDuringALongWriteAnswersBusyAndIsNotAppliedLater) {
    CTolvanicUSBDevice& keyboard = *Device(kKeyboard);
    DevicePanelSet& panels = *m_main->PanelsOf(keyboard);
    const int brightness = keyboard.State().LightRecord().light;
    const int wanted = brightness == 1 ? 2 : 1;
    // Every reply of the keyboard comes late (within its time-out): the key write takes seconds.
    m_sim.InjectFault(SimUnit::Keyboard, {SimFaultKind::Delay, 1, 0, 600});
    ASSERT_TRUE(panels.WriteMacrosAndKeys(false));
    ASSERT_TRUE(panels.Writing());
    const DeviceReply busy =
        Call(WithFields(DeviceMethod::SetLighting, kKeyboardId, {{"brightness", wanted}}));
    EXPECT_EQ(busy.status, DeviceCallStatus::Busy) << busy.message;
    EXPECT_EQ(Call(Make(DeviceMethod::GetSettings, kKeyboardId)).status, DeviceCallStatus::Ok)
        << "reading goes on meanwhile";
    EXPECT_EQ(Call(Make(DeviceMethod::SetDpiStage, kMouseId, 2, 1600)).status, DeviceCallStatus::Ok)
        << "another device is not busy";
    m_sim.ClearFaults(SimUnit::Keyboard);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(keyboard.State().LightRecord().light, brightness);

    EXPECT_EQ(Call(WithFields(DeviceMethod::SetLighting, kKeyboardId, {{"brightness", wanted}})).status,
              DeviceCallStatus::Ok);
    EXPECT_EQ(keyboard.State().LightRecord().light, wanted);
}

TEST_F(DeviceApiTest, WhileTheLightingIsHandedOverLightingSettersAnswerLightingReleased) {
    ASSERT_TRUE(m_user.Click(*m_main->GetWindow(), "control_light_status"));
    ASSERT_FALSE(m_main->LightControl());
    const State before = Snapshot();
    const size_t writes = WritesSent();
    EXPECT_EQ(Call(WithFields(DeviceMethod::SetLighting, kPadId, {{"brightness", 2}})).status,
              DeviceCallStatus::LightingReleased);
    EXPECT_EQ(Call(Make(DeviceMethod::SetKeyColour, kKeyboardId, 64, 0xFF0000)).status,
              DeviceCallStatus::LightingReleased);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Difference(Snapshot(), before), "");
    EXPECT_EQ(WritesSent(), writes);
    EXPECT_EQ(Call(WithName(DeviceMethod::SetOption, kKeyboardId, "repeat-delay", 2)).status,
              DeviceCallStatus::Ok)
        << "settings other than the lighting go on";

    ASSERT_TRUE(m_user.Click(*m_main->GetWindow(), "control_light_status"));
    EXPECT_EQ(Call(WithFields(DeviceMethod::SetLighting, kPadId, {{"brightness", 2}})).status,
              DeviceCallStatus::Ok);
}

// The SettingsChanged signals of `id` among `signals`.
std::vector<BusDict> ChangesOf(const std::vector<DeviceSignal>& signals, const std::string& id) {
    std::vector<BusDict> changes;
    for (const DeviceSignal& signal : signals) {
        if (signal.member == "SettingsChanged" && signal.id == id) {
            changes.push_back(signal.changed);
        }
    }
    return changes;
}

TEST_F(DeviceApiTest, EveryChangeIsSignalledOnceWhoeverMadeIt) {
    Signals(); // what came before

    // A page control.
    ui::Control* slider = Reach(*Device(kPad), "deng_light_slider");
    ASSERT_NE(slider, nullptr);
    const int level = RangeOf(slider).Value() == 2 ? 3 : 2;
    ASSERT_TRUE(m_user.StepSlider(*slider, level));
    std::vector<BusDict> changes = ChangesOf(Signals(), kPadId);
    ASSERT_EQ(changes.size(), 1u);
    ASSERT_NE(FindBusValue(changes[0], "brightness"), nullptr);
    EXPECT_EQ(*FindBusValue(changes[0], "brightness"), BusValue(int32_t(level)));

    // A button on the device: the mouse's DPI button, seen by the next look.
    auto& mouse = dynamic_cast<CTolvanicMouseDevice&>(*Device(kMouse));
    const int stage = mouse.ActiveStage();
    ASSERT_TRUE(m_sim.PressKey(SimModel::Mouse, sim::SimKey::DpiNext));
    ASSERT_TRUE(Until([&] { return mouse.ActiveStage() != stage; }, 10));
    m_toolkit->AdvanceTime(DeviceApi::kTimerCheckMs);
    changes = ChangesOf(Signals(), kMouseId);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(*FindBusValue(changes[0], "active-stage"), BusValue(int32_t(mouse.ActiveStage() + 1)));

    // A call: its signal comes before its answer.
    ASSERT_EQ(
        Call(WithFields(DeviceMethod::SetLighting, kKeyboardId, {{"colour", std::string("#102030")}})).status,
        DeviceCallStatus::Ok);
    m_toolkit->AdvanceTime(DeviceApi::kTimerCheckMs);
    changes = ChangesOf(Signals(), kKeyboardId);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(*FindBusValue(changes[0], "colour"), BusValue(std::string("#102030")));

    // A device that goes.
    m_sim.Unplug(SimUnit::MousePad);
    ASSERT_TRUE(Until([&] { return m_api->ListDevices().size() == 4; }, 10));
    m_toolkit->AdvanceTime(DeviceApi::kTimerCheckMs);
    const std::vector<DeviceSignal> gone = Signals();
    EXPECT_EQ(
        std::count_if(gone.begin(), gone.end(),
                      [](const DeviceSignal& s) { return s.member == "DeviceRemoved" && s.id == kPadId; }),
        1);
}

// A call as any other program could make it, argument types and all: the
// name of the error it gets (empty for none).
std::string RawCallError(const std::string& address, const char* member,
                         const std::function<int(sd_bus_message*)>& append) {
    sd_bus* bus = nullptr;
    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    std::string name = "no call";
    if (sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address.c_str()) >= 0 &&
        sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0 &&
        sd_bus_message_new_method_call(bus, &call, kBusName, kBusObjectPath, kBusInterface, member) >= 0 &&
        append(call) >= 0) {
        sd_bus_call(bus, call, 20'000'000, &error, &reply);
        name = error.name != nullptr ? error.name : "";
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    sd_bus_flush_close_unref(bus);
    return name;
}

TEST_F(DeviceApiTest, ArgumentsOfTheWrongTypesGetTheNamedErrorAndChangeNothing) {
    const State before = Snapshot();
    const auto raw = [&](const char* member, std::function<int(sd_bus_message*)> append) {
        std::future<std::string> name =
            std::async(std::launch::async, [&] { return RawCallError(m_daemon.Address(), member, append); });
        Until([&] { return name.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 1);
        return name.get();
    };
    const std::string invalid = DeviceCallErrorName(DeviceCallStatus::InvalidArgs);
    EXPECT_EQ(raw("SetDpiStage",
                  [](sd_bus_message* m) { return sd_bus_message_append(m, "sss", kMouseId, "2", "1600"); }),
              invalid);
    EXPECT_EQ(raw("SetReportRate", [](sd_bus_message* m) { return sd_bus_message_append(m, "s", kMouseId); }),
              invalid)
        << "an argument missing";
    EXPECT_EQ(raw("SetLighting",
                  [](sd_bus_message* m) {
                      return sd_bus_message_append(m, "sa{sv}", kPadId, 1, "brightness", "d", 2.0);
                  }),
              invalid)
        << "a value of a type no setting takes";
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Difference(Snapshot(), before), "");
    const int32_t rate = std::get<int32_t>(*FindBusValue(*m_api->Settings(kMouseId), "report-rate"));
    EXPECT_EQ(raw("SetReportRate",
                  [&](sd_bus_message* m) {
                      return sd_bus_message_append(m, "si", kMouseId, rate == 500 ? 250 : 500);
                  }),
              "")
        << "the same member with the right types";
}

TEST_F(DeviceApiTest, ADeviceThatRefusesTheWriteIsReportedWithItsResult) {
    m_sim.InjectFault(SimUnit::Mouse, {SimFaultKind::StatusFF, 1, 0});
    const DeviceReply reply = Call(Make(DeviceMethod::SetReportRate, kMouseId, 250));
    m_sim.ClearFaults(SimUnit::Mouse);
    EXPECT_EQ(reply.status, DeviceCallStatus::DeviceFailed);
    EXPECT_NE(reply.message.find("report rate: the device answered"), std::string::npos) << reply.message;
}

TEST_F(DeviceApiTest, AFailedLightingWriteIsAnsweredAsAFailureOnceItEnded) {
    CTolvanicUSBDevice& keyboard = *Device(kKeyboard);
    const int wanted = keyboard.State().LightRecord().light == 1 ? 2 : 1;
    m_sim.InjectFault(SimUnit::Keyboard, {SimFaultKind::StatusFF, 1, 0});
    const DeviceReply reply =
        Call(WithFields(DeviceMethod::SetLighting, kKeyboardId, {{"brightness", wanted}}));
    m_sim.ClearFaults(SimUnit::Keyboard);
    EXPECT_EQ(reply.status, DeviceCallStatus::DeviceFailed);
    EXPECT_NE(reply.message.find("lighting: the device answered -102"), std::string::npos) << reply.message;
    EXPECT_TRUE(keyboard.Driver().WorkerIdle()) << "the answer came once the write had ended";
}

// SelectProfile answers once the profile's writes have ended, with the first
// that failed: the keyboard unplugged during its settings record, during its
// keys and macros, or not at all.
struct ProfileCut {
    const char* name;
    enum Where { Nowhere, InRecord, InKeys } where;
    DeviceCallStatus status;
    const char* names; // what the answer names
};

class ProfileCutTest : public DeviceApiTest, public ::testing::WithParamInterface<ProfileCut> {};

TEST_P(ProfileCutTest, TheAnswerWaitsForEveryWriteOfTheProfile) {
    // The page says a key write failed: the notice is closed as a person closes it.
    m_toolkit->SetModalDriver([&](ui::MemoryWindow& box) { m_user.Click(box, "confirm_btn"); });
    CTolvanicUSBDevice& keyboard = *Device(kKeyboard);
    DevicePanelSet& panels = *m_main->PanelsOf(keyboard);
    panels.ProfileBar()->AddProfile();
    ASSERT_TRUE(Settle());
    const auto framesToKeyboard = [&] {
        const std::vector<sim::SimFrame> frames = m_sim.Frames();
        return std::count_if(frames.begin(), frames.end(), [](const sim::SimFrame& f) {
            return f.unit == SimUnit::Keyboard && f.direction == sim::SimDirection::ToDevice;
        });
    };
    // The settings record alone, as a lighting setter writes it.
    const auto before = framesToKeyboard();
    const int wanted = keyboard.State().LightRecord().light == 1 ? 2 : 1;
    ASSERT_EQ(Call(WithFields(DeviceMethod::SetLighting, kKeyboardId, {{"brightness", wanted}})).status,
              DeviceCallStatus::Ok);
    const auto recordFrames = framesToKeyboard() - before;
    ASSERT_GT(recordFrames, 0);

    // The selection writes the settings record first, then the keys and macros.
    if (GetParam().where != ProfileCut::Nowhere) {
        const auto at = GetParam().where == ProfileCut::InRecord ? 2 : recordFrames + 3;
        m_sim.InjectFault(SimUnit::Keyboard, {SimFaultKind::Unplug, uint32_t(at), 1});
    }
    const DeviceReply reply = Call(WithName(DeviceMethod::SelectProfile, kKeyboardId, "profile2"));
    EXPECT_EQ(reply.status, GetParam().status) << reply.message;
    EXPECT_EQ(reply.message.rfind(GetParam().names, 0), 0u) << reply.message;
    EXPECT_TRUE(keyboard.Driver().WorkerIdle()) << "answered before the writes had ended";
}

INSTANTIATE_TEST_SUITE_P(Cuts, ProfileCutTest,
                         ::testing::Values(ProfileCut{"whole", ProfileCut::Nowhere, DeviceCallStatus::Ok, ""},
                                           ProfileCut{"in_the_record", ProfileCut::InRecord,
                                                      DeviceCallStatus::DeviceFailed, "profile settings:"},
                                           ProfileCut{"in_the_keys", ProfileCut::InKeys,
                                                      DeviceCallStatus::DeviceFailed,
                                                      "profile keys and macros:"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceApiTest, WhileADeviceWriteRunsOtherCallsAreAnswered) {
    CTolvanicUSBDevice& keyboard = *Device(kKeyboard);
    const int wanted = keyboard.State().LightRecord().light == 1 ? 2 : 1;
    // Every reply of the keyboard comes late: its settings write takes over a second.
    m_sim.InjectFault(SimUnit::Keyboard, {SimFaultKind::Delay, 1, 0, 300});
    std::future<DeviceReply> write = std::async(std::launch::async, [&] {
        DeviceBusClient client(m_daemon.Address());
        return client.Call(WithFields(DeviceMethod::SetLighting, kKeyboardId, {{"brightness", wanted}}),
                           20000);
    });
    ASSERT_TRUE(Until([&] { return !keyboard.Driver().WorkerIdle(); }, 1)) << "the write runs";
    const DeviceReply read = Call(Make(DeviceMethod::GetSettings, kKeyboardId));
    EXPECT_EQ(read.status, DeviceCallStatus::Ok);
    EXPECT_EQ(*FindBusValue(read.settings, "brightness"), BusValue(int32_t(wanted)))
        << "the state changed at once";
    EXPECT_EQ(write.wait_for(std::chrono::seconds(0)), std::future_status::timeout)
        << "the read was answered while the write still ran";
    Until([&] { return write.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 1);
    m_sim.ClearFaults(SimUnit::Keyboard);
    EXPECT_EQ(write.get().status, DeviceCallStatus::Ok);
}

// Another program's flood from one connection: every call sent at once, the
// answers (their error names, "" for success) collected as they come.
class Flood {
public:
    Flood(const std::string& address, std::vector<DeviceCall> calls) : m_calls(std::move(calls)) {
        m_thread = std::thread([this, address] { Run(address); });
    }
    ~Flood() { m_thread.join(); }
    size_t Count(const std::string& error) const {
        std::lock_guard lock(m_mutex);
        return size_t(std::count(m_answers.begin(), m_answers.end(), error));
    }
    size_t Answered() const {
        std::lock_guard lock(m_mutex);
        return m_answers.size();
    }

private:
    static int OnReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
        auto* self = static_cast<Flood*>(userdata);
        const sd_bus_error* error = sd_bus_message_get_error(reply);
        std::lock_guard lock(self->m_mutex);
        self->m_answers.push_back(error != nullptr && error->name != nullptr ? error->name : "");
        return 0;
    }
    void Run(const std::string& address) {
        sd_bus* bus = nullptr;
        if (sd_bus_new(&bus) < 0 || sd_bus_set_address(bus, address.c_str()) < 0 ||
            sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
            sd_bus_unref(bus);
            return;
        }
        for (const DeviceCall& call : m_calls) {
            sd_bus_message* m = nullptr;
            sd_bus_message_new_method_call(bus, &m, kBusName, kBusObjectPath, kBusInterface,
                                           DeviceMethodName(call.method));
            sd_bus_message_append(m, "s", call.id.c_str());
            sd_bus_message_open_container(m, 'a', "{sv}");
            for (const auto& [key, value] : call.fields) {
                sd_bus_message_append(m, "{sv}", key.c_str(), "i", std::get<int32_t>(value));
            }
            sd_bus_message_close_container(m);
            sd_bus_call_async(bus, nullptr, m, &OnReply, this, 30'000'000);
            sd_bus_message_unref(m);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (Answered() < m_calls.size() && std::chrono::steady_clock::now() < deadline) {
            if (sd_bus_process(bus, nullptr) == 0) {
                sd_bus_wait(bus, 100'000);
            }
        }
        sd_bus_flush_close_unref(bus);
    }

    std::vector<DeviceCall> m_calls;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_answers;
    std::thread m_thread;
};

// One program floods one keyboard setting while the window's thread is held
// up: the calls beyond its bound answer Busy at once, another program's read
// is answered meanwhile, and the calls taken are written as one, the latest.
TEST_F(DeviceApiTest, AFloodDelaysNoReadAndIsWrittenOnceForItsLatestValue) {
    constexpr size_t kFlood = 60;
    const size_t taken = DeviceCallQueue::kMaxWaitingPerCaller;
    CTolvanicUSBDevice& keyboard = *Device(kKeyboard);
    ASSERT_TRUE(Settle());
    std::vector<DeviceCall> calls;
    for (size_t i = 0; i < kFlood; ++i) {
        calls.push_back(WithFields(DeviceMethod::SetLighting, kKeyboardId, {{"brightness", int32_t(i % 4)}}));
    }
    const int latest = int((taken - 1) % 4);
    ASSERT_NE(keyboard.State().LightRecord().light, latest);
    const size_t writes = WritesSent();
    Flood flood(m_daemon.Address(), calls);
    // The window's thread runs nothing from here until the read was answered.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (flood.Count("org.velkor.VELKOR01.Error.Busy") < kFlood - taken &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(flood.Count("org.velkor.VELKOR01.Error.Busy"), kFlood - taken) << "the calls beyond the bound";
    std::future<DeviceReply> read = std::async(std::launch::async, [&] {
        DeviceBusClient client(m_daemon.Address());
        return client.Call(Make(DeviceMethod::GetSettings, kKeyboardId), 5000);
    });
    EXPECT_EQ(read.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "the read waited for the window's thread";
    ASSERT_TRUE(Until([&] { return flood.Answered() == kFlood; }, 1));
    EXPECT_EQ(read.get().status, DeviceCallStatus::Ok);
    EXPECT_EQ(flood.Count(""), taken);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(keyboard.State().LightRecord().light, latest);
    const DeviceReply after = Call(Make(DeviceMethod::GetSettings, kKeyboardId));
    EXPECT_EQ(*FindBusValue(after.settings, "brightness"), BusValue(int32_t(latest)));
    // One lighting write (the settings record) of the keyboard, not sixteen.
    const size_t flooded = WritesSent() - writes;
    ASSERT_TRUE(Settle());
    EXPECT_EQ(
        Call(WithFields(DeviceMethod::SetLighting, kKeyboardId, {{"brightness", (latest + 1) % 4}})).status,
        DeviceCallStatus::Ok);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(flooded, WritesSent() - writes - flooded) << "as many frames as one more call";
}

} // namespace
} // namespace velkor::test
