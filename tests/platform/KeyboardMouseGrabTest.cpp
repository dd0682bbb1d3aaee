// A keyboard that is also a mouse, kept while keys are captured: the real
// Logitech K400 Plus (a keyboard with a touchpad) from its evemu recording,
// which udev marks ID_INPUT_KEYBOARD and ID_INPUT_MOUSE (see the
// RealInputDevices tests). Its keys are kept, its pointer goes on through a
// pointer pass; without uinput it is left alone and the trace says why.
#include "EvdevHookBed.h"

#include "keys/EvdevKeys.h"
#include "keys/KeyFunction.h"
#include "platform/Trace.h"

#include <algorithm>
#include <array>

namespace velkor {
namespace {

const std::string kK400 =
    std::string(VELKOR_REALINPUT_DIR) + "/evemu-devices/keyboards/Logitech K400 Plus.events";
const std::string kK400Node = "/dev/input/event7";

FakeNode K400() {
    FakeNode node = ReadEvemuNode(kK400);
    node.keyboard = true; // udev's classification of it
    node.mouse = true;
    return node;
}

// What the passes a test made were asked.
struct PassLog {
    std::mutex mutex;
    std::vector<PointerCaps> made;
    std::vector<std::array<int, 3>> written; // type, code, value
    int alive = 0;
    std::string syspath; // the virtual device's, as a uinput pass would give it
};

class LoggedPass final : public PointerPass {
public:
    explicit LoggedPass(std::shared_ptr<PassLog> log) : m_log(std::move(log)) {}
    ~LoggedPass() override {
        std::lock_guard lock(m_log->mutex);
        --m_log->alive;
    }
    bool Write(std::uint16_t type, std::uint16_t code, std::int32_t value) override {
        std::lock_guard lock(m_log->mutex);
        m_log->written.push_back({type, code, value});
        return true;
    }
    std::string Syspath() const override { return m_log->syspath; }

private:
    std::shared_ptr<PassLog> m_log;
};

class KeyboardMouseBed : public EvdevHookBed {
protected:
    EvdevHookOptions LoggedOptions() {
        EvdevHookOptions options;
        options.pointerPass = [log = m_log](const PointerCaps& caps, std::string&) {
            std::lock_guard lock(log->mutex);
            log->made.push_back(caps);
            ++log->alive;
            return std::make_unique<LoggedPass>(log);
        };
        return options;
    }
    std::vector<std::array<int, 3>> Written() {
        std::lock_guard lock(m_log->mutex);
        return m_log->written;
    }
    int Alive() {
        std::lock_guard lock(m_log->mutex);
        return m_log->alive;
    }

    std::shared_ptr<PassLog> m_log = std::make_shared<PassLog>();
};

std::vector<InputReport> Presses(const std::vector<InputReport>& reports) {
    std::vector<InputReport> presses = reports;
    for (InputReport& report : presses) {
        report.timeUs = 0;
    }
    return presses;
}

InputReport KeyReport(uint16_t code, bool down) {
    InputReport report;
    report.code = code;
    report.down = down;
    report.scan = ScanCodeFromEvdev(code);
    return report;
}

TEST_F(KeyboardMouseBed, AKeptK400PassesItsPointerOnAndKeepsItsKeys) {
    AddNode(7, K400(), "Logitech K400 Plus");
    m_log->syspath = "/sys/devices/virtual/input/input9";
    ASSERT_TRUE(Start(LoggedOptions()).keys);
    ASSERT_TRUE(RunUntil([this] { return GrabsAre(kK400Node, {1}); }));

    // The pass offers the K400's pointer half: its motion, wheels and buttons, no key.
    std::vector<PointerCaps> made;
    {
        std::lock_guard lock(m_log->mutex);
        made = m_log->made;
    }
    ASSERT_EQ(made.size(), 1u);
    const PointerCaps& caps = made[0];
    EXPECT_EQ(caps.name, "Logitech K400 Plus");
    EXPECT_EQ(caps.relative, (std::vector<uint16_t>{REL_X, REL_Y, REL_HWHEEL, REL_DIAL, REL_WHEEL}));
    EXPECT_EQ(caps.buttons.front(), BTN_LEFT);
    EXPECT_EQ(caps.buttons.size(), 16u) << "BTN_LEFT to BTN_TASK and the eight after";
    ASSERT_EQ(caps.absolute.size(), 1u);
    EXPECT_EQ(caps.absolute[0], (PointerAxis{ABS_VOLUME, 1, 652, 0, 0, 0}));

    // Its own virtual device appears: the hook never reads it.
    umockdev_testbed_uevent(m_bed, AddNode(9, KeyNode(NodeKind::Mouse, {BTN_LEFT}), "pass").c_str(), "add");

    // The recording (Enter up, Ctrl down and repeated, C down), then the touchpad.
    WriteEvents(kK400Node, ReadEvemuEvents(kK400));
    Write(kK400Node, EV_REL, REL_X, 5, 12'000'000);
    Write(kK400Node, EV_KEY, BTN_LEFT, 1, 12'100'000);
    Write(kK400Node, EV_KEY, BTN_LEFT, 0, 12'200'000);
    Write(kK400Node, EV_REL, REL_WHEEL, -1, 12'300'000);
    Key("/dev/input/event9", BTN_LEFT, 1, 12'400'000); // were it read, a third button report
    ASSERT_TRUE(RunUntil([this] { return m_reports.size() >= 5; }));
    InputReport left;
    left.kind = InputReport::Kind::Button;
    left.code = BTN_LEFT;
    left.button = kMouseLeft;
    InputReport leftUp = left;
    leftUp.down = false;
    EXPECT_EQ(Presses(m_reports),
              (std::vector<InputReport>{KeyReport(KEY_ENTER, false), KeyReport(KEY_LEFTCTRL, true),
                                        KeyReport(KEY_C, true), left, leftUp}));
    // Only the pointer's events went on, each frame ended; the keys were kept.
    const std::vector<std::array<int, 3>> pointer{
        {EV_REL, REL_X, 5},    {EV_SYN, SYN_REPORT, 0}, {EV_KEY, BTN_LEFT, 1},   {EV_SYN, SYN_REPORT, 0},
        {EV_KEY, BTN_LEFT, 0}, {EV_SYN, SYN_REPORT, 0}, {EV_REL, REL_WHEEL, -1}, {EV_SYN, SYN_REPORT, 0}};
    ASSERT_TRUE(WaitFor([&] { return Written().size() >= pointer.size(); }));
    EXPECT_EQ(Written(), pointer);
    EXPECT_FALSE(Opened("/dev/input/event9"));

    m_hook->Stop();
    EXPECT_EQ(Grabs(kK400Node), (std::vector<unsigned long>{1, 0}));
    EXPECT_EQ(Alive(), 0) << "the pass ends with the grab";
    m_dispatcher.ProcessPending();
    EXPECT_EQ(m_reports.size(), 5u);
}

TEST_F(KeyboardMouseBed, AK400WhosePointerCannotBePassedOnIsNotKeptAndTheTraceSaysWhy) {
    std::mutex mutex;
    std::vector<std::string> lines;
    ScopedTraceSink sink([&](std::string_view line) {
        std::lock_guard lock(mutex);
        lines.emplace_back(line);
    });
    AddNode(3, KeyNode(NodeKind::Keyboard, {KEY_A}), "Test keyboard");
    AddNode(7, K400(), "Logitech K400 Plus");
    // The real pass, through a uinput that is not there (as on this machine without /dev/uinput).
    ASSERT_TRUE(Start(EvdevHookOptions{}, "/nonexistent/uinput").keys);
    ASSERT_TRUE(RunUntil([this] { return GrabsAre("/dev/input/event3", {1}); }));
    const std::string why =
        "input hook: /dev/input/event7 (Logitech K400 Plus) is a keyboard and a mouse, and its "
        "pointer cannot be passed on (/nonexistent/uinput: No such file or directory): it is "
        "not kept, its keys reach other programs";
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard lock(mutex);
        return std::find(lines.begin(), lines.end(), why) != lines.end();
    }));
    // Still read, never grabbed.
    WriteEvents(kK400Node, ReadEvemuEvents(kK400));
    ASSERT_TRUE(RunUntil([this] { return m_reports.size() == 3; }));
    m_hook->Stop();
    EXPECT_TRUE(Grabs(kK400Node).empty());
    EXPECT_EQ(Grabs("/dev/input/event3"), (std::vector<unsigned long>{1, 0}));
}

} // namespace
} // namespace velkor
