// The in-process bus: the same single-instance and delivery rules as on D-Bus,
// synchronously, for the tests of whatever sits on top of MessageBus.
#include "platform/bus/InProcessMessageBus.h"
#include "bus/Inbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace velkor {
namespace {

using test::Inbox;

class InProcessBusTest : public ::testing::Test {
protected:
    std::shared_ptr<InProcessBus> m_bus = std::make_shared<InProcessBus>();
};

TEST_F(InProcessBusTest, SecondInstanceFailsToOwnAndItsAnnounceReachesTheFirst) {
    InProcessMessageBus first(m_bus);
    InProcessMessageBus second(m_bus);
    Inbox firstInbox;
    Inbox secondInbox;
    ASSERT_EQ(first.Claim(firstInbox.Handler()), BusClaim::Owner);
    EXPECT_EQ(second.Claim(secondInbox.Handler()), BusClaim::OtherInstance);
    EXPECT_TRUE(first.IsOwner());
    EXPECT_FALSE(second.IsOwner());

    const BusSendResult sent = second.Send(MakeBusMessage(BusMessageKind::Announce, 0, 1));
    EXPECT_EQ(sent.status, BusSendStatus::Delivered) << sent.error;
    // Synchronous: the handler has run when Send returns.
    ASSERT_EQ(firstInbox.Count(), 1u);
    const BusMessage got = firstInbox.Messages()[0];
    EXPECT_EQ(got.kind, BusMessageKind::Announce);
    EXPECT_EQ(got.wParam, 0);
    EXPECT_EQ(got.lParam, 1);
    EXPECT_EQ(got.sender, second.Name());
    EXPECT_EQ(secondInbox.Count(), 0u);
}

TEST_F(InProcessBusTest, ClaimingAgainKeepsTheFirstHandler) {
    InProcessMessageBus owner(m_bus);
    InProcessMessageBus sender(m_bus);
    Inbox first;
    Inbox second;
    ASSERT_EQ(owner.Claim(first.Handler()), BusClaim::Owner);
    EXPECT_EQ(owner.Claim(second.Handler()), BusClaim::Owner);
    sender.Send(MakeBusMessage(BusMessageKind::GameEnd, 1, 2));
    EXPECT_EQ(first.Count(), 1u);
    EXPECT_EQ(second.Count(), 0u);
}

TEST_F(InProcessBusTest, TheNameIsFreeOnceTheOwnerCloses) {
    Inbox inbox;
    InProcessMessageBus sender(m_bus);
    EXPECT_EQ(sender.Send(MakeBusMessage(BusMessageKind::Announce, 0, 1)).status, BusSendStatus::NoInstance);
    {
        InProcessMessageBus owner(m_bus);
        ASSERT_EQ(owner.Claim(inbox.Handler()), BusClaim::Owner);
    }
    EXPECT_EQ(sender.Send(MakeBusMessage(BusMessageKind::Announce, 0, 1)).status, BusSendStatus::NoInstance);
    EXPECT_EQ(inbox.Count(), 0u);
    InProcessMessageBus next(m_bus);
    EXPECT_EQ(next.Claim(inbox.Handler()), BusClaim::Owner);
}

TEST_F(InProcessBusTest, WithoutABusEveryOperationSaysSo) {
    m_bus->SetAvailable(false);
    InProcessMessageBus endpoint(m_bus);
    Inbox inbox;
    EXPECT_EQ(endpoint.Claim(inbox.Handler()), BusClaim::NoBus);
    EXPECT_FALSE(endpoint.LastError().empty());
    EXPECT_EQ(endpoint.Send(MakeBusMessage(BusMessageKind::Announce, 0, 1)).status, BusSendStatus::NoBus);
    EXPECT_FALSE(endpoint.WatchBroadcasts(inbox.Handler()));
    EXPECT_FALSE(endpoint.Broadcast(MakeBusMessage(BusMessageKind::LightingControl, 1, 1)));
    m_bus->SetAvailable(true);
    EXPECT_EQ(endpoint.Claim(inbox.Handler()), BusClaim::Owner); // a later claim tries again
}

TEST_F(InProcessBusTest, BrokenMessagesNeverReachTheOwner) {
    InProcessMessageBus owner(m_bus);
    InProcessMessageBus sender(m_bus);
    Inbox inbox;
    ASSERT_EQ(owner.Claim(inbox.Handler()), BusClaim::Owner);
    const std::vector<uint8_t> tooLong(2001, 7);
    EXPECT_EQ(sender.Send(MakeCopyData(BusMessageKind::CopyData, 1, tooLong)).status, BusSendStatus::Refused);
    EXPECT_EQ(sender.Send(MakeCopyData(BusMessageKind::CopyData, 9, {tooLong.data(), 4})).status,
              BusSendStatus::Refused);
    EXPECT_EQ(sender.Send(MakeCopyData(BusMessageKind::CopyData, 2, {})).status, BusSendStatus::Refused);
    // The program's broadcasts are not something others send it.
    EXPECT_EQ(sender.Send(MakeBusMessage(BusMessageKind::LightingControl, 1, 0)).status,
              BusSendStatus::Refused);
    EXPECT_EQ(inbox.Count(), 0u);
    const std::vector<uint8_t> bands(24, 9);
    EXPECT_EQ(sender.Send(MakeCopyData(BusMessageKind::CopyData, 2, bands)).status, BusSendStatus::Delivered);
    ASSERT_EQ(inbox.Count(), 1u);
    EXPECT_EQ(inbox.Messages()[0].data, bands);
    EXPECT_EQ(inbox.Messages()[0].copyDataId, 2u);
}

TEST_F(InProcessBusTest, BroadcastsComeOnlyFromTheOwnerAndReachEveryWatcher) {
    InProcessMessageBus owner(m_bus);
    InProcessMessageBus tool(m_bus);
    InProcessMessageBus other(m_bus);
    Inbox ownerInbox;
    Inbox ownWatch;
    Inbox toolInbox;
    Inbox otherInbox;
    ASSERT_EQ(owner.Claim(ownerInbox.Handler()), BusClaim::Owner);
    ASSERT_TRUE(owner.WatchBroadcasts(ownWatch.Handler()));
    ASSERT_TRUE(tool.WatchBroadcasts(toolInbox.Handler()));
    ASSERT_TRUE(other.WatchBroadcasts(otherInbox.Handler()));

    EXPECT_FALSE(tool.Broadcast(MakeBusMessage(BusMessageKind::LightingControl, 1, 0))); // not the owner
    EXPECT_FALSE(owner.Broadcast(MakeBusMessage(BusMessageKind::GameStart, 0, 5)));      // not a broadcast
    const std::vector<uint8_t> tooLong(41, 1);
    EXPECT_FALSE(owner.Broadcast(MakeCopyData(BusMessageKind::AudioToolData, kCopyDataToolStyle, tooLong)));
    EXPECT_EQ(toolInbox.Count(), 0u);

    EXPECT_TRUE(owner.Broadcast(MakeBusMessage(BusMessageKind::AudioToolParameter, 6, 200)));
    for (Inbox* inbox : {&ownWatch, &toolInbox, &otherInbox}) {
        ASSERT_EQ(inbox->Count(), 1u);
        EXPECT_EQ(inbox->Messages()[0].kind, BusMessageKind::AudioToolParameter);
        EXPECT_EQ(inbox->Messages()[0].wParam, 6);
        EXPECT_EQ(inbox->Messages()[0].lParam, 200);
        EXPECT_EQ(inbox->Messages()[0].sender, owner.Name());
    }
    EXPECT_EQ(ownerInbox.Count(), 0u); // broadcasts go to watchers, not to the owner's message handler
}

TEST_F(InProcessBusTest, AHandlerMayBroadcastWithoutDeadlock) {
    InProcessMessageBus owner(m_bus);
    InProcessMessageBus game(m_bus);
    Inbox gameInbox;
    ASSERT_TRUE(game.WatchBroadcasts(gameInbox.Handler()));
    // The owner answers a lighting request with its new ownership state.
    ASSERT_EQ(owner.Claim([&](BusMessage message) {
        owner.Broadcast(MakeBusMessage(BusMessageKind::LightingControl, 1, message.lParam));
    }),
              BusClaim::Owner);
    EXPECT_EQ(game.Send(MakeBusMessage(BusMessageKind::LightingControlRequest, 1, 0)).status,
              BusSendStatus::Delivered);
    ASSERT_EQ(gameInbox.Count(), 1u);
    EXPECT_EQ(gameInbox.Messages()[0].kind, BusMessageKind::LightingControl);
    EXPECT_EQ(gameInbox.Messages()[0].lParam, 0);
}

TEST_F(InProcessBusTest, NameWatchesFollowTheProgramsNameAndFurtherOnes) {
    InProcessMessageBus program(m_bus);
    InProcessMessageBus tool(m_bus);
    InProcessMessageBus other(m_bus);
    std::vector<std::string> seen;
    const auto watch = [&](const char* name) {
        return [&seen, name](bool owned) { seen.push_back(std::string(owned ? "+" : "-") + name); };
    };
    EXPECT_EQ(tool.WatchName(kBusName, watch("program")), 0);
    EXPECT_EQ(program.WatchName(kAudioToolBusName, watch("tool")), 0);
    Inbox inbox;
    ASSERT_EQ(program.Claim(inbox.Handler()), BusClaim::Owner);
    ASSERT_EQ(tool.ClaimName(kAudioToolBusName), BusClaim::Owner);
    EXPECT_EQ(other.ClaimName(kAudioToolBusName), BusClaim::OtherInstance);
    EXPECT_EQ(other.ClaimName(kBusName), BusClaim::NoBus); // only Claim takes the program's name
    EXPECT_EQ(other.WatchName(kAudioToolBusName, [](bool) {}), 1);
    tool.Close();
    program.Close();
    EXPECT_EQ(seen, (std::vector<std::string>{"+program", "+tool", "-tool"}));
}

TEST_F(InProcessBusTest, CloseWaitsForADeliveryRunningOnAnotherThread) {
    auto owner = std::make_unique<InProcessMessageBus>(m_bus);
    InProcessMessageBus sender(m_bus);
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> closeStarted{false};
    std::atomic<bool> closeReturned{false};
    std::atomic<bool> closeReturnedDuringDelivery{false};
    ASSERT_EQ(owner->Claim([&](BusMessage) {
        entered = true;
        while (!release) {
            std::this_thread::yield();
        }
        closeReturnedDuringDelivery = closeReturned.load();
    }),
              BusClaim::Owner);
    std::thread sending([&] { sender.Send(MakeBusMessage(BusMessageKind::GameDeath, 0, 3)); });
    while (!entered) {
        std::this_thread::yield();
    }
    std::thread closing([&] {
        closeStarted = true;
        owner->Close();
        closeReturned = true;
    });
    while (!closeStarted) {
        std::this_thread::yield();
    }
    // Give a Close that does not wait every chance to return before the handler ends.
    for (int i = 0; i < 1000 && !closeReturned; ++i) {
        std::this_thread::yield();
    }
    release = true;
    closing.join();
    sending.join();
    EXPECT_FALSE(closeReturnedDuringDelivery);
    EXPECT_TRUE(closeReturned);
    owner.reset(); // the handler's captures may go now
}

} // namespace
} // namespace velkor
