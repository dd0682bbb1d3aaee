#pragma once
// A umockdev test bed for the global input hook: keyboard and mouse nodes
// that answer the evdev requests from an ioctl handler (their capabilities,
// the keys held, and for real devices the axes an evemu description gives),
// into which the tests write input events.
#include "platform/input/EvdevInputHook.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <linux/input.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <termios.h>
#include <thread>
#include <umockdev.h>
#include <unistd.h>
#include <vector>

namespace velkor {

// One node as the kernel and udev describe it.
struct FakeNode {
    // udev's classification (ID_INPUT_KEYBOARD, ID_INPUT_MOUSE, ID_INPUT_JOYSTICK).
    bool keyboard = false;
    bool mouse = false;
    bool joystick = false;
    std::string name = "fake";
    input_id id{};
    std::map<unsigned, std::vector<uint8_t>> bits; // event type: its code bits
    std::map<unsigned, input_absinfo> axes;        // ABS_* code: its range
    std::vector<uint8_t> properties;
    std::vector<uint16_t> held; // keys down when it is opened
};

enum class NodeKind { Keyboard, Mouse, Joystick };

inline void SetBit(std::vector<uint8_t>& bits, unsigned bit) {
    if (bits.size() <= bit / 8) {
        bits.resize(bit / 8 + 1);
    }
    bits[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
}

// A node with these EV_KEY codes (and keys held when it is opened).
inline FakeNode KeyNode(NodeKind kind, const std::vector<uint16_t>& codes, std::vector<uint16_t> held = {}) {
    FakeNode node;
    node.keyboard = kind == NodeKind::Keyboard;
    node.mouse = kind == NodeKind::Mouse;
    node.joystick = kind == NodeKind::Joystick;
    for (uint16_t code : codes) {
        SetBit(node.bits[EV_KEY], code);
    }
    node.held = std::move(held);
    return node;
}

// The node an evemu description (N:, I:, P:, B: and A: lines) gives; nothing
// in it is classified (udev's classification is the caller's). Fails the test
// when the file cannot be read.
FakeNode ReadEvemuNode(const std::string& path);
// The events an evemu recording holds (its E: lines), times as written.
std::vector<input_event> ReadEvemuEvents(const std::string& path);

// One evdev request a node was asked.
struct EvdevRequest {
    std::string devnode;
    unsigned long request = 0;
    unsigned long value = 0;
};

class EvdevHookBed : public testing::Test {
protected:
    EvdevHookBed();
    ~EvdevHookBed() override;

    // Adds /dev/input/event<index> with its parent input device; returns the node's sysfs path.
    std::string AddNode(int index, const FakeNode& node, const std::string& name);
    // Writes one event and its SYN_REPORT, at `usec` microseconds of the node's clock.
    void Write(const std::string& devnode, uint16_t type, uint16_t code, int32_t value, int64_t usec);
    // Writes events as they are (a recording's frames end with their own SYN_REPORT).
    void WriteEvents(const std::string& devnode, const std::vector<input_event>& events);
    void Key(const std::string& devnode, uint16_t code, int32_t value, int64_t usec = 0) {
        Write(devnode, EV_KEY, code, value, usec);
    }

    // Starts the hook; without a uinput of the test bed unless `uinputPath` is given.
    EvdevServes Start(EvdevHookOptions options, const std::string& uinputPath = "/nonexistent/uinput");

    // Waits, running nothing, until `done` holds (or a generous bound passes).
    static bool WaitFor(const std::function<bool()>& done);
    // Runs the posted reports until `done` holds (or a generous bound passes).
    bool RunUntil(const std::function<bool()>& done);
    // The values of the EVIOCGRAB requests `devnode` was asked, in order.
    std::vector<unsigned long> Grabs(const std::string& devnode);
    bool GrabsAre(const std::string& devnode, const std::vector<unsigned long>& values) {
        return Grabs(devnode) == values;
    }
    // Whether the hook opened `devnode` (it asks each node it reads for the monotonic clock).
    bool Opened(const std::string& devnode);

    static gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    void Answer(UMockdevIoctlClient* client);

    UMockdevTestbed* m_bed = umockdev_testbed_new();
    UMockdevIoctlBase* m_handler = umockdev_ioctl_base_new();
    ui::Dispatcher m_dispatcher;
    std::unique_ptr<EvdevInputHook> m_hook;
    std::vector<InputReport> m_reports;
    std::map<std::string, int> m_ends;
    std::mutex m_mutex; // the handler answers on the test bed's own thread
    std::map<std::string, FakeNode> m_nodes;
    std::vector<EvdevRequest> m_requests;
};

} // namespace velkor
