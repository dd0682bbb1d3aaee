// DbusMessageBus on a private dbus-daemon: the single instance, the messages
// of other programs (also malformed ones sent with plain sd-bus), broadcasts,
// and the interface as documented in packaging/dbus.
#include "platform/bus/DbusMessageBus.h"
#include "bus/Inbox.h"
#include "bus/PrivateBus.h"
#include "platform/bus/DeviceBusService.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <fstream>
#include <functional>
#include <mutex>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace velkor {
namespace {

using test::Inbox;
using test::PrivateBus;

// A client that speaks plain sd-bus, to send what DbusMessageBus itself never would.
class RawClient {
public:
    explicit RawClient(const std::string& address) {
        int r = sd_bus_new(&m_bus);
        if (r >= 0) {
            r = sd_bus_set_address(m_bus, address.c_str());
        }
        if (r >= 0) {
            r = sd_bus_set_bus_client(m_bus, 1);
        }
        if (r >= 0) {
            r = sd_bus_start(m_bus);
        }
        const char* unique = nullptr;
        m_ok = r >= 0 && sd_bus_get_unique_name(m_bus, &unique) >= 0;
    }
    ~RawClient() { sd_bus_flush_close_unref(m_bus); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Ok() const { return m_ok; }
    sd_bus* Bus() { return m_bus; }

    // Calls `member` with the arguments `append` adds; the D-Bus error name, or "" when it succeeded.
    std::string Call(const char* member, const std::function<int(sd_bus_message*)>& append,
                     const char* path = kBusObjectPath, const char* interface = kBusInterface) {
        sd_bus_message* call = nullptr;
        sd_bus_message* reply = nullptr;
        sd_bus_error error = SD_BUS_ERROR_NULL;
        int r = sd_bus_message_new_method_call(m_bus, &call, kBusName, path, interface, member);
        if (r >= 0 && append) {
            r = append(call);
        }
        if (r >= 0) {
            r = sd_bus_call(m_bus, call, 0, &error, &reply);
        }
        std::string name;
        if (r < 0) {
            name = error.name != nullptr ? error.name : "errno " + std::to_string(-r);
        }
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
        sd_bus_message_unref(call);
        return name;
    }

    // Emits one of the interface's signals with the arguments `append` adds.
    bool Emit(const char* member, const std::function<int(sd_bus_message*)>& append) {
        sd_bus_message* signal = nullptr;
        int r = sd_bus_message_new_signal(m_bus, &signal, kBusObjectPath, kBusInterface, member);
        if (r >= 0) {
            r = append(signal);
        }
        if (r >= 0) {
            r = sd_bus_send(m_bus, signal, nullptr);
        }
        if (r >= 0) {
            r = sd_bus_flush(m_bus);
        }
        sd_bus_message_unref(signal);
        return r >= 0;
    }

    // A round trip to the daemon: everything sent before has been routed when it returns.
    bool Sync() {
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message* reply = nullptr;
        const int r = sd_bus_call_method(m_bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                         "org.freedesktop.DBus", "GetId", &error, &reply, "");
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
        return r >= 0;
    }

private:
    sd_bus* m_bus = nullptr;
    bool m_ok = false;
};

std::function<int(sd_bus_message*)> Ints(int32_t a, int32_t b) {
    return [=](sd_bus_message* m) { return sd_bus_message_append(m, "ii", a, b); };
}

std::function<int(sd_bus_message*)> Bytes(uint32_t id, size_t count) {
    return [=](sd_bus_message* m) {
        const std::vector<uint8_t> bytes(count, 0x5A);
        const int r = sd_bus_message_append(m, "u", id);
        return r < 0 ? r : sd_bus_message_append_array(m, 'y', bytes.data(), bytes.size());
    };
}

class DbusBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PrivateBus::DaemonInstalled()) {
            GTEST_SKIP()
                << "dbus-daemon is not installed (Debian package dbus; scripts/install-deps.sh installs it)";
        }
        std::string why;
        ASSERT_TRUE(m_daemon.Start(why)) << why;
    }

    PrivateBus m_daemon;
};

TEST_F(DbusBusTest, SecondInstanceFailsToOwnTheNameAndTheFirstReceivesItsAnnounce) {
    DbusMessageBus first(m_daemon.Address());
    DbusMessageBus second(m_daemon.Address());
    Inbox firstInbox;
    Inbox secondInbox;
    ASSERT_EQ(first.Claim(firstInbox.Handler()), BusClaim::Owner) << first.LastError();
    EXPECT_TRUE(first.IsOwner());

    EXPECT_EQ(second.Claim(secondInbox.Handler()), BusClaim::OtherInstance);
    EXPECT_FALSE(second.IsOwner());
    const BusSendResult sent = second.Send(MakeBusMessage(BusMessageKind::Announce, 0, 1));
    ASSERT_EQ(sent.status, BusSendStatus::Delivered) << sent.error;

    // Delivered means the owner's handler has already taken it.
    ASSERT_EQ(firstInbox.Count(), 1u);
    const BusMessage got = firstInbox.Messages()[0];
    EXPECT_EQ(got.kind, BusMessageKind::Announce);
    EXPECT_EQ(got.wParam, 0);
    EXPECT_EQ(got.lParam, 1);
    EXPECT_EQ(got.sender, second.UniqueName());
    EXPECT_EQ(secondInbox.Count(), 0u);
}

TEST_F(DbusBusTest, TheNameIsFreeAgainOnceTheOwnerCloses) {
    Inbox inbox;
    DbusMessageBus sender(m_daemon.Address());
    EXPECT_EQ(sender.Send(MakeBusMessage(BusMessageKind::Announce, 0, 1)).status, BusSendStatus::NoInstance);
    {
        DbusMessageBus owner(m_daemon.Address());
        ASSERT_EQ(owner.Claim(inbox.Handler()), BusClaim::Owner);
    }
    EXPECT_EQ(sender.Send(MakeBusMessage(BusMessageKind::Announce, 0, 1)).status, BusSendStatus::NoInstance);
    DbusMessageBus next(m_daemon.Address());
    EXPECT_EQ(next.Claim(inbox.Handler()), BusClaim::Owner) << next.LastError();
    EXPECT_EQ(inbox.Count(), 0u);
}

TEST_F(DbusBusTest, EveryMessageArrivesWithItsValuesInOrder) {
    Inbox inbox;
    DbusMessageBus owner(m_daemon.Address());
    DbusMessageBus game(m_daemon.Address());
    ASSERT_EQ(owner.Claim(inbox.Handler()), BusClaim::Owner);
    std::vector<BusMessage> sent;
    int32_t value = -3;
    for (const BusMessageInfo& info : BusMessageTable()) {
        if (!info.broadcast && !info.carriesData) {
            sent.push_back(
                MakeBusMessage(info.kind, value, value < 0 ? INT32_MIN - value : INT32_MAX - value));
            ++value;
        }
    }
    std::vector<uint8_t> frame(kAudioFrameBytes);
    for (size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    sent.push_back(MakeCopyData(BusMessageKind::CopyData, kCopyDataAudioFrame, frame));
    sent.push_back(
        MakeCopyData(BusMessageKind::CopyData, kCopyDataAudioBands, {frame.data(), kAudioBandsBytes}));
    sent.push_back(MakeCopyData(BusMessageKind::CopyData, kCopyDataAudioFrame, {frame.data(), 3}));
    for (const BusMessage& message : sent) {
        const BusSendResult result = game.Send(message);
        EXPECT_EQ(result.status, BusSendStatus::Delivered)
            << BusMessageInfoOf(message.kind).member << result.error;
    }
    const std::vector<BusMessage> got = inbox.Messages();
    ASSERT_EQ(got.size(), sent.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(got[i].kind, sent[i].kind) << i;
        EXPECT_EQ(got[i].wParam, sent[i].wParam) << i;
        EXPECT_EQ(got[i].lParam, sent[i].lParam) << i;
        EXPECT_EQ(got[i].copyDataId, sent[i].copyDataId) << i;
        EXPECT_EQ(got[i].data, sent[i].data) << i;
    }
}

TEST_F(DbusBusTest, BadInputFromAnotherProgramIsRefusedAndTheOwnerKeepsWorking) {
    Inbox inbox;
    DbusMessageBus owner(m_daemon.Address());
    ASSERT_EQ(owner.Claim(inbox.Handler()), BusClaim::Owner);
    RawClient other(m_daemon.Address());
    ASSERT_TRUE(other.Ok());

    EXPECT_EQ(other.Call("Explode", nullptr), SD_BUS_ERROR_UNKNOWN_METHOD);
    EXPECT_EQ(other.Call("LightingControl", Ints(1, 0)),
              SD_BUS_ERROR_UNKNOWN_METHOD); // a signal, not a method
    const std::string wrongInterface =
        other.Call("GameStart", Ints(0, 5), kBusObjectPath, "org.velkor.Other");
    EXPECT_TRUE(wrongInterface == SD_BUS_ERROR_UNKNOWN_INTERFACE ||
                wrongInterface == SD_BUS_ERROR_UNKNOWN_METHOD)
        << wrongInterface;
    EXPECT_EQ(other.Call("GameStart", Ints(0, 5), "/org/velkor/Nothing"), SD_BUS_ERROR_UNKNOWN_OBJECT);
    // Wrong argument types and counts.
    EXPECT_EQ(
        other.Call("GameStart", [](sd_bus_message* m) { return sd_bus_message_append(m, "s", "five"); }),
        SD_BUS_ERROR_INVALID_ARGS);
    EXPECT_EQ(other.Call("GameStart", [](sd_bus_message* m) { return sd_bus_message_append(m, "i", 0); }),
              SD_BUS_ERROR_INVALID_ARGS);
    EXPECT_EQ(
        other.Call("Announce", [](sd_bus_message* m) { return sd_bus_message_append(m, "iii", 0, 1, 2); }),
        SD_BUS_ERROR_INVALID_ARGS);
    EXPECT_EQ(other.Call("CopyData", Ints(1, 4)), SD_BUS_ERROR_INVALID_ARGS);
    EXPECT_EQ(
        other.Call("CopyData", [](sd_bus_message* m) { return sd_bus_message_append(m, "uai", 1, 2, 7, 8); }),
        SD_BUS_ERROR_INVALID_ARGS);
    // Copy-data beyond its buffer, without bytes, or with an id the program does not take.
    EXPECT_EQ(other.Call("CopyData", Bytes(1, kAudioFrameBytes + 1)), SD_BUS_ERROR_INVALID_ARGS);
    EXPECT_EQ(other.Call("CopyData", Bytes(1, 1 << 20)), SD_BUS_ERROR_INVALID_ARGS);
    EXPECT_EQ(other.Call("CopyData", Bytes(2, kAudioBandsBytes + 1)), SD_BUS_ERROR_INVALID_ARGS);
    EXPECT_EQ(other.Call("CopyData", Bytes(2, 0)), SD_BUS_ERROR_INVALID_ARGS);
    EXPECT_EQ(other.Call("CopyData", Bytes(5, 16)), SD_BUS_ERROR_INVALID_ARGS);
    EXPECT_EQ(inbox.Count(), 0u);

    // Still running and still taking good messages.
    EXPECT_EQ(other.Call("GameStart", Ints(0, 5)), "");
    EXPECT_EQ(other.Call("CopyData", Bytes(2, kAudioBandsBytes)), "");
    ASSERT_EQ(inbox.Count(), 2u);
    EXPECT_EQ(inbox.Messages()[0].kind, BusMessageKind::GameStart);
    EXPECT_EQ(inbox.Messages()[1].data, std::vector<uint8_t>(kAudioBandsBytes, 0x5A));
    EXPECT_TRUE(owner.IsOwner());
}

TEST_F(DbusBusTest, AThrowingHandlerFailsThatCallOnly) {
    Inbox inbox;
    DbusMessageBus owner(m_daemon.Address());
    DbusMessageBus sender(m_daemon.Address());
    const BusHandler record = inbox.Handler();
    ASSERT_EQ(owner.Claim([&](BusMessage message) {
        if (message.kind == BusMessageKind::GameKill) {
            throw std::runtime_error("the handler broke");
        }
        record(std::move(message));
    }),
              BusClaim::Owner);
    EXPECT_EQ(sender.Send(MakeBusMessage(BusMessageKind::GameKill, 0, 1)).status, BusSendStatus::Failed);
    EXPECT_EQ(sender.Send(MakeBusMessage(BusMessageKind::GameStart, 0, 2)).status, BusSendStatus::Delivered);
    ASSERT_EQ(inbox.Count(), 1u);
    EXPECT_EQ(inbox.Messages()[0].lParam, 2);
}

TEST_F(DbusBusTest, TheOwnerSendingToItselfGetsItOnTheBusThread) {
    Inbox inbox;
    DbusMessageBus owner(m_daemon.Address());
    std::thread::id handlerThread;
    const BusHandler record = inbox.Handler();
    ASSERT_EQ(owner.Claim([&](BusMessage message) {
        handlerThread = std::this_thread::get_id();
        record(std::move(message));
    }),
              BusClaim::Owner);
    EXPECT_EQ(owner.Send(MakeBusMessage(BusMessageKind::AudioToolLink, 4, 5)).status,
              BusSendStatus::Delivered);
    ASSERT_TRUE(inbox.WaitFor(1));
    EXPECT_EQ(inbox.Messages()[0].kind, BusMessageKind::AudioToolLink);
    EXPECT_EQ(inbox.Messages()[0].sender, owner.UniqueName());
    EXPECT_NE(handlerThread, std::this_thread::get_id());
}

TEST_F(DbusBusTest, BroadcastsReachWatchersAndComeOnlyFromTheOwner) {
    DbusMessageBus owner(m_daemon.Address());
    DbusMessageBus tool(m_daemon.Address());
    Inbox ownerInbox;
    Inbox toolInbox;
    ASSERT_EQ(owner.Claim(ownerInbox.Handler()), BusClaim::Owner);
    ASSERT_TRUE(tool.WatchBroadcasts(toolInbox.Handler())) << tool.LastError();

    EXPECT_FALSE(tool.Broadcast(MakeBusMessage(BusMessageKind::LightingControl, 1, 0)));
    EXPECT_FALSE(owner.Broadcast(MakeBusMessage(BusMessageKind::Announce, 0, 1)));
    const std::vector<uint8_t> tooLong(kToolLinkBytes + 1, 2);
    EXPECT_FALSE(owner.Broadcast(MakeCopyData(BusMessageKind::AudioToolData, kCopyDataToolLink, tooLong)));

    const std::vector<uint8_t> style = {5, 0, 0, 0, 1, 0, 0, 0, 7, 0, 0, 0};
    EXPECT_TRUE(owner.Broadcast(MakeBusMessage(BusMessageKind::LightingControl, 1, 1))) << owner.LastError();
    EXPECT_TRUE(owner.Broadcast(MakeCopyData(BusMessageKind::AudioToolData, kCopyDataToolStyle, style)));
    ASSERT_TRUE(toolInbox.WaitFor(2));
    const std::vector<BusMessage> got = toolInbox.Messages();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, BusMessageKind::LightingControl);
    EXPECT_EQ(got[0].wParam, 1);
    EXPECT_EQ(got[0].lParam, 1);
    EXPECT_EQ(got[0].sender, owner.UniqueName());
    EXPECT_EQ(got[1].copyDataId, kCopyDataToolStyle);
    EXPECT_EQ(got[1].data, style);
    EXPECT_EQ(ownerInbox.Count(), 0u);
}

TEST_F(DbusBusTest, WatchersDropBroadcastsOfOthersAndBrokenOnes) {
    Inbox inbox;
    DbusMessageBus watcher(m_daemon.Address());
    ASSERT_TRUE(watcher.WatchBroadcasts(inbox.Handler()));
    RawClient impostor(m_daemon.Address());
    RawClient owner(m_daemon.Address());
    ASSERT_TRUE(impostor.Ok() && owner.Ok());
    ASSERT_GE(sd_bus_request_name(owner.Bus(), kBusName, 0), 0);

    // Not the owner of the name: the bus does not pass it to the watcher.
    ASSERT_TRUE(impostor.Emit("LightingControl", Ints(1, 0)));
    ASSERT_TRUE(impostor.Sync());
    // The owner, but with what the interface does not allow.
    ASSERT_TRUE(
        owner.Emit("LightingControl", [](sd_bus_message* m) { return sd_bus_message_append(m, "s", "x"); }));
    ASSERT_TRUE(owner.Emit("AudioToolData", Bytes(kCopyDataToolStyle, kToolStyleBytes + 1)));
    ASSERT_TRUE(owner.Emit("AudioToolData", Bytes(kCopyDataAudioFrame, 8)));
    ASSERT_TRUE(owner.Emit("Announce", Ints(0, 1)));
    // And one good one, which comes after all of the above.
    ASSERT_TRUE(owner.Emit("AudioToolParameter", Ints(7, 99)));
    ASSERT_TRUE(inbox.WaitFor(1));
    // Anything dropped wrongly would have arrived before the good one.
    const std::vector<BusMessage> got = inbox.Messages();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, BusMessageKind::AudioToolParameter);
    EXPECT_EQ(got[0].wParam, 7);
    EXPECT_EQ(got[0].lParam, 99);
}

struct Member {
    std::string what; // "method" or "signal"
    std::string name;
    std::vector<std::string> args; // "direction type name"
    bool operator<(const Member& other) const {
        return std::tie(what, name) < std::tie(other.what, other.name);
    }
    bool operator==(const Member& other) const = default;
};

std::string Attribute(const std::string& tag, const char* attribute) {
    const std::regex pattern(std::string(attribute) + "=\"([^\"]*)\"");
    std::smatch match;
    return std::regex_search(tag, match, pattern) ? match[1].str() : std::string();
}

// The methods and signals of `interface` in an introspection document.
std::vector<Member> InterfaceMembers(const std::string& xml, const std::string& interface) {
    const std::regex block("<interface name=\"" + interface + "\">([\\s\\S]*?)</interface>");
    std::smatch found;
    if (!std::regex_search(xml, found, block)) {
        return {};
    }
    const std::string body = found[1].str();
    const std::regex memberPattern("<(method|signal) name=\"([^\"]+)\">([\\s\\S]*?)</\\1>");
    const std::regex argPattern("<arg [^>]*>");
    std::vector<Member> members;
    for (std::sregex_iterator it(body.begin(), body.end(), memberPattern), end; it != end; ++it) {
        Member member{(*it)[1].str(), (*it)[2].str(), {}};
        const std::string args = (*it)[3].str();
        for (std::sregex_iterator a(args.begin(), args.end(), argPattern); a != end; ++a) {
            const std::string tag = a->str();
            std::string direction = Attribute(tag, "direction");
            if (direction.empty()) {
                direction = member.what == "method" ? "in" : "out";
            }
            member.args.push_back(direction + " " + Attribute(tag, "type") + " " + Attribute(tag, "name"));
        }
        members.push_back(std::move(member));
    }
    std::sort(members.begin(), members.end());
    return members;
}

TEST_F(DbusBusTest, TheLiveInterfaceIsTheDocumentedOne) {
    DbusMessageBus owner(m_daemon.Address());
    ASSERT_EQ(owner.Claim(nullptr), BusClaim::Owner);
    DeviceBusService devices(owner); // the device API's members join the interface
    ASSERT_TRUE(devices.Start([](DeviceCall, DeviceBusService::ReplyFn) { return false; }));
    RawClient client(m_daemon.Address());
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    ASSERT_GE(sd_bus_call_method(client.Bus(), kBusName, kBusObjectPath,
                                 "org.freedesktop.DBus.Introspectable", "Introspect", &error, &reply, ""),
              0)
        << (error.message != nullptr ? error.message : "");
    const char* live = nullptr;
    ASSERT_GE(sd_bus_message_read(reply, "s", &live), 0);
    const std::vector<Member> liveMembers = InterfaceMembers(live, kBusInterface);
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);

    std::ifstream file(VELKOR_INTROSPECTION_XML);
    ASSERT_TRUE(file) << VELKOR_INTROSPECTION_XML;
    std::stringstream documented;
    documented << file.rdbuf();
    const std::vector<Member> documentedMembers = InterfaceMembers(documented.str(), kBusInterface);

    constexpr size_t kDeviceApiMembers = 14; // eleven methods (SdkStatus among them), three signals
    ASSERT_EQ(liveMembers.size(), BusMessageTable().size() + kDeviceApiMembers);
    EXPECT_EQ(liveMembers, documentedMembers);
    devices.Stop();
    for (const BusMessageInfo& info : BusMessageTable()) {
        const auto it = std::find_if(liveMembers.begin(), liveMembers.end(),
                                     [&](const Member& m) { return m.name == info.member; });
        ASSERT_NE(it, liveMembers.end()) << info.member;
        EXPECT_EQ(it->what, info.broadcast ? "signal" : "method") << info.member;
        ASSERT_EQ(it->args.size(), 2u) << info.member;
        EXPECT_EQ(it->args[0].substr(it->args[0].find(' ') + 1, 1), info.carriesData ? "u" : "i")
            << info.member;
    }
}

TEST_F(DbusBusTest, PostNeverWaitsAndHoldsBackWhileMoreThanEightWaitToBeWritten) {
    Inbox inbox; // outlives the buses whose threads deliver into it
    DbusMessageBus owner(m_daemon.Address());
    DbusMessageBus tool(m_daemon.Address());
    ASSERT_EQ(owner.Claim(inbox.Handler()), BusClaim::Owner);
    const std::vector<uint8_t> frame(kAudioFrameBytes, 0x5A);
    const BusMessage message = MakeCopyData(BusMessageKind::CopyData, kCopyDataAudioFrame, frame);
    ASSERT_EQ(tool.Post(message).status, BusSendStatus::Delivered);
    ASSERT_TRUE(inbox.WaitFor(1));

    // A daemon that reads nothing: the socket fills, then the queue; Post never blocks.
    ASSERT_EQ(kill(m_daemon.Pid(), SIGSTOP), 0);
    size_t posted = 0;
    BusSendResult result;
    for (; posted < 100000; ++posted) {
        result = tool.Post(message);
        if (result.status != BusSendStatus::Delivered) {
            break;
        }
    }
    EXPECT_EQ(result.status, BusSendStatus::Busy) << result.error;
    EXPECT_NE(result.error.find("9 messages wait"), std::string::npos) << result.error;
    EXPECT_EQ(tool.Post(message).status, BusSendStatus::Busy); // still nothing written
    ASSERT_EQ(kill(m_daemon.Pid(), SIGCONT), 0);

    // Everything accepted arrives, in order and whole; then Post takes messages again.
    ASSERT_TRUE(inbox.WaitFor(1 + posted));
    for (const BusMessage& got : inbox.Messages()) {
        ASSERT_EQ(got.data, frame);
    }
    BusSendStatus later = BusSendStatus::Busy;
    for (int i = 0; i < 100000 && later == BusSendStatus::Busy; ++i) {
        later = tool.Post(message).status;
        std::this_thread::yield();
    }
    EXPECT_EQ(later, BusSendStatus::Delivered);
    // Post checks what it sends like Send.
    EXPECT_EQ(tool.Post(MakeCopyData(BusMessageKind::CopyData, 7, frame)).status, BusSendStatus::Refused);
}

TEST_F(DbusBusTest, NameWatchFollowsTheOwnerOfAFurtherName) {
    DbusMessageBus program(m_daemon.Address());
    DbusMessageBus tool(m_daemon.Address());
    DbusMessageBus second(m_daemon.Address());
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<bool> seen;
    const auto handler = [&](bool owned) {
        std::lock_guard lock(mutex);
        if (seen.empty() || seen.back() != owned) {
            seen.push_back(owned);
        }
        changed.notify_all();
    };
    const auto waitFor = [&](size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(30), [&] { return seen.size() >= count; });
    };
    EXPECT_EQ(program.WatchName(kAudioToolBusName, handler), 0);
    ASSERT_EQ(tool.ClaimName(kAudioToolBusName), BusClaim::Owner);
    ASSERT_TRUE(waitFor(1));
    EXPECT_EQ(second.ClaimName(kAudioToolBusName), BusClaim::OtherInstance);
    EXPECT_EQ(second.WatchName(kAudioToolBusName, [](bool) {}), 1);
    tool.Close();
    ASSERT_TRUE(waitFor(2));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(seen, (std::vector<bool>{true, false}));
    }
    // The program's own name is taken only by Claim; nothing odd reaches a match rule.
    EXPECT_EQ(second.ClaimName(kBusName), BusClaim::NoBus);
    EXPECT_EQ(program.WatchName("a',member='x", handler), -1);
}

TEST_F(DbusBusTest, TheProgramRunsOnWhenTheBusGoesAway) {
    auto owner = std::make_unique<DbusMessageBus>(m_daemon.Address());
    Inbox inbox;
    ASSERT_EQ(owner->Claim(inbox.Handler()), BusClaim::Owner);
    m_daemon.Stop();
    owner->Broadcast(MakeBusMessage(BusMessageKind::LightingControl, 1, 0)); // may or may not notice yet
    owner.reset();                                                           // Close returns, nothing hangs
    DbusMessageBus late(m_daemon.Address());
    EXPECT_EQ(late.Claim(inbox.Handler()), BusClaim::NoBus);
    EXPECT_EQ(inbox.Count(), 0u);
}

TEST(DbusMessageBusWithoutBus, EveryOperationSaysThereIsNoBus) {
    DbusMessageBus bus("unix:path=/nonexistent/velkor-test/bus");
    Inbox inbox;
    EXPECT_EQ(bus.Claim(inbox.Handler()), BusClaim::NoBus);
    EXPECT_NE(bus.LastError().find("/nonexistent/velkor-test/bus"), std::string::npos) << bus.LastError();
    EXPECT_FALSE(bus.IsOwner());
    EXPECT_EQ(bus.Send(MakeBusMessage(BusMessageKind::Announce, 0, 1)).status, BusSendStatus::NoBus);
    EXPECT_FALSE(bus.Broadcast(MakeBusMessage(BusMessageKind::LightingControl, 1, 1)));
    EXPECT_FALSE(bus.WatchBroadcasts(inbox.Handler()));
    EXPECT_TRUE(bus.UniqueName().empty());
    bus.Close();
    bus.Close();
    EXPECT_EQ(bus.Claim(inbox.Handler()), BusClaim::NoBus);
}

} // namespace
} // namespace velkor
