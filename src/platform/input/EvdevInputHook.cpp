#include "platform/input/EvdevInputHook.h"

#include "keys/EvdevKeys.h"
#include "platform/Trace.h"
#include "platform/input/UinputPass.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <libudev.h>
#include <linux/input-event-codes.h>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace velkor {

// What the reader and the reports it posted share; a report may run after Stop.
struct EvdevInputHook::Shared {
    Sink sink; // user-interface thread only; empty once stopped
    std::atomic<std::uint64_t> taken{0};
    std::atomic<bool> wakeOnTake{false};
    std::atomic<bool> stop{false};
    const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);

    ~Shared() {
        if (wakeFd >= 0) {
            close(wakeFd);
        }
    }
    void Wake() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(wakeFd, &one, sizeof one);
    }
};

namespace {

std::int64_t MonotonicUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

bool IsButtonCode(std::uint16_t code) {
    return code >= BTN_MOUSE && code < BTN_JOYSTICK;
}

bool IsLockKey(std::uint16_t code) {
    return code == KEY_CAPSLOCK || code == KEY_NUMLOCK || code == KEY_SCROLLLOCK;
}

bool AnyKeyDown(libevdev* device) {
    for (unsigned code = 0; code <= KEY_MAX; ++code) {
        if (libevdev_get_event_value(device, EV_KEY, code) != 0) {
            return true;
        }
    }
    return false;
}

struct ReadNode {
    InputNodeInfo info;
    OpenInputNode node;
    bool monotonic = false;
    bool grabbed = false;
    bool grabRefused = false;
    bool gone = false;
    // A keyboard that is also a mouse: its pointer while it is grabbed, and
    // whether the current frame has pointer events to end.
    std::unique_ptr<PointerPass> pointer;
    bool pointerFrame = false;
};

// Opens a node for reading; `info` learns whether it is readable.
std::optional<ReadNode> OpenReadNode(InputNodeInfo& info) {
    ReadNode read;
    read.node = OpenInputNode::Open(info);
    if (!info.readable) {
        TraceF("input hook: %s (%s) is skipped: %s", info.devnode.c_str(), info.name.c_str(),
               info.reason.c_str());
        return std::nullopt;
    }
    read.monotonic = libevdev_set_clock_id(read.node.Device(), CLOCK_MONOTONIC) == 0;
    if (!read.monotonic) {
        TraceF("input hook: %s refused the monotonic clock: its reports carry the time they were read",
               info.devnode.c_str());
    }
    read.info = info;
    return read;
}

} // namespace

class EvdevInputHook::Reader {
public:
    Reader(ui::Dispatcher& dispatcher, std::shared_ptr<Shared> shared, const EvdevHookOptions& options,
           EvdevServes serves, std::vector<ReadNode> nodes, udev* context)
        : m_dispatcher(dispatcher), m_shared(std::move(shared)), m_options(options), m_serves(serves),
          m_swallow(options.swallowKeys && serves.keys), m_nodes(std::move(nodes)), m_udev(context) {
        if (m_swallow) {
            m_locks = std::make_unique<UinputLockKeys>(m_options.uinputPath);
        }
        m_monitor = m_udev != nullptr ? udev_monitor_new_from_netlink(m_udev, "udev") : nullptr;
        if (m_monitor != nullptr &&
            (udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "input", nullptr) < 0 ||
             udev_monitor_enable_receiving(m_monitor) < 0)) {
            udev_monitor_unref(m_monitor);
            m_monitor = nullptr;
        }
        if (m_monitor == nullptr) {
            Trace("input hook: no udev monitor: nodes that come later are not read");
        }
        m_thread = std::thread([this] { Run(); });
    }
    ~Reader() {
        m_shared->stop = true;
        m_shared->Wake();
        m_thread.join();
        m_nodes.clear();
        m_locks.reset();
        if (m_monitor != nullptr) {
            udev_monitor_unref(m_monitor);
        }
        if (m_udev != nullptr) {
            udev_unref(m_udev);
        }
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

private:
    struct Posted {
        std::uint64_t sequence;
        std::chrono::steady_clock::time_point at;
    };

    void Run() {
        UpdateGrabs();
        std::vector<pollfd> fds;
        while (!m_shared->stop) {
            fds.assign({pollfd{m_shared->wakeFd, POLLIN, 0}});
            if (m_monitor != nullptr) {
                fds.push_back(pollfd{udev_monitor_get_fd(m_monitor), POLLIN, 0});
            }
            const size_t firstNode = fds.size();
            for (const ReadNode& node : m_nodes) {
                fds.push_back(pollfd{node.node.Fd(), POLLIN, 0});
            }
            if (poll(fds.data(), fds.size(), Timeout()) < 0 && errno != EINTR) {
                TraceF("input hook: poll failed (%s): the reader ends", std::strerror(errno));
                break;
            }
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t drained = read(m_shared->wakeFd, &count, sizeof count);
            if (m_shared->stop) {
                break;
            }
            std::vector<InputReport> batch;
            for (size_t i = 0; i < m_nodes.size(); ++i) {
                const short events = fds[firstNode + i].revents;
                if ((events & POLLIN) != 0) {
                    Drain(m_nodes[i], batch);
                } else if ((events & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                    m_nodes[i].gone = true;
                }
            }
            if (m_monitor != nullptr && (fds[1].revents & POLLIN) != 0) {
                TakeUdevEvents();
            }
            DropGoneNodes();
            Post(std::move(batch));
            CheckRelease();
            UpdateGrabs();
        }
        ReleaseGrabs();
    }

    // Until the oldest untaken report is due, or a short look while released.
    int Timeout() const {
        if (m_released) {
            return 100;
        }
        if (m_pending.empty()) {
            return -1;
        }
        const auto left = m_pending.front().at + m_options.releaseAfter - std::chrono::steady_clock::now();
        return static_cast<int>(
            std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
    }

    void Drain(ReadNode& node, std::vector<InputReport>& batch) {
        input_event event{};
        unsigned flag = LIBEVDEV_READ_FLAG_NORMAL;
        for (;;) {
            const int rc = libevdev_next_event(node.node.Device(), flag, &event);
            if (rc == LIBEVDEV_READ_STATUS_SUCCESS) {
                Take(node, event, batch);
            } else if (rc == LIBEVDEV_READ_STATUS_SYNC) {
                if (flag == LIBEVDEV_READ_FLAG_NORMAL) {
                    // The kernel dropped events: libevdev gives the changes since as events.
                    TraceF("input hook: %s dropped events: its state is read again",
                           node.info.devnode.c_str());
                    flag = LIBEVDEV_READ_FLAG_SYNC;
                } else {
                    Take(node, event, batch);
                }
            } else if (rc == -EAGAIN && flag == LIBEVDEV_READ_FLAG_SYNC) {
                flag = LIBEVDEV_READ_FLAG_NORMAL;
            } else {
                if (rc != -EAGAIN) {
                    TraceF("input hook: %s is gone (%s)", node.info.devnode.c_str(), std::strerror(-rc));
                    node.gone = true;
                }
                return;
            }
        }
    }

    void Take(ReadNode& node, const input_event& event, std::vector<InputReport>& batch) {
        if (node.pointer) {
            PassPointer(node, event);
        }
        if (event.type != EV_KEY || event.value == 2) {
            return; // repeats are no presses
        }
        const bool button = IsButtonCode(event.code);
        if (button ? !m_serves.buttons : !m_serves.keys) {
            return;
        }
        if (!button && node.grabbed && IsLockKey(event.code) && m_locks) {
            m_locks->Pass(event.code, event.value);
        }
        InputReport report;
        report.kind = button ? InputReport::Kind::Button : InputReport::Kind::Key;
        report.code = event.code;
        report.down = event.value != 0;
        if (button) {
            report.button = MouseButtonFromEvdev(event.code);
        } else {
            report.scan = ScanCodeFromEvdev(event.code);
        }
        report.timeUs = node.monotonic ? static_cast<std::int64_t>(event.input_event_sec) * 1'000'000 +
                                             static_cast<std::int64_t>(event.input_event_usec)
                                       : MonotonicUs();
        batch.push_back(report);
    }

    // The pointer events of a grabbed keyboard and mouse go on through its
    // pass, each frame ended as the node ended it; its keys stay kept.
    void PassPointer(ReadNode& node, const input_event& event) {
        bool written = true;
        if (event.type == EV_SYN && event.code == SYN_REPORT) {
            if (node.pointerFrame) {
                written = node.pointer->Write(EV_SYN, SYN_REPORT, 0);
                node.pointerFrame = false;
            }
        } else if (IsPointerEvent(event.type, event.code)) {
            written = node.pointer->Write(event.type, event.code, event.value);
            node.pointerFrame = true;
        }
        if (!written) {
            TraceF("input hook: a pointer event of %s was not passed on", node.info.devnode.c_str());
        }
    }

    // Whether a node is one of the hook's own virtual devices.
    bool IsOwn(const InputNodeInfo& info) const {
        if (m_locks && m_locks->Owns(info.syspath)) {
            return true;
        }
        return std::any_of(m_nodes.begin(), m_nodes.end(), [&](const ReadNode& node) {
            return node.pointer && IsNodeOf(info.syspath, node.pointer->Syspath());
        });
    }

    void TakeUdevEvents() {
        while (udev_device* device = udev_monitor_receive_device(m_monitor)) {
            const char* action = udev_device_get_action(device);
            const char* devnode = udev_device_get_devnode(device);
            if (action != nullptr && devnode != nullptr) {
                if (std::strcmp(action, "remove") == 0) {
                    for (ReadNode& node : m_nodes) {
                        node.gone = node.gone || node.info.devnode == devnode;
                    }
                } else if (std::strcmp(action, "add") == 0) {
                    AddNode(device);
                }
            }
            udev_device_unref(device);
        }
    }

    void AddNode(udev_device* device) {
        InputNodeInfo info;
        if (!ClassifyInputDevice(device, info) ||
            !((info.keyboard && m_serves.keys) || (info.mouse && m_serves.buttons)) || IsOwn(info)) {
            return;
        }
        for (const ReadNode& node : m_nodes) {
            if (node.info.devnode == info.devnode && !node.gone) {
                return;
            }
        }
        if (std::optional<ReadNode> node = OpenReadNode(info)) {
            TraceF("input hook: %s (%s) added", info.devnode.c_str(), info.name.c_str());
            m_nodes.push_back(std::move(*node));
        }
    }

    void DropGoneNodes() {
        std::erase_if(m_nodes, [](const ReadNode& node) { return node.gone; });
    }

    // One task per read, its reports in time order (nodes are read one after the other).
    void Post(std::vector<InputReport> batch) {
        if (batch.empty()) {
            return;
        }
        std::stable_sort(batch.begin(), batch.end(),
                         [](const InputReport& a, const InputReport& b) { return a.timeUs < b.timeUs; });
        const std::uint64_t sequence = ++m_posted;
        if (m_swallow) {
            m_pending.push_back(Posted{sequence, std::chrono::steady_clock::now()});
        }
        m_dispatcher.Post([shared = m_shared, batch = std::move(batch), sequence] {
            shared->taken = sequence;
            if (shared->wakeOnTake) {
                shared->Wake();
            }
            for (const InputReport& report : batch) {
                if (!shared->sink) {
                    return; // stopped meanwhile, perhaps by the report before
                }
                const Sink sink = shared->sink; // a copy: the sink may Stop the hook
                sink(report);
            }
        });
    }

    // A report untaken for too long releases the keyboards until all are taken.
    void CheckRelease() {
        if (!m_swallow) {
            return;
        }
        const std::uint64_t taken = m_shared->taken;
        while (!m_pending.empty() && m_pending.front().sequence <= taken) {
            m_pending.pop_front();
        }
        if (!m_released && !m_pending.empty() &&
            std::chrono::steady_clock::now() - m_pending.front().at >= m_options.releaseAfter) {
            m_released = true;
            m_shared->wakeOnTake = true;
            ReleaseGrabs();
            TraceF("input hook: a report waits untaken for %lld ms: the keyboards are released",
                   static_cast<long long>(m_options.releaseAfter.count()));
        } else if (m_released && m_pending.empty()) {
            m_released = false;
            m_shared->wakeOnTake = false;
            Trace("input hook: the reports are taken again: the keyboards are kept again");
        }
    }

    void UpdateGrabs() {
        if (!m_swallow || m_released) {
            return;
        }
        for (ReadNode& node : m_nodes) {
            if (!node.info.keyboard || node.grabbed || node.grabRefused || node.gone ||
                AnyKeyDown(node.node.Device())) {
                continue;
            }
            // Kept, a keyboard that is also a mouse would take the pointer with it.
            if (node.info.mouse && !MakePointerPass(node)) {
                continue;
            }
            const int rc = libevdev_grab(node.node.Device(), LIBEVDEV_GRAB);
            node.grabbed = rc == 0;
            node.grabRefused = rc != 0;
            if (rc != 0) {
                node.pointer.reset();
                TraceF("input hook: %s refused the grab (%s): it is only read, its keys reach other programs",
                       node.info.devnode.c_str(), std::strerror(-rc));
            }
        }
    }

    bool MakePointerPass(ReadNode& node) {
        std::string reason;
        const PointerCaps caps = PointerCapsOf(node.node.Device());
        node.pointer = m_options.pointerPass ? m_options.pointerPass(caps, reason)
                                             : MakeUinputPointerPass(m_options.uinputPath, caps, reason);
        node.pointerFrame = false;
        if (!node.pointer) {
            node.grabRefused = true;
            TraceF(
                "input hook: %s (%s) is a keyboard and a mouse, and its pointer cannot be passed on (%s): it "
                "is not kept, its keys reach other programs",
                node.info.devnode.c_str(), node.info.name.c_str(), reason.c_str());
            return false;
        }
        TraceF("input hook: %s (%s) is a keyboard and a mouse: its pointer is passed on while it is kept",
               node.info.devnode.c_str(), node.info.name.c_str());
        return true;
    }

    // Lets every node go; the pointer passes end with their grabs.
    void ReleaseGrabs() {
        for (ReadNode& node : m_nodes) {
            if (node.grabbed && libevdev_grab(node.node.Device(), LIBEVDEV_UNGRAB) != 0) {
                TraceF("input hook: %s did not take the release of its grab", node.info.devnode.c_str());
            }
            node.grabbed = false;
            node.pointer.reset();
        }
    }

    ui::Dispatcher& m_dispatcher;
    const std::shared_ptr<Shared> m_shared;
    const EvdevHookOptions m_options;
    const EvdevServes m_serves;
    const bool m_swallow;
    std::vector<ReadNode> m_nodes;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    std::unique_ptr<UinputLockKeys> m_locks;
    std::deque<Posted> m_pending;
    std::uint64_t m_posted = 0;
    bool m_released = false;
    std::thread m_thread; // last: it starts once everything above is set
};

EvdevInputHook::EvdevInputHook(ui::Dispatcher& dispatcher) : m_dispatcher(dispatcher) {}

EvdevInputHook::~EvdevInputHook() {
    Stop();
}

EvdevServes EvdevInputHook::Start(const EvdevHookOptions& options, Sink sink) {
    Stop();
    m_nodes.clear();
    udev* context = udev_new();
    std::vector<InputNodeInfo> found;
    if (!EnumerateInputNodes(context, found)) {
        Trace("input hook: udev cannot list the input nodes");
    }
    EvdevServes serves;
    std::vector<ReadNode> open;
    for (InputNodeInfo& info : found) {
        if (!(info.keyboard && options.keys) && !(info.mouse && options.buttons)) {
            continue;
        }
        std::optional<ReadNode> node = OpenReadNode(info);
        m_nodes.push_back(info);
        if (node) {
            serves.keys = serves.keys || (info.keyboard && options.keys);
            serves.buttons = serves.buttons || (info.mouse && options.buttons);
            open.push_back(std::move(*node));
        }
    }
    if (!serves.keys && !serves.buttons) {
        if (context != nullptr) {
            udev_unref(context);
        }
        return serves;
    }
    m_shared = std::make_shared<Shared>();
    m_shared->sink = std::move(sink);
    m_reader = std::make_unique<Reader>(m_dispatcher, m_shared, options, serves, std::move(open), context);
    return serves;
}

void EvdevInputHook::Stop() {
    if (m_shared) {
        m_shared->sink = nullptr;
    }
    m_reader.reset();
    m_shared.reset();
}

} // namespace velkor
