#include "platform/bus/SleepWatcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velkor {
namespace {

// Only logind's own signal counts: a sleep announced by anyone else is not one.
constexpr const char* kLogindName = "org.freedesktop.login1";

int OnPrepareForSleep(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    (void)error;
    int sleeping = 0;
    if (sd_bus_message_read(message, "b", &sleeping) <= 0) {
        return 0; // a malformed signal is ignored
    }
    const auto* handler = static_cast<const SleepWatcher::Handler*>(userdata);
    if (*handler) {
        (*handler)(sleeping != 0);
    }
    return 0;
}

// sd-bus gives an absolute CLOCK_MONOTONIC time in microseconds; poll wants milliseconds from now.
int PollTimeoutMs(sd_bus* bus) {
    uint64_t until = 0;
    if (sd_bus_get_timeout(bus, &until) <= 0 || until == UINT64_MAX) {
        return -1;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t nowUsec = uint64_t(now.tv_sec) * 1000000u + uint64_t(now.tv_nsec) / 1000u;
    return until <= nowUsec ? 0 : int((until - nowUsec + 999) / 1000);
}

} // namespace

SleepWatcher::SleepWatcher(std::string address) : m_address(std::move(address)) {}

SleepWatcher::~SleepWatcher() {
    Stop();
}

bool SleepWatcher::Start(Handler handler, std::string* error) {
    if (m_thread.joinable() || m_bus != nullptr) {
        if (error != nullptr) {
            *error = "the sleep watcher runs already";
        }
        return false;
    }
    auto fail = [&](const std::string& why, int r) {
        if (error != nullptr) {
            *error = why + (r < 0 ? std::string(": ") + std::strerror(-r) : std::string());
        }
        m_slot = sd_bus_slot_unref(m_slot);
        m_bus = sd_bus_flush_close_unref(m_bus);
        return false;
    };
    int r = 0;
    if (m_address.empty()) {
        r = sd_bus_open_system(&m_bus);
    } else {
        r = sd_bus_new(&m_bus);
        if (r >= 0) {
            r = sd_bus_set_address(m_bus, m_address.c_str());
        }
        if (r >= 0) {
            r = sd_bus_set_bus_client(m_bus, 1);
        }
        if (r >= 0) {
            r = sd_bus_start(m_bus);
        }
    }
    if (r < 0) {
        return fail("no system bus", r);
    }
    m_handler = std::move(handler);
    r = sd_bus_match_signal(m_bus, &m_slot, kLogindName, "/org/freedesktop/login1",
                            "org.freedesktop.login1.Manager", "PrepareForSleep", OnPrepareForSleep,
                            &m_handler);
    if (r < 0) {
        return fail("cannot subscribe to PrepareForSleep", r);
    }
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        return fail("no event descriptor", -errno);
    }
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void SleepWatcher::Run() {
    while (!m_stop) {
        const int r = sd_bus_process(m_bus, nullptr);
        if (r < 0) {
            return; // the connection ended: nothing more will be reported
        }
        if (r > 0) {
            continue;
        }
        pollfd fds[2] = {};
        fds[0].fd = sd_bus_get_fd(m_bus);
        fds[0].events = short(sd_bus_get_events(m_bus));
        fds[1].fd = m_wakeFd;
        fds[1].events = POLLIN;
        poll(fds, 2, PollTimeoutMs(m_bus)); // an error (EINTR) just means another turn
    }
}

void SleepWatcher::Stop() {
    if (m_thread.joinable()) {
        m_stop = true;
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof(one));
        m_thread.join();
    }
    if (m_wakeFd >= 0) {
        close(m_wakeFd);
        m_wakeFd = -1;
    }
    m_slot = sd_bus_slot_unref(m_slot);
    m_bus = sd_bus_flush_close_unref(m_bus);
}

} // namespace velkor
