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
    // Filled by an open attempt: readable, or why not (and the errno value,
    // 0 when readable).
    bool readable = false;
    std::string reason;
    int error = 0;
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
    // `reason` (InputOpenReason) and `error` (the errno value).
    static OpenInputNode Open(const std::string& devnode, std::string& reason, int& error);
    // Opens the node of `node`, filling its readable, reason and error.
    static OpenInputNode Open(InputNodeInfo& node);

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

// The reason text of an open error (errno value): the system's words and
// what they mean for an input node. Only a permission error (EACCES, EPERM)
// names group `input`; a missing node, a device gone or busy, and anything
// else say so instead.
std::string InputOpenReason(int error);
// Whether an open error is one that membership of group `input` cures.
bool NeedsInputGroup(int error);

// Why no node of `nodes` that counts (a keyboard; also a mouse when
// `orMouse`) is readable, as lines for the user: that udev lists none, or
// that none is readable with each node's cause, and the advice to join group
// `input` only when a node refused permission.
std::vector<std::string> UnreadableInputCause(const std::vector<InputNodeInfo>& nodes, bool orMouse);

} // namespace velkor
