// Scenario files: parsing, refusing damaged ones, and playing them.
#include "sim/SimScenario.h"
#include "sim/SimBackend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

namespace velkor::sim {
namespace {

class ManualClock final : public SimClock {
public:
    uint64_t NowMs() override { return m_now.load(); }
    void Set(uint64_t ms) { m_now = ms; }

private:
    std::atomic<uint64_t> m_now{0};
};

std::string Steps(const std::string& body) {
    return "{\"steps\": [" + body + "]}";
}

TEST(SimScenarioParse, ReadsEveryKindOfStepInTimeOrder) {
    const std::string text = Steps(R"(
        {"at": 900, "action": "event", "device": "mouse-receiver", "code": "0x0401"},
        {"at": 0, "action": "plug", "device": "all", "comment": "start with everything"},
        {"at": 900, "action": "event", "device": "mouse", "code": 4355},
        {"at": 200, "action": "wireless", "device": "keyboard", "on": false},
        {"at": 300, "action": "battery", "device": "mouse", "level": 15, "charge": 2},
        {"at": 400, "action": "press", "device": "keyboard-511d", "key": "profile-select", "value": 3},
        {"at": 500, "action": "fault", "device": "headset", "fault": "delay", "frame": 2, "frames": 0, "delay": 40},
        {"at": 600, "action": "clear-faults", "device": "headset"},
        {"at": 700, "action": "unplug", "device": "keyboard-receiver"}
    )");
    SimScenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario(text, scenario, error)) << error;
    ASSERT_EQ(scenario.steps.size(), 9u);
    EXPECT_EQ(scenario.steps[0].action, SimStepAction::PlugAll);
    EXPECT_EQ(scenario.steps[1].action, SimStepAction::Wireless);
    EXPECT_EQ(scenario.steps[1].model, SimModel::Keyboard);
    EXPECT_FALSE(scenario.steps[1].on);
    EXPECT_EQ(scenario.steps[2].level, 15);
    EXPECT_EQ(scenario.steps[3].key, SimKey::ProfileSelect);
    EXPECT_EQ(scenario.steps[3].value, 3);
    EXPECT_EQ(scenario.steps[4].fault.kind, SimFaultKind::Delay);
    EXPECT_EQ(scenario.steps[4].fault.atFrame, 2u);
    EXPECT_EQ(scenario.steps[4].fault.frames, 0u);
    EXPECT_EQ(scenario.steps[4].fault.delayMs, 40u);
    EXPECT_EQ(scenario.steps[6].unit, SimUnit::KeyboardReceiver);
    // Equal times keep the file's order.
    EXPECT_EQ(scenario.steps[7].unit, SimUnit::MouseReceiver);
    EXPECT_EQ(scenario.steps[7].code, 0x0401);
    EXPECT_EQ(scenario.steps[8].code, 4355);
}

TEST(SimScenarioParse, RefusesDamagedScenariosWithAReason) {
    const std::pair<std::string, std::string> cases[] = {
        {"not json", "not valid JSON"},
        {"[1, 2]", "\"steps\" array"},
        {"{\"steps\": {}}", "\"steps\" array"},
        {"{\"steps\": []} trailing", "not valid JSON"},
        {"{\"steps\": [], \"steps\": []}", "not valid JSON"},
        {Steps("17"), "step 0: is not an object"},
        {Steps(R"({"at": 0, "action": "explode", "device": "mouse"})"), "unknown action"},
        {Steps(R"({"at": 0, "action": "plug", "device": "toaster"})"), "unknown device"},
        {Steps(R"({"at": 0, "action": "wireless", "device": "mouse-receiver", "on": true})"),
         "unknown device"},
        {Steps(R"({"at": 0, "action": "plug", "device": "mouse", "colour": 1})"),
         "unknown member \"colour\""},
        {Steps(R"({"at": -5, "action": "plug", "device": "mouse"})"), "\"at\""},
        {Steps(R"({"at": 1.5, "action": "plug", "device": "mouse"})"), "\"at\""},
        {Steps(R"({"at": 999999999999, "action": "plug", "device": "mouse"})"), "\"at\""},
        {Steps(R"({"action": "plug", "device": "mouse"})"), "\"at\" is missing"},
        {Steps(R"({"at": 0, "action": "event", "device": "mouse", "code": "0x1FFFF"})"), "16-bit"},
        {Steps(R"({"at": 0, "action": "event", "device": "mouse", "code": "0x"})"), "16-bit"},
        {Steps(R"({"at": 0, "action": "event", "device": "mouse", "code": "12ab"})"), "16-bit"},
        {Steps(R"({"at": 0, "action": "battery", "device": "mouse", "level": 101, "charge": 0})"),
         "\"level\""},
        {Steps(R"({"at": 0, "action": "wireless", "device": "mouse", "on": 1})"), "true or false"},
        {Steps(R"({"at": 0, "action": "press", "device": "mouse", "key": "jump"})"), "unknown key"},
        {Steps(R"({"at": 0, "action": "fault", "device": "mouse", "fault": "status-fe", "frame": 0})"),
         "\"frame\""},
        {Steps(R"({"at": 0, "action": "fault", "device": "mouse", "fault": "fire"})"), "unknown fault"},
        {Steps(R"({"at": 0, "action": "fault", "device": "mouse", "fault": "delay", "delay": 70000})"),
         "\"delay\""},
        {"{\"steps\": [[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]}", "not valid JSON"},
    };
    for (const auto& [text, reason] : cases) {
        SimScenario scenario;
        scenario.steps.resize(3);
        std::string error;
        EXPECT_FALSE(ParseScenario(text, scenario, error)) << text;
        EXPECT_NE(error.find(reason), std::string::npos) << text << " -> " << error;
        EXPECT_TRUE(scenario.steps.empty());
    }
}

TEST(SimScenarioParse, RefusesOversizedScenarios) {
    std::string many = "{\"at\": 0, \"action\": \"plug\", \"device\": \"mouse\"}";
    std::string body = many;
    for (size_t i = 0; i < kMaxScenarioSteps; ++i) {
        body += "," + many;
    }
    SimScenario scenario;
    std::string error;
    EXPECT_FALSE(ParseScenario(Steps(body), scenario, error));
    EXPECT_NE(error.find("more than"), std::string::npos) << error;

    std::string huge = Steps("") + std::string(kMaxScenarioBytes, ' ');
    EXPECT_FALSE(ParseScenario(huge, scenario, error));
    EXPECT_NE(error.find("1 MiB"), std::string::npos);
}

TEST(SimScenarioFile, TheShippedExampleIsValid) {
    const std::string file =
        (std::filesystem::path(__FILE__).parent_path() / "../../src/sim/scenarios/arrive-and-leave.json")
            .string();
    SimScenario scenario;
    std::string error;
    ASSERT_TRUE(LoadScenarioFile(file, scenario, error)) << error;
    SimBackend backend(1);
    SimScenarioPlayer player(backend, scenario);
    player.Advance(20000);
    EXPECT_TRUE(backend.IsPlugged(SimUnit::MouseReceiver));
    EXPECT_FALSE(backend.IsPlugged(SimUnit::Mouse));
    EXPECT_EQ(backend.Memory(SimModel::Mouse, SimMemory::Power)[0], 15);
    player.Advance(kMaxScenarioTimeMs);
    EXPECT_TRUE(player.Finished());
    EXPECT_FALSE(backend.IsPlugged(SimUnit::Keyboard));
}

TEST(SimScenarioFile, AMissingFileIsNamedInTheError) {
    SimBackend backend(1);
    std::string error;
    EXPECT_FALSE(backend.LoadScenario(::testing::TempDir() + "/no-such-scenario.json", error));
    EXPECT_NE(error.find("no-such-scenario.json"), std::string::npos);
    EXPECT_FALSE(backend.StartScenario()) << "nothing loaded, nothing to start";
}

TEST(SimScenarioPlay, AdvanceAppliesTheStepsThatAreDue) {
    SimBackend backend(1);
    SimScenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario(Steps(R"(
        {"at": 0, "action": "plug", "device": "mouse"},
        {"at": 100, "action": "event", "device": "mouse", "code": "0x0403"},
        {"at": 100, "action": "press", "device": "keyboard", "key": "profile-next"},
        {"at": 100, "action": "press", "device": "mousepad", "key": "click"},
        {"at": 250, "action": "unplug", "device": "mouse"}
    )"),
                              scenario, error))
        << error;
    SimScenarioPlayer player(backend, scenario);
    EXPECT_EQ(player.Advance(0), 1u);
    ASSERT_TRUE(backend.IsPlugged(SimUnit::Mouse));
    auto events = backend.Open(backend.EventPath(SimUnit::Mouse), HidOpenFlags{true, true, true, false});
    ASSERT_NE(events, nullptr);

    EXPECT_EQ(player.Advance(99), 0u);
    EXPECT_EQ(player.Advance(249), 3u) << "a refused press (no click on a pad) still counts as played";
    uint8_t report[3];
    size_t n = 0;
    ASSERT_EQ(events->Read(report, n, 0), HidIoStatus::Ok);
    EXPECT_EQ(report[1] | (report[2] << 8), 0x0403);
    // The keyboard is off its cable but switched on: its profile changes, unheard.
    EXPECT_EQ(backend.Memory(SimModel::Keyboard, SimMemory::Params)[0], 1);
    EXPECT_FALSE(player.Finished());
    EXPECT_EQ(player.Advance(100000), 1u);
    EXPECT_TRUE(player.Finished());
    EXPECT_FALSE(backend.IsPlugged(SimUnit::Mouse));
    EXPECT_EQ(player.Advance(200000), 0u);
}

TEST(SimScenarioPlay, TheThreadFollowsItsClockAndStops) {
    SimBackend backend(1);
    const std::string file = ::testing::TempDir() + "/sim-scenario-thread.json";
    {
        std::ofstream out(file);
        out << Steps(R"({"at": 10, "action": "plug", "device": "mousepad"},
                        {"at": 2000, "action": "plug", "device": "headset"})");
    }
    std::string error;
    ASSERT_TRUE(backend.LoadScenario(file, error)) << error;
    ManualClock clock;
    clock.Set(500);
    ASSERT_TRUE(backend.StartScenario(&clock));
    EXPECT_FALSE(backend.StartScenario(&clock)) << "one run at a time";
    clock.Set(5000);
    backend.PokeScenario();
    ASSERT_TRUE(backend.WaitScenarioFinished(60000));
    EXPECT_TRUE(backend.IsPlugged(SimUnit::MousePad));
    EXPECT_TRUE(backend.IsPlugged(SimUnit::Headset));
    backend.StopScenario();
}

TEST(SimScenarioPlay, StopLeavesLaterStepsUnplayed) {
    SimBackend backend(1);
    SimScenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario(Steps(R"({"at": 0, "action": "plug", "device": "mouse"},
                                      {"at": 604800000, "action": "plug", "device": "headset"})"),
                              scenario, error));
    ManualClock clock;
    SimScenarioPlayer player(backend, scenario);
    ASSERT_TRUE(player.Start(clock));
    player.Stop();
    EXPECT_FALSE(backend.IsPlugged(SimUnit::Headset));
    EXPECT_FALSE(player.Finished());
    EXPECT_FALSE(player.WaitFinished(0));
    EXPECT_LE(player.Applied(), 1u);
}

TEST(SimScenarioPlay, PokeMakesTheThreadReadAMovedClock) {
    SimBackend backend(1);
    SimScenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario(Steps(R"({"at": 604800000, "action": "plug", "device": "keyboard"})"), scenario,
                              error));
    ManualClock clock;
    SimScenarioPlayer player(backend, scenario);
    ASSERT_TRUE(player.Start(clock));
    clock.Set(604800000);
    player.Poke();
    EXPECT_TRUE(player.WaitFinished(60000));
    EXPECT_TRUE(backend.IsPlugged(SimUnit::Keyboard));
}

} // namespace
} // namespace velkor::sim
