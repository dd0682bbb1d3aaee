// The device API's service on a private dbus-daemon: what a call may carry,
// and that the handler runs without the connection's lock.
#include "platform/bus/DeviceBusService.h"
#include "bus/PrivateBus.h"
#include "platform/bus/DbusMessageBus.h"
#include "platform/bus/DeviceBusClient.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>

namespace velkor {
namespace {

using test::PrivateBus;

class DeviceBusServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PrivateBus::DaemonInstalled()) {
            GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus)";
        }
        std::string why;
        ASSERT_TRUE(m_daemon.Start(why)) << why;
        m_owner = std::make_unique<DbusMessageBus>(m_daemon.Address());
        ASSERT_EQ(m_owner->Claim(nullptr), BusClaim::Owner);
        m_service = std::make_unique<DeviceBusService>(*m_owner);
    }
    void TearDown() override {
        if (m_service) {
            m_service->Stop();
        }
    }
    // Every call the handler got; it takes none (the service then answers Failed).
    void RecordCalls() {
        ASSERT_TRUE(m_service->Start([this](DeviceCall call, DeviceBusService::ReplyFn) {
            std::lock_guard lock(m_mutex);
            m_calls.push_back(std::move(call));
            return false;
        }));
    }
    std::vector<DeviceCall> Calls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

    PrivateBus m_daemon;
    std::unique_ptr<DbusMessageBus> m_owner;
    std::unique_ptr<DeviceBusService> m_service;
    std::mutex m_mutex;
    std::vector<DeviceCall> m_calls;
};

DeviceCall Lighting(BusDict fields) {
    DeviceCall call;
    call.method = DeviceMethod::SetLighting;
    call.id = "keyboard-50b7";
    call.fields = std::move(fields);
    return call;
}

BusDict Numbered(size_t count) {
    BusDict fields;
    for (size_t i = 0; i < count; ++i) {
        fields.emplace_back("unknown-" + std::to_string(i), int32_t(i));
    }
    return fields;
}

struct BoundCase {
    const char* name;
    DeviceCall call;
    const char* says;
};

void PrintTo(const BoundCase& c, std::ostream* out) {
    *out << c.name;
}

class CallBounds : public DeviceBusServiceTest, public ::testing::WithParamInterface<BoundCase> {};

TEST_P(CallBounds, ACallBeyondThemIsRefusedBeforeTheHandler) {
    RecordCalls();
    DeviceBusClient client(m_daemon.Address());
    const DeviceReply reply = client.Call(GetParam().call, 20000);
    EXPECT_EQ(reply.status, DeviceCallStatus::InvalidArgs) << reply.message;
    EXPECT_NE(reply.message.find(GetParam().says), std::string::npos) << reply.message;
    EXPECT_TRUE(Calls().empty());
}

DeviceCall WithId(DeviceMethod method, std::string id, std::string name = {}) {
    DeviceCall call;
    call.method = method;
    call.id = std::move(id);
    call.name = std::move(name);
    return call;
}

INSTANTIATE_TEST_SUITE_P(
    Calls, CallBounds,
    ::testing::Values(
        BoundCase{"one_field_too_many", Lighting(Numbered(33)), "more than 32 entries"},
        BoundCase{"a_hundred_thousand_fields", Lighting(Numbered(100000)), "more than 32 entries"},
        BoundCase{"long_key", Lighting({{std::string(65, 'k'), 1}}), "key holds more than 64 bytes"},
        BoundCase{"long_text", Lighting({{"effect", std::string(1025, 't')}}), "more than 1024 bytes"},
        BoundCase{"long_list", Lighting({{"bands", std::vector<int32_t>(65, 1)}}), "more than 64 items"},
        BoundCase{"long_text_list", Lighting({{"names", std::vector<std::string>(65, "a")}}),
                  "more than 64 items"},
        BoundCase{"long_text_in_a_list",
                  Lighting({{"names", std::vector<std::string>{std::string(1025, 'a')}}}),
                  "more than 1024 bytes"},
        BoundCase{"repeated_key", Lighting({{"speed", 1}, {"speed", 2}}), "given twice"},
        BoundCase{"long_id", WithId(DeviceMethod::GetSettings, std::string(65, 'i')),
                  "id holds more than 64"},
        BoundCase{"long_name", WithId(DeviceMethod::SelectProfile, "mouse-7070", std::string(1025, 'n')),
                  "name holds more than 1024"}),
    [](const auto& info) { return std::string(info.param.name); });

// Another thread can use the connection while the handler runs: a call being
// read or handed on never holds up the replies and signals of others.
TEST_F(DeviceBusServiceTest, TheHandlerRunsWithoutTheConnectionsLock) {
    std::vector<std::future<void>> others; // outlive the handler: they may wait for the lock
    std::atomic<int> free{-1};
    ASSERT_TRUE(m_service->Start([&](DeviceCall, DeviceBusService::ReplyFn) {
        others.push_back(std::async(std::launch::async, [&] { m_owner->WithConnection([](sd_bus*) {}); }));
        free = others.back().wait_for(std::chrono::seconds(2)) == std::future_status::ready ? 1 : 0;
        return false;
    }));
    DeviceBusClient client(m_daemon.Address());
    client.Call(WithId(DeviceMethod::GetSettings, "mouse-7070"), 20000);
    EXPECT_EQ(free, 1);
}

} // namespace
} // namespace velkor
