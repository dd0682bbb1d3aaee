// Macros and key tables into the simulated keyboard and mouse, by cable and
// through the receiver, as the main window writes them: what every macro key
// then plays, the frames it takes, and what a fault half-way leaves behind.
// The expected events are worked out here from the events written into the
// files, and the simulated firmware reads its memory with its own reader.
#include "MainWndFixture.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "devices/TolvanicMouseDevice.h"
#include "platform/JsonFileHelper.h"
#include "sim/SimBackend.h"
#include "ui/FamilyAccess.h"
#include "ui/memory/MemoryWindow.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace velkor::test {
namespace {

using sim::SimEvent;
using sim::SimFaultKind;
using sim::SimMemory;
using sim::SimModel;
using sim::SimUnit;
using ui::test::RangeOf;

constexpr uint8_t kWriteKeyTable = 0x09;
constexpr uint8_t kWriteMacroData = 0x15;

struct Target {
    const char* name;
    SimUnit unit;
    SimModel model;
    int row;
    bool keyboard;
};
constexpr Target kKeyboardCable{"keyboard_cable", SimUnit::Keyboard, SimModel::Keyboard, 1, true};
constexpr Target kKeyboardReceiver{"keyboard_receiver", SimUnit::KeyboardReceiver, SimModel::Keyboard, 1,
                                   true};
constexpr Target kMouseCable{"mouse_cable", SimUnit::Mouse, SimModel::Mouse, 0, false};
constexpr Target kMouseReceiver{"mouse_receiver", SimUnit::MouseReceiver, SimModel::Mouse, 0, false};

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class Texts final : public ui::TextProvider {
public:
    std::optional<std::string> Text(std::string_view key) const override {
        return key == "message_text_16" ? std::optional<std::string>("%d more events") : std::nullopt;
    }
};

std::string ProfilePath(CTolvanicUSBDevice& device) {
    return Capability<ProfileIo>(device)->GetDeviceProfilePath();
}

class MacroWriteTest : public MainWndFixture {
protected:
    MacroWriteTest() {
        m_folder.AddDefaultData();
        m_toolkit->SetModalDriver([this](ui::MemoryWindow& box) { m_user.Click(box, "confirm_btn"); });
    }

    CTolvanicUSBDevice* Attach(const Target& target) {
        m_target = target;
        m_sim.Plug(target.unit);
        if (!Start()) {
            return nullptr;
        }
        CTolvanicUSBDevice* device = nullptr;
        const bool ready = Until(
            [&] {
                device =
                    m_main->Discovery() != nullptr ? m_main->Discovery()->DeviceOfModel(target.row) : nullptr;
                return device != nullptr && !Positions(*device).empty() &&
                       device->Driver().LightThreadRunning();
            },
            10);
        return ready ? device : nullptr;
    }
    // Key number -> key position of the keys the device has.
    static std::vector<std::pair<size_t, uint8_t>> Positions(CTolvanicUSBDevice& device) {
        std::vector<std::pair<size_t, uint8_t>> keys;
        if (auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(&device)) {
            for (size_t k = 0; k < kScreenKeyCount; ++k) {
                if (keyboard->KeyMaps().position[k] != 255 && keyboard->KeyPositions() > 0) {
                    keys.emplace_back(k, keyboard->KeyMaps().position[k]);
                }
            }
        } else if (auto* mouse = dynamic_cast<CTolvanicMouseDevice*>(&device)) {
            for (size_t b = 0; b < mouse->ButtonPositions().size(); ++b) {
                if (mouse->ButtonPositions()[b] != CTolvanicMouseDevice::kNoButtonPosition) {
                    keys.emplace_back(b, mouse->ButtonPositions()[b]);
                }
            }
        }
        return keys;
    }
    // Macro i: `sizes[i]` events (Guid "g<i>"); event e of it is a key event
    // with a distinct delay, so that every record differs.
    void MakeLibrary(CTolvanicUSBDevice& device, const std::vector<size_t>& sizes) {
        Json::Value index;
        index["MacroInfo"] = Json::Value(Json::arrayValue);
        m_expected.clear();
        for (size_t i = 0; i < sizes.size(); ++i) {
            const std::string guid = "g" + std::to_string(i);
            index["MacroInfo"][Json::ArrayIndex(i)]["MacroName"] = "m" + std::to_string(i);
            index["MacroInfo"][Json::ArrayIndex(i)]["Guid"] = guid;
            Json::Value document;
            document["Events"] = Json::Value(Json::arrayValue);
            std::vector<SimEvent> expected;
            for (size_t e = 0; e < sizes[i]; ++e) {
                const bool down = e % 2 == 0;
                const int delay = int(i * 1000 + e + m_delayBase);
                Json::Value event;
                event["Action"] = down ? "down" : "up";
                event["Type"] = 10;
                event["Button"] = int(4 + i);
                event["Delay"] = std::to_string(delay);
                document["Events"].append(event);
                expected.push_back({uint8_t(delay & 0xFF), uint8_t(delay >> 8), uint8_t(down ? 0x8A : 0x0A),
                                    uint8_t(4 + i)});
            }
            ASSERT_TRUE(m_json.WriteJsonFile(document, device.Paths().UserDataFolder() + guid + ".mac"));
            m_expected.push_back(expected);
            m_sizes = sizes;
        }
        ASSERT_TRUE(m_json.WriteJsonFile(index, device.Paths().UserDataFolder() + "macro.config"));
    }
    // Gives key `k` (a key number) the function, in the profile file too.
    void Assign(CTolvanicUSBDevice& device, const std::vector<std::pair<size_t, KeyFunction>>& functions) {
        auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(&device);
        auto* mouse = dynamic_cast<CTolvanicMouseDevice*>(&device);
        CBasicProfiledata& profile = keyboard != nullptr
                                         ? static_cast<CBasicProfiledata&>(keyboard->Profile())
                                         : static_cast<CBasicProfiledata&>(mouse->Profile());
        std::vector<KeyListEntry> keys = profile.ReadKeyList();
        for (const auto& [key, function] : functions) {
            ASSERT_LT(key, keys.size());
            keys[key].current = function;
        }
        profile.WriteKeyList(keys);
        ASSERT_TRUE(Capability<ProfileIo>(device)->SaveDeviceProfile());
        m_assigned = functions;
    }
    // The window's write, waited for by running only its queue (no timers,
    // so that no other frame reaches the device meanwhile).
    int WriteAll(CTolvanicUSBDevice& device, bool save = true) {
        int result = 99;
        bool done = false;
        EXPECT_TRUE(m_main->PanelsOf(device)->WriteMacrosAndKeys(save, [&](int r) {
            result = r;
            done = true;
        }));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done && std::chrono::steady_clock::now() < deadline) {
            m_toolkit->ProcessPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(done);
        return result;
    }
    // What key `key` must play when its function is `function` and its macro whole in the device.
    std::vector<SimEvent> Expected(const KeyFunction& function) const {
        std::vector<SimEvent> events;
        const size_t times = function.category == KeyCategory::Macro ? 1 : function.paramB;
        for (size_t t = 0; t < times; ++t) {
            const auto& macro = m_expected[function.paramA];
            events.insert(events.end(), macro.begin(), macro.end());
        }
        return events;
    }
    ui::Control& On(CTolvanicUSBDevice& device, std::string_view name) const {
        ui::Control* control = device.Presenter().Page()->FindChild(name);
        EXPECT_NE(control, nullptr) << name;
        return *control;
    }
    std::vector<uint8_t> KeyTable() const { return m_sim.Memory(m_target.model, SimMemory::KeyTable); }
    size_t SentCount(uint8_t command) const {
        size_t count = 0;
        for (const sim::SimFrame& frame : m_sim.Frames()) {
            count += frame.direction == sim::SimDirection::ToDevice && frame.unit == m_target.unit &&
                     frame.bytes.size() > 8 && frame.bytes[3] == command;
        }
        return count;
    }
    // Every position that holds a macro function plays a whole record equal
    // to its macro, as the library is now or as it was (`before`).
    void ExpectNoKeyPlaysAPartialRecord(CTolvanicUSBDevice& device,
                                        const std::vector<std::vector<SimEvent>>& before) {
        const std::vector<uint8_t> table = KeyTable();
        for (const auto& [key, position] : Positions(device)) {
            const uint8_t category = table[position * 3];
            if (category != 0x70 && category != 0x71) {
                continue;
            }
            const auto assigned = std::find_if(m_assigned.begin(), m_assigned.end(),
                                               [&](const auto& entry) { return entry.first == key; });
            ASSERT_NE(assigned, m_assigned.end()) << "key " << key << " plays a macro it was never given";
            const std::vector<SimEvent> played = m_sim.PlayKey(m_target.model, position);
            const std::vector<SimEvent> now = Expected(assigned->second);
            const auto library = m_expected;
            m_expected = before;
            const std::vector<SimEvent> then = Expected(assigned->second);
            m_expected = library;
            EXPECT_TRUE(!played.empty() && (played == now || played == then)) << "key " << key;
        }
    }

    Target m_target{kKeyboardCable};
    CJsonFileHelper m_json;
    std::vector<std::vector<SimEvent>> m_expected;
    std::vector<size_t> m_sizes;
    std::vector<std::pair<size_t, KeyFunction>> m_assigned;
    int m_delayBase = 0;
    Texts m_texts;
};

class MacroRoundTrip : public MacroWriteTest, public ::testing::WithParamInterface<Target> {};

TEST_P(MacroRoundTrip, EveryMacroKeyPlaysItsFileAndTheProfileFileStaysAsItWas) {
    CTolvanicUSBDevice* device = Attach(GetParam());
    ASSERT_NE(device, nullptr);
    const auto keys = Positions(*device);
    ASSERT_GE(keys.size(), 4u);
    MakeLibrary(*device, {3, 0, 5, 2});
    // Library macro 2 on two keys, macro 0 repeated, macro 3 on a key whose index
    // then goes stale, macro 1 (no events) nowhere.
    Assign(*device, {{keys[0].first, *MakeMacro(2, 1)},
                     {keys[1].first, *MakeMacroRepeat(0, 3)},
                     {keys[3].first, *MakeMacro(2, 0)},
                     {keys[2].first, *MakeMacro(7, 0)}});
    const std::string profileBefore = FileBytes(ProfilePath(*device));
    m_sim.ClearFrames();
    EXPECT_EQ(WriteAll(*device), 0);
    EXPECT_TRUE(Notices().empty());
    EXPECT_EQ(FileBytes(ProfilePath(*device)), profileBefore) << "library indexes stay in the profile";

    for (const auto& [key, function] : m_assigned) {
        const uint8_t position =
            std::find_if(keys.begin(), keys.end(), [&](auto& k) { return k.first == key; })->second;
        if (function.paramA >= m_expected.size()) {
            EXPECT_TRUE(m_sim.PlayKey(GetParam().model, position).empty()) << "a stale key plays nothing";
            continue;
        }
        EXPECT_EQ(m_sim.PlayKey(GetParam().model, position), Expected(function)) << "key " << key;
    }
    const auto records = m_sim.MacroRecords(GetParam().model);
    ASSERT_TRUE(records);
    EXPECT_EQ(records->size(), 2u) << "macros 2 and 0, in first-use order";
    const size_t block = 16 + 6 * 2 + 4 * (5 + 3);
    const size_t chunk = GetParam().unit == SimUnit::Keyboard || GetParam().unit == SimUnit::Mouse ? 56 : 24;
    EXPECT_EQ(SentCount(kWriteMacroData), (block + chunk - 1) / chunk);
    EXPECT_FALSE(m_sim.InSession(GetParam().model));

    // After a replug every key is found again, the macro keys at what they were sent.
    m_sim.Unplug(GetParam().unit);
    ASSERT_TRUE(Until([&] { return !device->Driver().TransportOpen(); }));
    m_sim.Plug(GetParam().unit);
    ASSERT_TRUE(Until([&] { return device->Driver().TransportOpen() && device->State().SettingsRead(); }));
    ASSERT_TRUE(Drained(*device)); // the read at attach has ended
    if (auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(device)) {
        ASSERT_TRUE(keyboard->ReadLayout());
    } else {
        ASSERT_TRUE(dynamic_cast<CTolvanicMouseDevice*>(device)->ReadLayout());
    }
    EXPECT_EQ(Positions(*device), keys);

    // Choosing the profile again sends the same, without saving it.
    m_sim.ClearFrames();
    m_main->PanelsOf(*device)->ProfileSelected(device->State().ProfileIdentifier());
    EXPECT_TRUE(Until([&] { return !m_main->PanelsOf(*device)->Writing(); }, 1));
    EXPECT_EQ(SentCount(kWriteMacroData), (block + chunk - 1) / chunk);
    EXPECT_EQ(m_sim.MacroRecords(GetParam().model), records);
    EXPECT_EQ(FileBytes(ProfilePath(*device)), profileBefore);
}

INSTANTIATE_TEST_SUITE_P(Devices, MacroRoundTrip,
                         ::testing::Values(kKeyboardCable, kKeyboardReceiver, kMouseCable, kMouseReceiver),
                         [](const auto& info) { return std::string(info.param.name); });

enum class Stage { GuardTable, FirstBlockChunk, MiddleBlockChunk, FinalTable };
struct FaultCase {
    const char* name;
    SimFaultKind kind;
    Stage stage;
};

class MacroWriteFault : public MacroWriteTest, public ::testing::WithParamInterface<FaultCase> {};

// Through the receiver (the most chunks): a device holding an older block and
// its key table; the new write fails at the stage.
TEST_P(MacroWriteFault, NoKeyEverPlaysARecordThatIsNotWhole) {
    CTolvanicUSBDevice* device = Attach(kKeyboardReceiver);
    ASSERT_NE(device, nullptr);
    const auto keys = Positions(*device);
    MakeLibrary(*device, {6, 9});
    Assign(*device, {{keys[0].first, *MakeMacro(0, 0)}, {keys[1].first, *MakeMacroRepeat(1, 2)}});
    ASSERT_EQ(WriteAll(*device), 0);
    const auto before = m_expected;
    m_delayBase = 500; // the new library: other events, other sizes
    MakeLibrary(*device, {9, 6});

    // Frames from here: information block (2), BeginSession, guard table,
    // block, final table, EndSession.
    const size_t table = (126 * 3 + 23) / 24;
    const size_t block = (16 + 12 + 4 * 15 + 23) / 24;
    const size_t guard = 4;
    const size_t firstBlock = guard + table;
    const size_t at = GetParam().stage == Stage::GuardTable         ? guard + 2
                      : GetParam().stage == Stage::FirstBlockChunk  ? firstBlock
                      : GetParam().stage == Stage::MiddleBlockChunk ? firstBlock + block / 2
                                                                    : firstBlock + block + table / 2;
    m_sim.InjectFault(SimUnit::KeyboardReceiver, {GetParam().kind, uint32_t(at), 1, 0});
    EXPECT_EQ(WriteAll(*device), -1);
    EXPECT_EQ(Notices(), std::vector<std::string>{"message_text_7"}) << "once";
    ExpectNoKeyPlaysAPartialRecord(*device, before);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, MacroWriteFault,
    ::testing::Values(FaultCase{"failed_write_guard", SimFaultKind::FailedWrite, Stage::GuardTable},
                      FaultCase{"fe_guard", SimFaultKind::StatusFE, Stage::GuardTable},
                      FaultCase{"unplug_guard", SimFaultKind::Unplug, Stage::GuardTable},
                      FaultCase{"failed_write_block_1", SimFaultKind::FailedWrite, Stage::FirstBlockChunk},
                      FaultCase{"fe_block_middle", SimFaultKind::StatusFE, Stage::MiddleBlockChunk},
                      FaultCase{"unplug_block_middle", SimFaultKind::Unplug, Stage::MiddleBlockChunk},
                      FaultCase{"failed_write_final", SimFaultKind::FailedWrite, Stage::FinalTable},
                      FaultCase{"fe_final", SimFaultKind::StatusFE, Stage::FinalTable},
                      FaultCase{"unplug_final", SimFaultKind::Unplug, Stage::FinalTable}),
    [](const auto& info) { return std::string(info.param.name); });

// A key assignment alone renumbers macro keys against the block the device
// holds; when the keys now use another block (here macro 0 alone, where the
// device holds 1 then 0), numbering them against it would make a key play
// another macro's record. The keys then keep their default function until
// the macros are written.
TEST_F(MacroWriteTest, KeysAloneNeverPointIntoABlockOtherThanTheOneInTheDevice) {
    CTolvanicUSBDevice* device = Attach(kKeyboardCable);
    ASSERT_NE(device, nullptr);
    const auto keys = Positions(*device);
    MakeLibrary(*device, {3, 5});
    Assign(*device, {{keys[0].first, *MakeMacro(1, 0)}, {keys[1].first, *MakeMacro(0, 0)}});
    ASSERT_EQ(WriteAll(*device), 0);
    ASSERT_EQ(m_sim.PlayKey(SimModel::Keyboard, keys[0].second), m_expected[1]);

    auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(device);
    std::vector<KeyListEntry> list = keyboard->Profile().ReadKeyList();
    list[keys[0].first].current = *MakeMacro(0, 0);
    list[keys[1].first].current = list[keys[1].first].defaultFunction;
    EXPECT_EQ(Capability<KeyWriter>(*device)->WriteKeyAssignments(0, list), 1);
    const std::vector<SimEvent> played = m_sim.PlayKey(SimModel::Keyboard, keys[0].second);
    EXPECT_NE(played, m_expected[1]) << "the key plays the record of the macro it no longer has";
    EXPECT_TRUE(played.empty() || played == m_expected[0]);
}

// 1 ms for every reply: a thousand frames take seconds, and the window keeps working meanwhile.
TEST_F(MacroWriteTest, ALongWriteLeavesTheWindowRunningAndItsProgressReachesTheEnd) {
    m_sim.SetMacroSlots(SimModel::Keyboard, 200);
    CTolvanicUSBDevice* device = Attach(kKeyboardReceiver);
    ASSERT_NE(device, nullptr);
    MakeLibrary(*device, {2000, 2000, 1800});
    const auto keys = Positions(*device);
    Assign(*device, {{keys[0].first, *MakeMacro(0, 0)},
                     {keys[1].first, *MakeMacro(1, 0)},
                     {keys[2].first, *MakeMacro(2, 0)}});
    m_sim.InjectFault(SimUnit::KeyboardReceiver, {SimFaultKind::Delay, 1, 0, 1});
    DevicePanelSet& panels = *m_main->PanelsOf(*device);
    bool done = false;
    int result = 99;
    ASSERT_TRUE(panels.WriteMacrosAndKeys(true, [&](int r) {
        result = r;
        done = true;
    }));
    EXPECT_TRUE(panels.Writing());
    EXPECT_FALSE(On(*device, "device_profile_combo").IsEnabled()) << "no second write meanwhile";
    ui::Control& bar = On(*device, "macro_write_progress");
    EXPECT_TRUE(bar.IsVisible()) << "the page shows the write's progress";
    int tasksRun = 0;
    bool midway = false;
    bool barMidway = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        m_toolkit->GetDispatcher().Post([&] { ++tasksRun; });
        m_toolkit->ProcessPending();
        const auto progress = panels.LastWriteProgress();
        midway = midway || (progress.sent > 0 && progress.sent < progress.planned);
        barMidway = barMidway || (RangeOf(bar).Value() > 0 && RangeOf(bar).Value() < int(progress.planned));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(done);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(midway) << "progress arrived while the frames went out";
    EXPECT_TRUE(barMidway) << "and the bar showed it";
    EXPECT_FALSE(bar.IsVisible()) << "the bar goes with the write";
    EXPECT_GT(tasksRun, 20);
    EXPECT_GE(panels.LastWriteProgress().planned, 1000u);
    EXPECT_EQ(panels.LastWriteProgress().sent, panels.LastWriteProgress().planned);
    EXPECT_TRUE(On(*device, "device_profile_combo").IsEnabled());
    EXPECT_EQ(m_sim.PlayKey(SimModel::Keyboard, keys[1].second), m_expected[1]);
}

TEST_F(MacroWriteTest, AWirelessMouseThatIsOffGetsNothingAfterTheLinkQuestion) {
    CTolvanicUSBDevice* device = Attach(kMouseReceiver);
    ASSERT_NE(device, nullptr);
    MakeLibrary(*device, {2});
    Assign(*device, {{Positions(*device)[0].first, *MakeMacro(0, 0)}});
    m_sim.SetWireless(SimModel::Mouse, false);
    m_sim.ClearFrames();
    EXPECT_EQ(WriteAll(*device), -1);
    EXPECT_EQ(Notices(), std::vector<std::string>{"message_text_7"});
    for (const sim::SimFrame& frame : m_sim.Frames()) {
        if (frame.direction == sim::SimDirection::ToDevice && frame.bytes.size() > 3) {
            EXPECT_EQ(frame.bytes[3], 0xAA) << "only the link question goes out";
        }
    }
}

// A storm of failing writes (the wireless mouse is off) whose results come
// while a box runs: one notice, shown without waiting and kept for the next
// result; never a box run inside another.
TEST_F(MacroWriteTest, AStormOfFailedWritesShowsOneNoticeAndNeverABoxInsideAnother) {
    CTolvanicUSBDevice* device = Attach(kMouseReceiver);
    ASSERT_NE(device, nullptr);
    MakeLibrary(*device, {2});
    Assign(*device, {{Positions(*device)[0].first, *MakeMacro(0, 0)}});
    m_sim.SetWireless(SimModel::Mouse, false);
    int running = 0;
    int deepest = 0;
    m_toolkit->SetModalDriver([&](ui::MemoryWindow& box) {
        deepest = std::max(deepest, ++running);
        // The user reads it while the storm goes on, then closes it.
        m_toolkit->GetDispatcher().Post([&] {
            m_user.Click(box, "confirm_btn");
            --running;
        });
    });
    DevicePanelSet& panels = *m_main->PanelsOf(*device);
    constexpr int kStorm = 40;
    int done = 0;
    for (int i = 0; i < kStorm; ++i) {
        ASSERT_TRUE(panels.WriteMacrosAndKeys(false, [&](int) { ++done; }));
    }
    ASSERT_TRUE(Until([&] { return done == kStorm; }, 0));
    EXPECT_EQ(deepest, 0) << "a write's result ran a box (" << deepest << " inside each other)";
    EXPECT_EQ(Notices(), std::vector<std::string>{"message_text_7"});
    std::vector<ui::MemoryWindow*> boxes;
    for (ui::MemoryWindow* window : m_toolkit->Windows()) {
        if (window->ClassName() == "MsgWnd") {
            boxes.push_back(window);
        }
    }
    ASSERT_EQ(boxes.size(), 1u) << "one box for the kind, kept";

    // Closed by the user, the next failure shows it again.
    ASSERT_TRUE(m_user.Click(*boxes[0], "confirm_btn"));
    EXPECT_TRUE(Notices().empty());
    EXPECT_EQ(WriteAll(*device, false), -1);
    EXPECT_EQ(Notices(), std::vector<std::string>{"message_text_7"});
}

TEST_F(MacroWriteTest, AMacroBeyondTheMemoryIsRefusedWithItsExactCountAndNothingSent) {
    m_toolkit->SetTextProvider(&m_texts);
    CTolvanicUSBDevice* device = Attach(kKeyboardCable);
    ASSERT_NE(device, nullptr);
    MakeLibrary(*device, {4000});
    Assign(*device, {{Positions(*device)[0].first, *MakeMacro(0, 0)}});
    const std::string profile = FileBytes(ProfilePath(*device));
    m_sim.ClearFrames();
    const int excess = int((16 + 6 + 4 * 4000 - 2560 + 3) / 4);
    EXPECT_EQ(WriteAll(*device), excess);
    const std::vector<std::string> notices = Notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(std::to_string(excess)), std::string::npos) << notices[0];
    EXPECT_EQ(SentCount(kWriteMacroData) + SentCount(kWriteKeyTable), 0u);
    EXPECT_EQ(FileBytes(ProfilePath(*device)), profile);
}

TEST_F(MacroWriteTest, TooManyKeyPositionsAreRefusedBeforeAnythingIsSent) {
    const uint8_t positions = 171;
    m_sim.WriteMemory(SimModel::Keyboard, SimMemory::DeviceInfo, 5, std::span(&positions, 1));
    m_sim.Plug(SimUnit::Keyboard);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Until([&] { return m_main->Discovery() && m_main->Discovery()->DeviceOfModel(1); }, 10));
    CTolvanicUSBDevice* device = m_main->Discovery()->DeviceOfModel(1);
    ASSERT_TRUE(Until([&] { return device->Driver().LightThreadRunning(); }, 10));
    m_sim.ClearFrames();
    EXPECT_EQ(WriteAll(*device), -1);
    auto* keys = Capability<KeyWriter>(*device);
    EXPECT_EQ(keys->WriteKeyAssignments(0, std::vector<KeyListEntry>(170)), 0);
    EXPECT_EQ(SentCount(kWriteMacroData) + SentCount(kWriteKeyTable), 0u);
}

} // namespace
} // namespace velkor::test
