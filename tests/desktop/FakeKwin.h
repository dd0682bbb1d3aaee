#pragma once
// KWin's input-device objects as its Wayland session offers them on the
// session bus, served by sd-bus on a thread of the test: the manager's list of
// system names, and per device its USB ids and the pointer settings, with
// KWin's rule that choosing one acceleration profile drops the other.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

struct sd_bus;

namespace velkor::test {

// One device object's properties (the object's user data, so plain data only).
struct FakeInputDevice {
    uint32_t vendor = 0;
    uint32_t product = 0;
    double pointerAcceleration = 0;
    int profileAdaptive = 1;
    int profileFlat = 0;
    double scrollFactor = 1.0;
    int hasFlatProfile = 1;                // 0: choosing the flat profile is ignored, as KWin does
    const char* refusedProperty = nullptr; // writes to it are answered with kRefusal
};

inline constexpr const char* kRefusal = "the scroll speed is managed by the administrator";

class FakeKwin {
public:
    struct Entry {
        std::string sysName; // "event5": the object is /org/kde/KWin/InputDevice/event5
        FakeInputDevice device;
    };

    explicit FakeKwin(std::vector<Entry> devices);
    ~FakeKwin();
    FakeKwin(const FakeKwin&) = delete;
    FakeKwin& operator=(const FakeKwin&) = delete;

    // Connects to `address`, serves the objects as org.kde.KWin. False with the reason when it cannot.
    bool Start(const std::string& address, std::string& why);
    // Ends the serving thread; the devices may be inspected after.
    void Stop();

    const FakeInputDevice& Device(size_t index) const { return m_devices[index].device; }
    const std::vector<Entry>& Entries() const { return m_devices; }

private:
    void Serve();

    std::vector<Entry> m_devices; // never resized once served: the objects point into it
    sd_bus* m_bus = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};

} // namespace velkor::test
