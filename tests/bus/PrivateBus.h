#pragma once
// A private session bus for one test: a dbus-daemon of its own, listening in a
// fresh temporary folder, so that tests never touch the user's session bus.
#include <string>
#include <sys/types.h>

namespace velkor::test {

class PrivateBus {
public:
    PrivateBus() = default;
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Whether the build found dbus-daemon (Debian package dbus).
    static bool DaemonInstalled();

    // Starts the daemon and waits until it listens. False with the reason when it cannot.
    bool Start(std::string& why);
    // Stops the daemon (also done on destruction); clients see their connection end.
    void Stop();

    const std::string& Address() const { return m_address; }
    // The daemon's process (to stop and continue it); -1 when not running.
    pid_t Pid() const { return m_pid; }

private:
    std::string m_folder;
    std::string m_address;
    pid_t m_pid = -1;
};

} // namespace velkor::test
