#include "EvdevHookBed.h"

#include <fstream>
#include <sstream>

namespace velkor {
namespace {

std::vector<std::string> Fields(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> fields;
    for (std::string field; in >> field;) {
        fields.push_back(field);
    }
    return fields;
}

} // namespace

FakeNode ReadEvemuNode(const std::string& path) {
    FakeNode node;
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << path;
    for (std::string line; std::getline(in, line);) {
        const std::string tag = line.substr(0, 3);
        const std::vector<std::string> fields = Fields(line.size() > 3 ? line.substr(3) : "");
        if (tag == "N: ") {
            node.name = line.substr(3);
        } else if (tag == "I: " && fields.size() == 4) {
            node.id = input_id{static_cast<uint16_t>(std::stoul(fields[0], nullptr, 16)),
                               static_cast<uint16_t>(std::stoul(fields[1], nullptr, 16)),
                               static_cast<uint16_t>(std::stoul(fields[2], nullptr, 16)),
                               static_cast<uint16_t>(std::stoul(fields[3], nullptr, 16))};
        } else if (tag == "P: ") {
            for (const std::string& field : fields) {
                node.properties.push_back(static_cast<uint8_t>(std::stoul(field, nullptr, 16)));
            }
        } else if (tag == "B: " && !fields.empty()) {
            std::vector<uint8_t>& bits = node.bits[std::stoul(fields[0], nullptr, 16)];
            for (size_t i = 1; i < fields.size(); ++i) {
                bits.push_back(static_cast<uint8_t>(std::stoul(fields[i], nullptr, 16)));
            }
        } else if (tag == "A: " && fields.size() >= 5) {
            // code min max fuzz flat [resolution]
            input_absinfo axis{};
            axis.minimum = std::stoi(fields[1]);
            axis.maximum = std::stoi(fields[2]);
            axis.fuzz = std::stoi(fields[3]);
            axis.flat = std::stoi(fields[4]);
            axis.resolution = fields.size() > 5 ? std::stoi(fields[5]) : 0;
            node.axes[std::stoul(fields[0], nullptr, 16)] = axis;
        }
    }
    // Many recordings' type bits lack types whose codes they list; the kernel sets both.
    std::vector<uint8_t>& types = node.bits[EV_SYN];
    for (const auto& [type, bits] : node.bits) {
        for (uint8_t byte : bits) {
            if (type != EV_SYN && byte != 0) {
                SetBit(types, type);
                break;
            }
        }
    }
    return node;
}

std::vector<input_event> ReadEvemuEvents(const std::string& path) {
    std::vector<input_event> events;
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << path;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("E: ", 0) != 0) {
            continue;
        }
        const std::vector<std::string> fields = Fields(line.substr(3, line.find('#') - 3));
        if (fields.size() != 4) {
            ADD_FAILURE() << line;
            continue;
        }
        input_event event{};
        const size_t dot = fields[0].find('.');
        event.input_event_sec = static_cast<time_t>(std::stol(fields[0].substr(0, dot), nullptr, 10));
        event.input_event_usec = static_cast<suseconds_t>(std::stol(fields[0].substr(dot + 1), nullptr, 10));
        event.type = static_cast<uint16_t>(std::stoul(fields[1], nullptr, 16));
        event.code = static_cast<uint16_t>(std::stoul(fields[2], nullptr, 16));
        event.value = static_cast<int32_t>(std::stol(fields[3], nullptr, 10));
        events.push_back(event);
    }
    return events;
}

EvdevHookBed::EvdevHookBed() {
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(&EvdevHookBed::HandleIoctl), this);
}

EvdevHookBed::~EvdevHookBed() {
    m_hook.reset();
    g_object_unref(m_bed);
    g_object_unref(m_handler);
}

std::string EvdevHookBed::AddNode(int index, const FakeNode& node, const std::string& name) {
    const std::string parent = "/devices/virtual/input/input" + std::to_string(index);
    const std::string event = "event" + std::to_string(index);
    std::string properties;
    for (const auto& [set, property] :
         {std::pair{node.keyboard, "ID_INPUT_KEYBOARD"}, std::pair{node.mouse, "ID_INPUT_MOUSE"},
          std::pair{node.joystick, "ID_INPUT_JOYSTICK"}}) {
        properties += set ? std::string("\nE: ") + property + "=1" : "";
    }
    const std::string minor = std::to_string(64 + index);
    const std::string record = "P: " + parent + "/" + event + "\nN: input/" + event +
                               "\nE: SUBSYSTEM=input\nE: DEVNAME=/dev/input/" + event + "\nE: ID_INPUT=1" +
                               properties + "\nE: MAJOR=13\nE: MINOR=" + minor + "\nA: dev=13:" + minor +
                               "\n\nP: " + parent + "\nE: SUBSYSTEM=input\nA: name=" + name + "\n";
    GError* error = nullptr;
    EXPECT_TRUE(umockdev_testbed_add_from_string(m_bed, record.c_str(), &error))
        << (error ? error->message : "");
    const std::string devnode = "/dev/input/" + event;
    {
        std::lock_guard lock(m_mutex);
        m_nodes[devnode] = node;
        m_nodes[devnode].name = name;
    }
    EXPECT_TRUE(umockdev_testbed_attach_ioctl(m_bed, devnode.c_str(), m_handler, &error))
        << (error ? error->message : "");
    if (error != nullptr) {
        g_error_free(error);
    }
    const int fd = umockdev_testbed_get_dev_fd(m_bed, devnode.c_str());
    termios settings{};
    if (fd >= 0 && tcgetattr(fd, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(fd, TCSANOW, &settings);
    }
    m_ends[devnode] = fd;
    return "/sys" + parent + "/" + event;
}

void EvdevHookBed::Write(const std::string& devnode, uint16_t type, uint16_t code, int32_t value,
                         int64_t usec) {
    input_event events[2]{};
    for (input_event& event : events) {
        event.input_event_sec = static_cast<time_t>(usec / 1'000'000);
        event.input_event_usec = static_cast<suseconds_t>(usec % 1'000'000);
    }
    events[0].type = type;
    events[0].code = code;
    events[0].value = value;
    events[1].type = EV_SYN;
    events[1].code = SYN_REPORT;
    ASSERT_EQ(write(m_ends.at(devnode), events, sizeof events), static_cast<ssize_t>(sizeof events));
}

void EvdevHookBed::WriteEvents(const std::string& devnode, const std::vector<input_event>& events) {
    const ssize_t size = static_cast<ssize_t>(events.size() * sizeof(input_event));
    ASSERT_EQ(write(m_ends.at(devnode), events.data(), size_t(size)), size);
}

EvdevServes EvdevHookBed::Start(EvdevHookOptions options, const std::string& uinputPath) {
    m_hook = std::make_unique<EvdevInputHook>(m_dispatcher);
    // A path the test bed does not mock: a failed open of a mocked path costs
    // the preload library a socket.
    options.uinputPath = uinputPath;
    return m_hook->Start(options, [this](const InputReport& report) { m_reports.push_back(report); });
}

bool EvdevHookBed::WaitFor(const std::function<bool()>& done) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

bool EvdevHookBed::RunUntil(const std::function<bool()>& done) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        m_dispatcher.ProcessPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::vector<unsigned long> EvdevHookBed::Grabs(const std::string& devnode) {
    std::lock_guard lock(m_mutex);
    std::vector<unsigned long> values;
    for (const EvdevRequest& request : m_requests) {
        if (request.devnode == devnode && request.request == EVIOCGRAB) {
            values.push_back(request.value);
        }
    }
    return values;
}

bool EvdevHookBed::Opened(const std::string& devnode) {
    std::lock_guard lock(m_mutex);
    for (const EvdevRequest& request : m_requests) {
        if (request.devnode == devnode && request.request == EVIOCSCLOCKID) {
            return true;
        }
    }
    return false;
}

gboolean EvdevHookBed::HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<EvdevHookBed*>(self)->Answer(client);
    return TRUE;
}

void EvdevHookBed::Answer(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const std::string devnode = umockdev_ioctl_client_get_devnode(client);
    std::unique_lock lock(m_mutex);
    const FakeNode node = m_nodes[devnode];
    if (request == EVIOCGRAB || request == EVIOCSCLOCKID) {
        m_requests.push_back({devnode, request, *reinterpret_cast<unsigned long*>(arg->data)});
        lock.unlock();
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    }
    lock.unlock();
    if (_IOC_TYPE(request) != 'E' || _IOC_DIR(request) != _IOC_READ) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    const unsigned nr = _IOC_NR(request);
    std::vector<uint8_t> reply(_IOC_SIZE(request), 0);
    const auto copy = [&reply](const void* data, size_t size) {
        std::copy_n(static_cast<const uint8_t*>(data), std::min(size, reply.size()), reply.begin());
    };
    if (nr == _IOC_NR(EVIOCGVERSION)) {
        SetBit(reply, 16); // 0x010000
    } else if (nr == _IOC_NR(EVIOCGID)) {
        copy(&node.id, sizeof node.id);
    } else if (nr == _IOC_NR(EVIOCGNAME(0))) {
        copy(node.name.data(), std::min(node.name.size(), reply.size() - 1));
    } else if (nr == _IOC_NR(EVIOCGPHYS(0)) || nr == _IOC_NR(EVIOCGUNIQ(0))) {
        umockdev_ioctl_client_complete(client, -1, ENOENT); // as for a device without them
        return;
    } else if (nr == _IOC_NR(EVIOCGPROP(0))) {
        copy(node.properties.data(), node.properties.size());
    } else if (nr == _IOC_NR(EVIOCGKEY(0))) {
        for (uint16_t code : node.held) {
            SetBit(reply, code);
        }
    } else if (nr == _IOC_NR(EVIOCGBIT(0, 0))) {
        SetBit(reply, EV_SYN);
        for (const auto& [type, bits] : node.bits) {
            if (type != EV_SYN && !bits.empty()) {
                SetBit(reply, type);
            }
        }
    } else if (nr > _IOC_NR(EVIOCGBIT(0, 0)) && nr < _IOC_NR(EVIOCGBIT(EV_MAX + 1, 0))) {
        const auto bits = node.bits.find(nr - _IOC_NR(EVIOCGBIT(0, 0)));
        if (bits != node.bits.end()) {
            copy(bits->second.data(), bits->second.size());
        }
    } else if (nr >= _IOC_NR(EVIOCGABS(0)) && nr <= _IOC_NR(EVIOCGABS(ABS_MAX))) {
        const auto axis = node.axes.find(nr - _IOC_NR(EVIOCGABS(0)));
        if (axis != node.axes.end()) {
            copy(&axis->second, sizeof axis->second);
        }
    }
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, reply.size(), &error);
    if (data != nullptr) {
        std::copy(reply.begin(), reply.end(), data->data);
        g_object_unref(data);
    }
    if (error != nullptr) {
        g_error_free(error);
    }
    umockdev_ioctl_client_complete(client, static_cast<glong>(reply.size()), 0);
}

} // namespace velkor
