// The main window's input hook on the window's own input (the in-memory
// toolkit's tap): one hook at a time, the report kind by mode, and the notice
// that recording sees only this window, once per run.
#include "MainWndFixture.h"
#include "ui/memory/MemoryWindow.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

namespace velkor::test {
namespace {

class InputHookTest : public MainWndFixture {
protected:
    InputHookTest() {
        m_toolkit->SetModalDriver([this](ui::MemoryWindow& box) {
            ui::Control* text = box.FindControl("MessageText");
            m_messages.push_back(text != nullptr ? text->DisplayText() : "?");
            m_user.Click(box, "confirm_btn");
        });
    }
    void SetUp() override {
        MainWndServices services = Services(false);
        WithLanguages(services);
        ASSERT_TRUE(StartWith(services));
        m_main->Recording().SetHookListener([this](HookReport report, const ui::InputPress& press) {
            m_reports.push_back({report, press});
        });
    }
    ui::Window& Window() { return *m_main->GetWindow(); }

    std::vector<std::string> m_messages;
    std::vector<std::pair<HookReport, ui::InputPress>> m_reports;
};

TEST_F(InputHookTest, ASecondStartReplacesTheFirst) {
    ASSERT_EQ(m_main->Recording().StartInputHook(1, true, false), 1);
    ASSERT_EQ(m_main->Recording().StartInputHook(16, true, true), 1);
    EXPECT_EQ(m_main->Recording().InputHook().Mode(), 16);
    EXPECT_EQ(m_main->Recording().InputHook().KeySource(), HookSourceKind::Window);
    EXPECT_EQ(m_main->Recording().InputHook().ButtonSource(), HookSourceKind::Window);
    m_user.PressKey(Window(), KEY_B, true, 500);
    m_user.PressButton(Window(), BTN_SIDE, false, 520);
    ASSERT_EQ(m_reports.size(), 2u);
    EXPECT_EQ(HookReportName(m_reports[0].first), "WM_HOOK_KEY_KBMACROLATER_MSG");
    EXPECT_EQ(m_reports[0].second, (ui::InputPress{ui::InputPress::Kind::Key, KEY_B, true, 500}));
    EXPECT_EQ(HookReportName(m_reports[1].first), "WM_HOOK_KEY_MSMACROLATER_MSG");
    EXPECT_EQ(m_reports[1].second.code, BTN_SIDE);

    EXPECT_EQ(m_main->Recording().StopInputHook(), 1);
    EXPECT_EQ(Window().GetInputTap(), nullptr);
    EXPECT_EQ(m_main->Recording().StopInputHook(), 0);
    m_user.PressKey(Window(), KEY_B, true);
    EXPECT_EQ(m_reports.size(), 2u);
}

TEST_F(InputHookTest, ModesWithoutAButtonReportIgnoreButtonsAndKeepKeys) {
    ASSERT_EQ(m_main->Recording().StartInputHook(1, true, true), 1);
    m_user.PressButton(Window(), BTN_LEFT, true);
    m_user.PressKey(Window(), KEY_LEFTALT, true);
    ASSERT_EQ(m_reports.size(), 1u);
    EXPECT_EQ(HookReportName(m_reports[0].first), "WM_HOOK_KEY_SINGLEKEY_MSG");
}

// Mode, then whether starting it shows the notice.
class InputHookNotice : public InputHookTest, public ::testing::WithParamInterface<std::pair<int, bool>> {};

TEST_P(InputHookNotice, ShownOncePerRunForRecordingModes) {
    const auto [mode, notice] = GetParam();
    ASSERT_EQ(m_main->Recording().StartInputHook(mode, true, true), 1);
    ASSERT_EQ(m_main->Recording().StartInputHook(mode, true, true), 1);
    ASSERT_EQ(m_messages.size(), notice ? 1u : 0u);
    if (notice) {
        EXPECT_NE(m_messages[0].find("input"), std::string::npos) << m_messages[0];
    }
    // A later recording in the same run: the notice only when none was shown yet.
    ASSERT_EQ(m_main->Recording().StartInputHook(32, true, false), 1);
    EXPECT_EQ(m_messages.size(), 1u);
}

// A desktop-wide source that can read the classes it is given (the evdev
// source's own behaviour is tested on umockdev nodes in the platform tests).
class DesktopSource final : public HookInputSource {
public:
    explicit DesktopSource(InputClasses readable) : m_readable(readable) {}
    HookSourceKind Kind() const override { return HookSourceKind::Global; }
    InputClasses Begin(ui::InputTap& sink, InputClasses wanted) override {
        m_sink = &sink;
        return InputClasses{wanted.keys && m_readable.keys, wanted.buttons && m_readable.buttons};
    }
    void End() override { m_sink = nullptr; }
    void Press(ui::InputPress press) {
        if (m_sink != nullptr) {
            m_sink->InputTapped(press);
        }
    }

private:
    InputClasses m_readable;
    ui::InputTap* m_sink = nullptr;
};

// What the desktop source can read, then where keys and buttons come from.
struct FallbackCase {
    InputClasses readable;
    HookSourceKind keys;
    HookSourceKind buttons;
};

class InputHookFallback : public InputHookTest, public ::testing::WithParamInterface<FallbackCase> {
protected:
    void SetUp() override {
        MainWndServices services = Services(false);
        WithLanguages(services);
        services.globalInput = &m_desktop;
        ASSERT_TRUE(StartWith(services));
        m_main->Recording().SetHookListener([this](HookReport report, const ui::InputPress& press) {
            m_reports.push_back({report, press});
        });
    }
    DesktopSource m_desktop{GetParam().readable};
};

TEST_P(InputHookFallback, EachClassComesFromOneSourceOnly) {
    const FallbackCase& c = GetParam();
    ASSERT_EQ(m_main->Recording().StartInputHook(4, true, true), 1);
    EXPECT_EQ(m_main->Recording().InputHook().KeySource(), c.keys);
    EXPECT_EQ(m_main->Recording().InputHook().ButtonSource(), c.buttons);
    // The same press from both sources is recorded once, from the serving one.
    m_desktop.Press({ui::InputPress::Kind::Key, KEY_A, true, 100});
    m_user.PressKey(Window(), KEY_A, true, 200);
    m_desktop.Press({ui::InputPress::Kind::Button, BTN_SIDE, true, 300});
    m_user.PressButton(Window(), BTN_SIDE, true, 400);
    ASSERT_EQ(m_reports.size(), 2u);
    EXPECT_EQ(m_reports[0].second.timeMs, c.keys == HookSourceKind::Global ? 100 : 200);
    EXPECT_EQ(m_reports[1].second.timeMs, c.buttons == HookSourceKind::Global ? 300 : 400);
    // The window keeps its keys from its fields whichever source serves them.
    EXPECT_NE(Window().GetInputTap(), nullptr);
    // Recording that sees only the window says so.
    EXPECT_EQ(m_messages.size(), c.keys == HookSourceKind::Window ? 1u : 0u);
    m_main->Recording().StopInputHook();
    m_desktop.Press({ui::InputPress::Kind::Key, KEY_A, true, 500});
    EXPECT_EQ(m_reports.size(), 2u);
}

constexpr auto kGlobal = HookSourceKind::Global;
constexpr auto kWindow = HookSourceKind::Window;
INSTANTIATE_TEST_SUITE_P(Classes, InputHookFallback,
                         ::testing::Values(FallbackCase{{true, true}, kGlobal, kGlobal},
                                           FallbackCase{{true, false}, kGlobal, kWindow},
                                           FallbackCase{{false, true}, kWindow, kGlobal},
                                           FallbackCase{{false, false}, kWindow, kWindow}),
                         [](const ::testing::TestParamInfo<FallbackCase>& info) {
                             const auto name = [](HookSourceKind kind) {
                                 return kind == kGlobal ? std::string("Desktop") : std::string("Window");
                             };
                             return "Keys" + name(info.param.keys) + "Buttons" + name(info.param.buttons);
                         });

INSTANTIATE_TEST_SUITE_P(Modes, InputHookNotice,
                         ::testing::Values(std::pair{1, false}, std::pair{2, false}, std::pair{4, true},
                                           std::pair{8, true}, std::pair{16, true}, std::pair{32, true},
                                           std::pair{64, false}, std::pair{256, false}));

} // namespace
} // namespace velkor::test
