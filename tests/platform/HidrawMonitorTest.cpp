// The hidraw back end's change wait in a umockdev test bed: a udev event of
// the hidraw subsystem ends it, other subsystems do not, and a cancel ends it.
#include "platform/hidraw/HidrawBackend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <umockdev.h>

namespace velkor {
namespace {

class FlagCancel final : public HidWaitCancel {
public:
    bool IsSet() const override { return set; }
    bool WaitFor(uint32_t ms) const override {
        for (uint32_t i = 0; i < ms && !set; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return set;
    }
    std::atomic<bool> set{false};
};

class HidrawMonitor : public testing::Test {
protected:
    ~HidrawMonitor() override { g_object_unref(m_bed); }

    // Adds a device and sends its udev event; returns its sysfs path.
    std::string Event(const char* subsystem, const char* name, const char* action) {
        char* added =
            umockdev_testbed_add_device(m_bed, subsystem, name, nullptr, nullptr, "DEVNAME", name, nullptr);
        std::string path = added != nullptr ? added : "";
        g_free(added);
        umockdev_testbed_uevent(m_bed, path.c_str(), action);
        return path;
    }
    // Waits on another thread; the monitor is opened here first, so that no event is missed.
    std::future<bool> WaitAsync(uint32_t timeoutMs) {
        m_backend.WaitForChange(0, m_cancel);
        return std::async(std::launch::async,
                          [this, timeoutMs] { return m_backend.WaitForChange(timeoutMs, m_cancel); });
    }

    UMockdevTestbed* m_bed = umockdev_testbed_new();
    HidrawBackend m_backend{UdevPresence::Running};
    FlagCancel m_cancel;
};

TEST_F(HidrawMonitor, AHidrawNodeComingOrGoingEndsTheWait) {
    auto added = WaitAsync(10000);
    const std::string node = Event("hidraw", "hidraw7", "add");
    EXPECT_TRUE(added.get());
    auto removed = WaitAsync(10000);
    umockdev_testbed_uevent(m_bed, node.c_str(), "remove");
    EXPECT_TRUE(removed.get());
}

TEST_F(HidrawMonitor, OtherSubsystemsDoNotWakeIt) {
    auto waited = WaitAsync(300);
    Event("input", "event9", "add");
    EXPECT_FALSE(waited.get());
}

TEST_F(HidrawMonitor, ACancelEndsTheWait) {
    auto waited = WaitAsync(60000);
    m_cancel.set = true;
    EXPECT_FALSE(waited.get());
}

} // namespace
} // namespace velkor
