#pragma once
// The keyboards and mice under /dev/input, as udev classifies them.
//
// Only the kernel's event nodes ("event*") count; a node is a keyboard when
// udev marks it ID_INPUT_KEYBOARD=1 and a mouse when it marks it
// ID_INPUT_MOUSE=1 (a node may be both). Reading a node needs read access to
// it, which on most systems only members of group `input` have.
// Any thread; nothing here keeps state.
#include <string>
#include <vector>

struct libevdev;
struct udev;
struct udev_device;

namespace velkor {

struct InputNodeInfo {
    std::string devnode; // "/dev/input/event3"
    std::string syspath;
    std::string name; // the device's own name; may be empty
    bool keyboard = false;
    bool mouse = false;
    // Filled by an open attempt: readable, or why not.
    bool readable = false;
    std::string reason;
};

// The classification of one udev device: false when it is no event node, or
// neither keyboard nor mouse.
bool ClassifyInputDevice(udev_device* device, InputNodeInfo& node);

// The keyboard and mouse nodes present now, in node order (readable unset).
// False when udev cannot be queried.
bool EnumerateInputNodes(udev* context, std::vector<InputNodeInfo>& nodes);

// An open node: the file (O_RDONLY | O_NONBLOCK) and its libevdev device.
class OpenInputNode {
public:
    OpenInputNode() = default;
    ~OpenInputNode();
    OpenInputNode(OpenInputNode&& other) noexcept;
    OpenInputNode& operator=(OpenInputNode&& other) noexcept;
    OpenInputNode(const OpenInputNode&) = delete;
    OpenInputNode& operator=(const OpenInputNode&) = delete;

    // Opens `devnode`; on failure returns an empty node and says why in
    // `reason` (a permission error names group `input`).
    static OpenInputNode Open(const std::string& devnode, std::string& reason);

    explicit operator bool() const { return m_device != nullptr; }
    int Fd() const { return m_fd; }
    libevdev* Device() const { return m_device; }

private:
    int m_fd = -1;
    libevdev* m_device = nullptr;
};

// The nodes present now, each opened once to tell whether it is readable (and
// closed again). False when udev cannot be queried.
bool ListInputNodes(std::vector<InputNodeInfo>& nodes);

// The reason text of an open error (errno value).
std::string InputOpenReason(int error);

} // namespace velkor
