#pragma once
// Tells the program when the system is about to sleep and when it woke up:
// logind's signal PrepareForSleep(b) on the system bus (true before the sleep,
// false after the resume). Without a system bus nothing is ever reported, so
// the program simply never suspends.
//
// The handler runs on the watcher's own thread; hand it on to the
// user-interface thread. Start and Stop are called by the owner.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

struct sd_bus;
struct sd_bus_slot;

namespace velkor {

class SleepWatcher {
public:
    using Handler = std::function<void(bool sleeping)>;

    // `address` is a D-Bus address; empty means the system bus.
    explicit SleepWatcher(std::string address = {});
    ~SleepWatcher();
    SleepWatcher(const SleepWatcher&) = delete;
    SleepWatcher& operator=(const SleepWatcher&) = delete;

    // Connects, subscribes and starts the thread. False with `error` set when
    // there is no bus (nothing runs then), or when it runs already.
    bool Start(Handler handler, std::string* error = nullptr);
    // Ends the thread and the connection; idempotent.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

private:
    void Run();

    std::string m_address;
    Handler m_handler;
    sd_bus* m_bus = nullptr;
    sd_bus_slot* m_slot = nullptr;
    int m_wakeFd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace velkor
