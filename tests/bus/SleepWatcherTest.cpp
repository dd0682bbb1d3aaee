// The sleep watcher against a private bus where a test connection plays logind.
#include "platform/bus/SleepWatcher.h"
#include "PrivateBus.h"

#include <systemd/sd-bus.h>

#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace velkor::test {
namespace {

sd_bus* Connect(const std::string& address) {
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0 || sd_bus_set_address(bus, address.c_str()) < 0 ||
        sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
        return sd_bus_flush_close_unref(bus);
    }
    return bus;
}

TEST(SleepWatcher, ReportsLogindsSleepAndResume) {
    if (!PrivateBus::DaemonInstalled()) {
        GTEST_SKIP() << "dbus-daemon is not installed";
    }
    PrivateBus daemon;
    std::string why;
    ASSERT_TRUE(daemon.Start(why)) << why;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<bool> seen;
    SleepWatcher watcher(daemon.Address());
    ASSERT_TRUE(watcher.Start(
        [&](bool sleeping) {
            std::lock_guard lock(mutex);
            seen.push_back(sleeping);
            changed.notify_all();
        },
        &why))
        << why;
    EXPECT_FALSE(watcher.Start([](bool) {})) << "once";

    // Anyone else's sleep signal is not logind's. A call to the daemon after it
    // makes sure the daemon handled it before logind's signals below.
    sd_bus* stranger = Connect(daemon.Address());
    ASSERT_NE(stranger, nullptr);
    ASSERT_GE(sd_bus_emit_signal(stranger, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                 "PrepareForSleep", "b", 1),
              0);
    sd_bus_message* reply = nullptr;
    ASSERT_GE(sd_bus_call_method(stranger, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus", "GetId", nullptr, &reply, ""),
              0);
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(stranger);

    sd_bus* logind = Connect(daemon.Address());
    ASSERT_NE(logind, nullptr);
    ASSERT_GE(sd_bus_request_name(logind, "org.freedesktop.login1", 0), 0);
    for (int sleeping : {1, 0}) {
        ASSERT_GE(sd_bus_emit_signal(logind, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                     "PrepareForSleep", "b", sleeping),
                  0);
    }
    sd_bus_flush(logind);
    {
        std::unique_lock lock(mutex);
        // A guard against a hang, not a measurement.
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(5), [&] { return seen.size() >= 2; }));
        EXPECT_EQ(seen, (std::vector<bool>{true, false}));
    }
    sd_bus_flush_close_unref(logind);
    watcher.Stop();
    watcher.Stop();
    EXPECT_FALSE(watcher.IsRunning());
}

TEST(SleepWatcher, WithoutABusNothingRuns) {
    SleepWatcher watcher("unix:path=/nonexistent/velkor/system_bus_socket");
    std::string why;
    EXPECT_FALSE(watcher.Start([](bool) {}, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(watcher.IsRunning());
}

} // namespace
} // namespace velkor::test
