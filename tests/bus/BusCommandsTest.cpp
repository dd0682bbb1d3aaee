// velkorctl's bus commands: what they send, and what they refuse to send.
#include "tools/BusCommands.h"
#include "bus/Inbox.h"
#include "bus/PrivateBus.h"
#include "platform/bus/DbusMessageBus.h"
#include "platform/bus/InProcessMessageBus.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace velkor {
namespace {

using test::Inbox;
using Words = std::vector<std::string>;

// What a command wrote for the user.
class CapturedOutput {
public:
    CapturedOutput() : m_file(open_memstream(&m_buffer, &m_size)) {}
    ~CapturedOutput() {
        std::fclose(m_file);
        std::free(m_buffer);
    }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    std::FILE* File() { return m_file; }
    std::string Text() {
        std::fflush(m_file);
        return std::string(m_buffer, m_size);
    }

private:
    char* m_buffer = nullptr;
    size_t m_size = 0;
    std::FILE* m_file;
};

class BusCommandsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(m_owner.Claim(m_inbox.Handler()), BusClaim::Owner); }

    int Run(const Words& words) { return RunBusCommand(words, m_client, m_output.File()); }

    std::shared_ptr<InProcessBus> m_bus = std::make_shared<InProcessBus>();
    InProcessMessageBus m_owner{m_bus};
    InProcessMessageBus m_client{m_bus};
    Inbox m_inbox;
    CapturedOutput m_output;
};

TEST_F(BusCommandsTest, RaiseSendsTheAnnounceOfASecondStart) {
    EXPECT_EQ(Run({"raise"}), 0);
    ASSERT_EQ(m_inbox.Count(), 1u);
    EXPECT_EQ(m_inbox.Messages()[0].kind, BusMessageKind::Announce);
    EXPECT_EQ(m_inbox.Messages()[0].wParam, 0);
    EXPECT_EQ(m_inbox.Messages()[0].lParam, 1);
}

TEST_F(BusCommandsTest, LightingReleaseAndTakeAskWithWparamOne) {
    EXPECT_EQ(Run({"lighting", "release"}), 0);
    EXPECT_EQ(Run({"lighting", "take"}), 0);
    const std::vector<BusMessage> got = m_inbox.Messages();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, BusMessageKind::LightingControlRequest);
    EXPECT_EQ(got[0].wParam, 1);
    EXPECT_EQ(got[0].lParam, 0);
    EXPECT_EQ(got[1].wParam, 1);
    EXPECT_EQ(got[1].lParam, 1);
}

TEST_F(BusCommandsTest, GameEventsCarryKindAndMode) {
    EXPECT_EQ(Run({"game-event", "start", "0", "5"}), 0);
    EXPECT_EQ(Run({"game-event", "end", "2", "17"}), 0);
    EXPECT_EQ(Run({"game-event", "kill", "1", "0"}), 0);
    EXPECT_EQ(Run({"game-event", "death", "-1", "2147483647"}), 0);
    const std::vector<BusMessage> got = m_inbox.Messages();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].kind, BusMessageKind::GameStart);
    EXPECT_EQ(got[0].wParam, 0);
    EXPECT_EQ(got[0].lParam, 5);
    EXPECT_EQ(got[1].kind, BusMessageKind::GameEnd);
    EXPECT_EQ(got[1].lParam, 17);
    EXPECT_EQ(got[2].kind, BusMessageKind::GameKill);
    EXPECT_EQ(got[3].kind, BusMessageKind::GameDeath);
    EXPECT_EQ(got[3].wParam, -1);
    EXPECT_EQ(got[3].lParam, 2147483647);
}

TEST_F(BusCommandsTest, WrongArgumentsAreUsageErrorsAndSendNothing) {
    const Words bad[] = {
        {"raise", "now"},
        {"lighting"},
        {"lighting", "grab"},
        {"lighting", "take", "1"},
        {"game-event"},
        {"game-event", "start", "0"},
        {"game-event", "boom", "0", "5"},
        {"game-event", "start", "zero", "5"},
        {"game-event", "start", "0", "5x"},
        {"game-event", "start", "0", ""},
        {"game-event", "start", "0", "2147483648"},
        {"game-event", "start", "-2147483649", "1"},
        {"game-event", "start", "0", "5", "6"},
    };
    for (const Words& words : bad) {
        EXPECT_EQ(Run(words), 2) << words.size() << " words starting " << words[0];
    }
    EXPECT_EQ(m_inbox.Count(), 0u);
    EXPECT_NE(m_output.Text().find("game-event start|end|kill|death"), std::string::npos);
}

TEST_F(BusCommandsTest, OtherWordsAreNotBusCommands) {
    EXPECT_EQ(Run({}), -1);
    EXPECT_EQ(Run({"list"}), -1);
    EXPECT_EQ(Run({"Raise"}), -1);
    EXPECT_EQ(RunBusCommand(Words{"info", "path"}), -1); // not even a connection is tried
    EXPECT_EQ(m_inbox.Count(), 0u);
}

TEST_F(BusCommandsTest, ANotRunningProgramIsAFailureWithAReason) {
    m_owner.Close();
    EXPECT_EQ(Run({"raise"}), 1);
    EXPECT_NE(m_output.Text().find("not running"), std::string::npos) << m_output.Text();
    m_bus->SetAvailable(false);
    EXPECT_EQ(Run({"lighting", "take"}), 1);
    EXPECT_NE(m_output.Text().find("no session bus"), std::string::npos) << m_output.Text();
}

// The command as velkorctl runs it: on the session bus named by the environment.
TEST(BusCommandsOnTheSessionBus, GameEventReachesTheRunningProgram) {
    if (!test::PrivateBus::DaemonInstalled()) {
        GTEST_SKIP()
            << "dbus-daemon is not installed (Debian package dbus; scripts/install-deps.sh installs it)";
    }
    test::PrivateBus daemon;
    std::string why;
    ASSERT_TRUE(daemon.Start(why)) << why;
    Inbox inbox;
    DbusMessageBus owner(daemon.Address());
    ASSERT_EQ(owner.Claim(inbox.Handler()), BusClaim::Owner);

    const char* previous = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::optional<std::string> saved = previous ? std::optional<std::string>(previous) : std::nullopt;
    setenv("DBUS_SESSION_BUS_ADDRESS", daemon.Address().c_str(), 1);
    const int code = RunBusCommand(Words{"game-event", "start", "0", "5"});
    if (saved) {
        setenv("DBUS_SESSION_BUS_ADDRESS", saved->c_str(), 1);
    } else {
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    EXPECT_EQ(code, 0);
    ASSERT_EQ(inbox.Count(), 1u);
    EXPECT_EQ(inbox.Messages()[0].kind, BusMessageKind::GameStart);
    EXPECT_EQ(inbox.Messages()[0].wParam, 0);
    EXPECT_EQ(inbox.Messages()[0].lParam, 5);
}

} // namespace
} // namespace velkor
