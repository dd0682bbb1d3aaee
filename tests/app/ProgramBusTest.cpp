// The program on a private session bus: whoever finds its name finds its
// device API, also while the window is still being built.
#include "AppTestSupport.h"
#include "app/Program.h"
#include "bus/PrivateBus.h"
#include "platform/bus/DbusMessageBus.h"
#include "platform/bus/DeviceBusService.h"
#include "ui/memory/MemoryToolkit.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <systemd/sd-bus.h>
#include <thread>

namespace velkor::test {
namespace {

// A ListDevices call as any program makes it: the name of the error it gets ("" for none).
std::string ListDevicesError(const std::string& address) {
    sd_bus* bus = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    std::string name = "no call";
    if (sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address.c_str()) >= 0 &&
        sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0) {
        sd_bus_call_method(bus, kBusName, kBusObjectPath, kBusInterface, "ListDevices", &error, &reply, "");
        name = error.name != nullptr ? error.name : "";
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    return name;
}

TEST(ProgramBus, ACallWhileTheWindowIsBuiltWaitsForTheApiInsteadOfMissingIt) {
    if (!PrivateBus::DaemonInstalled()) {
        GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus)";
    }
    PrivateBus daemon;
    std::string why;
    ASSERT_TRUE(daemon.Start(why)) << why;
    ProgramFolder folder;
    folder.AddSkin();
    ui::ManualClock clock;
    CapturedStream err;
    DbusMessageBus bus(daemon.Address());
    DeviceBusService service(bus);
    ui::MemoryToolkit* toolkit = nullptr;
    std::future<std::string> early;
    ProgramServices services{
        .makeToolkit = [&](const std::string& skin, std::string* error) -> std::unique_ptr<ui::Toolkit> {
            // The name is owned by now; another program calls at once, and
            // the window is built only once the call reached the program
            // (taken and waiting, or answered).
            early = std::async(std::launch::async, [&] { return ListDevicesError(daemon.Address()); });
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (service.PendingCount() == 0 &&
                   early.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready &&
                   std::chrono::steady_clock::now() < until) {
            }
            auto made = ui::MemoryToolkit::Create(skin, clock, error);
            toolkit = made.get();
            return made;
        },
        .bus = bus,
        .programFolder = folder.Path(),
        .systemFontFolders = {},
        .deviceService = &service,
        .err = err.file};
    Program program({}, services);
    ASSERT_EQ(program.Start(), StartResult::Running) << err.Text();
    ASSERT_TRUE(early.valid());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20); // a hang guard
    while (early.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready &&
           std::chrono::steady_clock::now() < deadline) {
        toolkit->ProcessPending();
    }
    ASSERT_EQ(early.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    EXPECT_EQ(early.get(), "") << "the call found the name without its members";
    program.Stop();
}

} // namespace
} // namespace velkor::test
