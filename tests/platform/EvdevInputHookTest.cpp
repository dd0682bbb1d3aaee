// The global input hook on keyboard and mouse nodes in a umockdev test bed:
// the nodes answer the evdev requests from an ioctl handler, and the tests
// write input events into them.
#include "EvdevHookBed.h"

#include "keys/KeyFunction.h"

namespace velkor {
namespace {

const FakeNode kKeyboard =
    KeyNode(NodeKind::Keyboard, {KEY_A, KEY_ENTER, KEY_RIGHTSHIFT, KEY_KPENTER, KEY_LEFTALT});
const FakeNode kMouse = KeyNode(NodeKind::Mouse, {BTN_LEFT, BTN_RIGHT, BTN_SIDE, BTN_EXTRA});

TEST_F(EvdevHookBed, ReadsKeyboardsAndMiceInTimeOrderWithoutRepeats) {
    AddNode(3, kKeyboard, "Test keyboard");
    AddNode(4, kMouse, "Test mouse");
    AddNode(5, KeyNode(NodeKind::Joystick, {BTN_SOUTH}), "Test pad");
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
    AddNode(3, KeyNode(NodeKind::Keyboard, {KEY_A, KEY_LEFTALT}, {KEY_LEFTALT}), "Held keyboard");
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
