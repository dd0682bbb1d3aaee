// The global input hook on keyboard and mouse nodes in a umockdev test bed:
// the nodes answer the evdev requests from an ioctl handler, and the tests
// write input events into them.
#include "platform/input/EvdevInputHook.h"

#include "keys/KeyFunction.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <linux/input.h>
#include <map>
#include <mutex>
#include <string>
#include <termios.h>
#include <thread>
#include <umockdev.h>
#include <unistd.h>
#include <vector>

namespace velkor {
namespace {

enum class NodeKind { Keyboard, Mouse, Joystick };

struct FakeNode {
    NodeKind kind = NodeKind::Keyboard;
    std::vector<uint16_t> codes; // the EV_KEY codes it has
    std::vector<uint16_t> held;  // keys down when it is opened
};

// One evdev request a node was asked.
struct Request {
    std::string devnode;
    unsigned long request = 0;
    unsigned long value = 0;
};

void SetBit(std::vector<uint8_t>& bits, unsigned bit) {
    if (bit / 8 < bits.size()) {
        bits[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
    }
}

class EvdevHookBed : public testing::Test {
protected:
    EvdevHookBed() {
        g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(&EvdevHookBed::HandleIoctl), this);
    }
    ~EvdevHookBed() override {
        m_hook.reset();
        g_object_unref(m_bed);
        g_object_unref(m_handler);
    }

    // Adds /dev/input/event<index> with its parent input device.
    std::string AddNode(int index, const FakeNode& node, const std::string& name) {
        const std::string parent = "/devices/virtual/input/input" + std::to_string(index);
        const std::string event = "event" + std::to_string(index);
        const char* property = node.kind == NodeKind::Keyboard ? "ID_INPUT_KEYBOARD"
                               : node.kind == NodeKind::Mouse  ? "ID_INPUT_MOUSE"
                                                               : "ID_INPUT_JOYSTICK";
        const std::string minor = std::to_string(64 + index);
        const std::string record = "P: " + parent + "/" + event + "\nN: input/" + event +
                                   "\nE: SUBSYSTEM=input\nE: DEVNAME=/dev/input/" + event +
                                   "\nE: ID_INPUT=1\nE: " + property + "=1\nE: MAJOR=13\nE: MINOR=" + minor +
                                   "\nA: dev=13:" + minor + "\n\nP: " + parent +
                                   "\nE: SUBSYSTEM=input\nA: name=" + name + "\n";
        GError* error = nullptr;
        EXPECT_TRUE(umockdev_testbed_add_from_string(m_bed, record.c_str(), &error))
            << (error ? error->message : "");
        const std::string devnode = "/dev/input/" + event;
        {
            std::lock_guard lock(m_mutex);
            m_nodes[devnode] = node;
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

    // Writes one event and its SYN_REPORT, at `usec` microseconds of the node's clock.
    void Write(const std::string& devnode, uint16_t type, uint16_t code, int32_t value, int64_t usec) {
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
    void Key(const std::string& devnode, uint16_t code, int32_t value, int64_t usec = 0) {
        Write(devnode, EV_KEY, code, value, usec);
    }

    EvdevServes Start(EvdevHookOptions options) {
        m_hook = std::make_unique<EvdevInputHook>(m_dispatcher);
        // No uinput keyboard (and a path the test bed does not mock: a failed open
        // of a mocked path costs the preload library a socket).
        options.uinputPath = "/nonexistent/uinput";
        return m_hook->Start(options, [this](const InputReport& report) { m_reports.push_back(report); });
    }

    // Waits, running nothing, until `done` holds (or a generous bound passes).
    static bool WaitFor(const std::function<bool()>& done) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }
    // Runs the posted reports until `done` holds (or a generous bound passes).
    bool RunUntil(const std::function<bool()>& done) {
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
    // The values of the EVIOCGRAB requests `devnode` was asked, in order.
    std::vector<unsigned long> Grabs(const std::string& devnode) {
        std::lock_guard lock(m_mutex);
        std::vector<unsigned long> values;
        for (const Request& request : m_requests) {
            if (request.devnode == devnode && request.request == EVIOCGRAB) {
                values.push_back(request.value);
            }
        }
        return values;
    }
    bool GrabsAre(const std::string& devnode, std::vector<unsigned long> values) {
        return Grabs(devnode) == values;
    }

    static gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
        static_cast<EvdevHookBed*>(self)->Answer(client);
        return TRUE;
    }

    void Answer(UMockdevIoctlClient* client) {
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
        if (nr == _IOC_NR(EVIOCGVERSION)) {
            SetBit(reply, 16); // 0x010000
        } else if (nr == _IOC_NR(EVIOCGNAME(0))) {
            const std::string name = "fake";
            std::copy(name.begin(), name.end(), reply.begin());
        } else if (nr == _IOC_NR(EVIOCGPHYS(0)) || nr == _IOC_NR(EVIOCGUNIQ(0))) {
            umockdev_ioctl_client_complete(client, -1, ENOENT); // as for a device without them
            return;
        } else if (nr == _IOC_NR(EVIOCGKEY(0))) {
            for (uint16_t code : node.held) {
                SetBit(reply, code);
            }
        } else if (nr == _IOC_NR(EVIOCGBIT(0, 0))) {
            SetBit(reply, EV_SYN);
            SetBit(reply, EV_KEY);
        } else if (nr == _IOC_NR(EVIOCGBIT(EV_KEY, 0))) {
            for (uint16_t code : node.codes) {
                SetBit(reply, code);
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

    UMockdevTestbed* m_bed = umockdev_testbed_new();
    UMockdevIoctlBase* m_handler = umockdev_ioctl_base_new();
    ui::Dispatcher m_dispatcher;
    std::unique_ptr<EvdevInputHook> m_hook;
    std::vector<InputReport> m_reports;
    std::map<std::string, int> m_ends;
    std::mutex m_mutex; // the handler answers on the test bed's own thread
    std::map<std::string, FakeNode> m_nodes;
    std::vector<Request> m_requests;
};

const FakeNode kKeyboard{
    NodeKind::Keyboard, {KEY_A, KEY_ENTER, KEY_RIGHTSHIFT, KEY_KPENTER, KEY_LEFTALT}, {}};
const FakeNode kMouse{NodeKind::Mouse, {BTN_LEFT, BTN_RIGHT, BTN_SIDE, BTN_EXTRA}, {}};

TEST_F(EvdevHookBed, ReadsKeyboardsAndMiceInTimeOrderWithoutRepeats) {
    AddNode(3, kKeyboard, "Test keyboard");
    AddNode(4, kMouse, "Test mouse");
    AddNode(5, FakeNode{NodeKind::Joystick, {BTN_SOUTH}, {}}, "Test pad");
    struct Case {
        const char* devnode;
        uint16_t code;
        int32_t value;
        int64_t usec;
        const char* row; // the key table row reached, or null for buttons and dropped events
        uint8_t button;  // the mouse button bit, for buttons
    };
    // clang-format off
    const std::vector<Case> cases{
        {"/dev/input/event3", KEY_ENTER,      1, 1'000'100, "keyboard_key_Enter",     0},
        {"/dev/input/event3", KEY_ENTER,      2, 1'000'200, nullptr,                  0}, // a repeat
        {"/dev/input/event3", KEY_ENTER,      0, 1'000'300, "keyboard_key_Enter",     0},
        {"/dev/input/event5", BTN_SOUTH,      1, 1'000'350, nullptr,                  0}, // no keyboard, no mouse
        {"/dev/input/event4", BTN_SIDE,       1, 1'000'400, nullptr,                  kMouseFourth},
        {"/dev/input/event3", KEY_KPENTER,    1, 1'000'500, "keyboard_key_Num Enter", 0},
        {"/dev/input/event4", BTN_EXTRA,      1, 1'000'600, nullptr,                  kMouseFifth},
        {"/dev/input/event3", KEY_RIGHTSHIFT, 1, 1'000'700, "keyboard_key_RShift",    0},
    };
    // clang-format on
    // Node after node, all before the hook reads: the reports still come in time order.
    for (const char* node : {"/dev/input/event5", "/dev/input/event4", "/dev/input/event3"}) {
        for (const Case& c : cases) {
            if (std::string(c.devnode) == node) {
                Key(c.devnode, c.code, c.value, c.usec);
            }
        }
    }
    const EvdevServes serves = Start(EvdevHookOptions{.swallowKeys = false});
    EXPECT_TRUE(serves.keys);
    EXPECT_TRUE(serves.buttons);
    ASSERT_EQ(m_hook->Nodes().size(), 2u);
    EXPECT_EQ(m_hook->Nodes()[0].devnode, "/dev/input/event3");
    EXPECT_TRUE(m_hook->Nodes()[0].keyboard && m_hook->Nodes()[0].readable);
    EXPECT_EQ(m_hook->Nodes()[0].name, "Test keyboard");
    EXPECT_TRUE(m_hook->Nodes()[1].mouse && m_hook->Nodes()[1].readable);

    ASSERT_TRUE(RunUntil([this] { return m_reports.size() >= 6; })) << m_reports.size();
    std::vector<InputReport> expected;
    for (const Case& c : cases) {
        if (c.row == nullptr && c.button == 0) {
            continue;
        }
        InputReport report;
        report.kind = c.button != 0 ? InputReport::Kind::Button : InputReport::Kind::Key;
        report.code = c.code;
        report.down = c.value != 0;
        report.timeUs = c.usec;
        if (c.button != 0) {
            report.button = c.button;
        } else {
            const KeyTableRow* row = KeyRowAt(FindKeyByName(c.row));
            ASSERT_NE(row, nullptr) << c.row;
            report.scan = row->scan;
        }
        expected.push_back(report);
    }
    EXPECT_EQ(m_reports, expected);
    m_hook->Stop();
    EXPECT_TRUE(Grabs("/dev/input/event3").empty());
    EXPECT_TRUE(Grabs("/dev/input/event4").empty());
}

TEST_F(EvdevHookBed, GrabsAKeyboardOnlyOnceItsKeysAreUpAndNeverAMouse) {
    AddNode(3, FakeNode{NodeKind::Keyboard, {KEY_A, KEY_LEFTALT}, {KEY_LEFTALT}}, "Held keyboard");
    AddNode(4, kMouse, "Test mouse");
    ASSERT_TRUE(Start(EvdevHookOptions{}).keys);
    Key("/dev/input/event3", KEY_A, 1);
    Key("/dev/input/event3", KEY_A, 0);
    ASSERT_TRUE(RunUntil([this] { return m_reports.size() == 2; }));
    EXPECT_TRUE(Grabs("/dev/input/event3").empty()) << "grabbed while Alt is held";

    Key("/dev/input/event3", KEY_LEFTALT, 0);
    ASSERT_TRUE(RunUntil([this] { return GrabsAre("/dev/input/event3", {1}); }));
    ASSERT_TRUE(RunUntil([this] { return m_reports.size() == 3; }));
    m_hook->Stop();
    EXPECT_EQ(Grabs("/dev/input/event3"), (std::vector<unsigned long>{1, 0}));
    EXPECT_TRUE(Grabs("/dev/input/event4").empty());
}

TEST_F(EvdevHookBed, AReportLeftUntakenReleasesTheKeyboardUntilTaken) {
    AddNode(3, kKeyboard, "Test keyboard");
    ASSERT_TRUE(Start(EvdevHookOptions{.buttons = false}).keys);
    ASSERT_TRUE(RunUntil([this] { return GrabsAre("/dev/input/event3", {1}); }));
    Key("/dev/input/event3", KEY_A, 1);
    // The report is not taken (nothing runs the dispatcher): the reader lets the keyboard go.
    WaitFor([this] { return GrabsAre("/dev/input/event3", {1, 0}); });
    ASSERT_EQ(Grabs("/dev/input/event3"), (std::vector<unsigned long>{1, 0}));
    EXPECT_TRUE(m_reports.empty());
    // Taken at last: the report arrives and the keyboard is kept again once A is up.
    Key("/dev/input/event3", KEY_A, 0);
    ASSERT_TRUE(RunUntil([this] { return GrabsAre("/dev/input/event3", {1, 0, 1}); }));
    EXPECT_EQ(m_reports.size(), 2u);
}

TEST_F(EvdevHookBed, AKeyboardPluggedInLaterIsReadAndKept) {
    AddNode(3, kKeyboard, "Test keyboard");
    ASSERT_TRUE(Start(EvdevHookOptions{.buttons = false}).keys);
    const std::string later = AddNode(6, kKeyboard, "Later keyboard");
    umockdev_testbed_uevent(m_bed, later.c_str(), "add");
    ASSERT_TRUE(RunUntil([this] { return GrabsAre("/dev/input/event6", {1}); }));
    Key("/dev/input/event6", KEY_A, 1, 5'000'000);
    ASSERT_TRUE(RunUntil([this] { return m_reports.size() == 1; }));
    EXPECT_EQ(m_reports[0].timeUs, 5'000'000);
}

TEST_F(EvdevHookBed, ANodeThatCannotBeOpenedIsReportedAndSkipped) {
    AddNode(3, kKeyboard, "Test keyboard");
    AddNode(4, kKeyboard, "Vanished keyboard");
    const std::string root = umockdev_testbed_get_root_dir(m_bed);
    ASSERT_EQ(unlink((root + "/dev/input/event4").c_str()), 0);
    ASSERT_TRUE(Start(EvdevHookOptions{.buttons = false}).keys);
    ASSERT_EQ(m_hook->Nodes().size(), 2u);
    EXPECT_TRUE(m_hook->Nodes()[0].readable);
    EXPECT_FALSE(m_hook->Nodes()[1].readable);
    EXPECT_NE(m_hook->Nodes()[1].reason.find("No such file"), std::string::npos) << m_hook->Nodes()[1].reason;
    Key("/dev/input/event3", KEY_A, 1);
    ASSERT_TRUE(RunUntil([this] { return m_reports.size() == 1; }));
}

TEST_F(EvdevHookBed, NoReadableNodeServesNothing) {
    AddNode(4, kMouse, "Test mouse");
    const EvdevServes serves = Start(EvdevHookOptions{.buttons = false});
    EXPECT_FALSE(serves.keys);
    EXPECT_FALSE(m_hook->IsRunning());
}

TEST_F(EvdevHookBed, StopEndsAWaitingReaderAndDropsLateReports) {
    AddNode(3, kKeyboard, "Test keyboard");
    ASSERT_TRUE(Start(EvdevHookOptions{}).keys);
    ASSERT_TRUE(WaitFor([this] { return !Grabs("/dev/input/event3").empty(); }));
    Key("/dev/input/event3", KEY_A, 1);
    ASSERT_TRUE(WaitFor([this] { return m_dispatcher.PendingCount() > 0; })); // posted, not taken
    m_hook->Stop();
    EXPECT_FALSE(m_hook->IsRunning());
    EXPECT_EQ(Grabs("/dev/input/event3").back(), 0u);
    m_dispatcher.ProcessPending();
    EXPECT_TRUE(m_reports.empty());
}

} // namespace
} // namespace velkor
