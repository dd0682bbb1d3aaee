#include "platform/input/InputNodes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <libudev.h>
#include <unistd.h>
#include <utility>

namespace velkor {
namespace {

bool PropertyIsOne(udev_device* device, const char* name) {
    const char* value = udev_device_get_property_value(device, name);
    return value != nullptr && std::strcmp(value, "1") == 0;
}

// The name sits on the parent input device ("inputN"), quoted in NAME.
std::string DeviceName(udev_device* device) {
    udev_device* parent = udev_device_get_parent_with_subsystem_devtype(device, "input", nullptr);
    const char* name = parent != nullptr ? udev_device_get_sysattr_value(parent, "name") : nullptr;
    return name != nullptr ? std::string(name) : std::string();
}

// Numeric order, so that event10 follows event9.
bool NodeOrder(const InputNodeInfo& a, const InputNodeInfo& b) {
    if (a.devnode.size() != b.devnode.size()) {
        return a.devnode.size() < b.devnode.size();
    }
    return a.devnode < b.devnode;
}

} // namespace

bool ClassifyInputDevice(udev_device* device, InputNodeInfo& node) {
    const char* sysname = udev_device_get_sysname(device);
    const char* devnode = udev_device_get_devnode(device);
    if (sysname == nullptr || devnode == nullptr || std::strncmp(sysname, "event", 5) != 0) {
        return false;
    }
    node = InputNodeInfo{};
    node.keyboard = PropertyIsOne(device, "ID_INPUT_KEYBOARD");
    node.mouse = PropertyIsOne(device, "ID_INPUT_MOUSE");
    if (!node.keyboard && !node.mouse) {
        return false;
    }
    node.devnode = devnode;
    const char* syspath = udev_device_get_syspath(device);
    node.syspath = syspath != nullptr ? syspath : "";
    node.name = DeviceName(device);
    return true;
}

bool EnumerateInputNodes(udev* context, std::vector<InputNodeInfo>& nodes) {
    nodes.clear();
    udev_enumerate* enumerate = context != nullptr ? udev_enumerate_new(context) : nullptr;
    if (enumerate == nullptr) {
        return false;
    }
    udev_enumerate_add_match_subsystem(enumerate, "input");
    udev_enumerate_add_match_sysname(enumerate, "event*");
    const bool scanned = udev_enumerate_scan_devices(enumerate) >= 0;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, scanned ? udev_enumerate_get_list_entry(enumerate) : nullptr) {
        udev_device* device = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        InputNodeInfo node;
        if (device != nullptr && ClassifyInputDevice(device, node)) {
            nodes.push_back(std::move(node));
        }
        if (device != nullptr) {
            udev_device_unref(device);
        }
    }
    udev_enumerate_unref(enumerate);
    std::sort(nodes.begin(), nodes.end(), NodeOrder);
    return scanned;
}

OpenInputNode::~OpenInputNode() {
    if (m_device != nullptr) {
        libevdev_free(m_device);
    }
    if (m_fd >= 0) {
        close(m_fd);
    }
}

OpenInputNode::OpenInputNode(OpenInputNode&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_device(std::exchange(other.m_device, nullptr)) {}

OpenInputNode& OpenInputNode::operator=(OpenInputNode&& other) noexcept {
    if (this != &other) {
        OpenInputNode gone(std::move(*this));
        m_fd = std::exchange(other.m_fd, -1);
        m_device = std::exchange(other.m_device, nullptr);
    }
    return *this;
}

OpenInputNode OpenInputNode::Open(const std::string& devnode, std::string& reason, int& error) {
    OpenInputNode node;
    node.m_fd = open(devnode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (node.m_fd < 0) {
        error = errno;
        reason = InputOpenReason(error);
        return node;
    }
    const int rc = libevdev_new_from_fd(node.m_fd, &node.m_device);
    if (rc < 0) {
        node.m_device = nullptr;
        error = -rc;
        reason = "not an input device: " + std::string(std::strerror(-rc));
        return OpenInputNode{};
    }
    error = 0;
    reason.clear();
    return node;
}

OpenInputNode OpenInputNode::Open(InputNodeInfo& node) {
    OpenInputNode open = Open(node.devnode, node.reason, node.error);
    node.readable = static_cast<bool>(open);
    return open;
}

bool ListInputNodes(std::vector<InputNodeInfo>& nodes) {
    udev* context = udev_new();
    const bool listed = EnumerateInputNodes(context, nodes);
    if (context != nullptr) {
        udev_unref(context);
    }
    for (InputNodeInfo& node : nodes) {
        OpenInputNode::Open(node);
    }
    return listed;
}

bool NeedsInputGroup(int error) {
    return error == EACCES || error == EPERM;
}

std::string InputOpenReason(int error) {
    const char* meaning = nullptr;
    switch (error) {
    case EACCES:
    case EPERM:
        meaning = "reading it needs membership of group input";
        break;
    case ENOENT:
        meaning = "udev lists the device but its node is missing: unplugged, or /dev is not this system's";
        break;
    case ENODEV:
    case ENXIO:
        meaning = "the device is gone: unplugged or switched off";
        break;
    case EBUSY:
        meaning = "another program holds the device";
        break;
    default:
        break;
    }
    std::string reason = std::strerror(error);
    return meaning != nullptr ? reason + " (" + meaning + ")" : reason;
}

std::vector<std::string> UnreadableInputCause(const std::vector<InputNodeInfo>& nodes, bool orMouse) {
    const std::string what = orMouse ? "keyboard or mouse" : "keyboard";
    const auto counts = [&](const InputNodeInfo& node) { return node.keyboard || (orMouse && node.mouse); };
    if (std::none_of(nodes.begin(), nodes.end(), counts)) {
        return {"udev lists no " + what +
                " under /dev/input (none is plugged in, or this system's udev data is not visible here), so "
                "key recording sees only the program's window."};
    }
    std::vector<std::string> lines{"no " + what +
                                   " under /dev/input is readable, so key recording sees only the program's "
                                   "window."};
    bool permission = false;
    for (const InputNodeInfo& node : nodes) {
        if (!counts(node) || node.readable) {
            continue;
        }
        if (NeedsInputGroup(node.error)) {
            permission = true;
        } else {
            lines.push_back(node.devnode + ": " + node.reason);
        }
    }
    if (permission) {
        lines.push_back(
            "to record everywhere, add yourself to group input (sudo usermod -aG input $USER) and "
            "log in again; that group lets every program you run read the keyboard.");
    }
    return lines;
}

} // namespace velkor
