// The main window shell, the bus inbox and the control factory.
#include "AppTestSupport.h"
#include "app/BusInbox.h"
#include "app/CMainWnd.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryUser.h"

#include <gtest/gtest.h>
#include <thread>

namespace velkor::test {
namespace {

class ShellTest : public ::testing::Test {
protected:
    ShellTest() { RegisterProgramControlClasses(m_factory); }

    ui::ManualClock m_clock;
    std::unique_ptr<ui::MemoryToolkit> m_toolkit = ui::MemoryToolkit::Create(SourceSkin().string(), m_clock);
    ControlFactory m_factory;
    ui::MemoryUser m_user;
};

TEST_F(ShellTest, LayoutHasTheTitleButtonsAndContainersAndAnnounceBringsItBack) {
    CMainWnd main({*m_toolkit, m_factory});
    ASSERT_TRUE(main.Create());
    ui::Window& window = *main.GetWindow();
    for (std::string_view name : CMainWnd::kTitleButtons) {
        EXPECT_NE(main.TitleButton(name), nullptr) << name;
    }
    for (const char* name :
         {"device_select_layout", "device_switch", "device_power_switch", "control_light_status"}) {
        EXPECT_NE(window.FindControl(name), nullptr) << name;
    }
    ui::Control* hint = window.FindControl("No_device_Link");
    EXPECT_TRUE(hint->IsVisible()); // no device item yet

    ui::Control* item =
        m_toolkit->BuildInto(*window.FindControl("device_select_layout"), "test/row.ui", nullptr);
    ASSERT_NE(item, nullptr);
    window.Minimize();
    main.HandleBusMessage(MakeBusMessage(BusMessageKind::GameStart, 1, 2)); // not for the shell
    EXPECT_TRUE(window.IsMinimized());
    main.HandleBusMessage(MakeBusMessage(BusMessageKind::Announce, 0, 1));
    EXPECT_FALSE(window.IsMinimized());
    EXPECT_FALSE(hint->IsVisible()); // a device item is visible

    item->SetVisible(false);
    window.Hide();
    main.BringWindowToFront();
    EXPECT_TRUE(window.IsVisible());
    EXPECT_TRUE(hint->IsVisible());
}

std::vector<int32_t> Params(const std::vector<BusMessage>& messages) {
    std::vector<int32_t> params;
    for (const BusMessage& message : messages) {
        params.push_back(message.lParam);
    }
    return params;
}

TEST_F(ShellTest, InboxKeepsEarlyMessagesInOrderWithinItsCapacity) {
    BusInbox inbox(4);
    std::vector<BusMessage> got;
    std::thread::id handledOn;
    std::thread bus([&] {
        for (int32_t i = 1; i <= 6; ++i) {
            inbox.Receive(MakeBusMessage(BusMessageKind::Announce, 0, i));
        }
    });
    bus.join();
    EXPECT_EQ(inbox.DroppedCount(), 2u);
    inbox.Attach(m_toolkit->GetDispatcher(), [&](const BusMessage& message) {
        got.push_back(message);
        handledOn = std::this_thread::get_id();
    });
    inbox.Receive(MakeBusMessage(BusMessageKind::Announce, 0, 7)); // four still in flight: dropped
    EXPECT_TRUE(got.empty());                                      // only through the loop
    m_toolkit->ProcessPending();
    EXPECT_EQ(Params(got), (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(handledOn, std::this_thread::get_id());
    inbox.Receive(MakeBusMessage(BusMessageKind::Announce, 0, 8));
    m_toolkit->ProcessPending();
    EXPECT_EQ(got.back().lParam, 8);

    inbox.Receive(MakeBusMessage(BusMessageKind::Announce, 0, 9));
    inbox.Detach(); // what waits and what comes later is dropped
    inbox.Receive(MakeBusMessage(BusMessageKind::Announce, 0, 10));
    m_toolkit->ProcessPending();
    EXPECT_EQ(got.size(), 5u);
    EXPECT_EQ(inbox.DroppedCount(), 5u);
}

TEST_F(ShellTest, InboxKeepsTheLatestSixCopyDataApartFromTheOtherMessages) {
    BusInbox inbox(3, 6);
    std::vector<BusMessage> got;
    const auto frame = [](uint8_t n) {
        return MakeCopyData(BusMessageKind::CopyData, kCopyDataAudioFrame, std::vector<uint8_t>{n});
    };
    // A flood of frames before and around the others: it pushes out only older frames.
    inbox.Receive(MakeBusMessage(BusMessageKind::Announce, 0, 1));
    for (uint8_t n = 1; n <= 10; ++n) {
        inbox.Receive(frame(n));
    }
    inbox.Receive(MakeBusMessage(BusMessageKind::GameStart, 0, 2));
    inbox.Receive(MakeBusMessage(BusMessageKind::LightingControlRequest, 1, 3));
    inbox.Receive(MakeBusMessage(BusMessageKind::GameEnd, 0, 4)); // the fourth other message: over its bound
    EXPECT_EQ(inbox.DroppedCount(), 4u + 1u);
    inbox.Attach(m_toolkit->GetDispatcher(), [&](const BusMessage& message) { got.push_back(message); });
    for (uint8_t n = 11; n <= 13; ++n) {
        inbox.Receive(frame(n)); // frames 5, 6, 7 make room
    }
    m_toolkit->ProcessPending();
    std::vector<int> frames;
    std::vector<int32_t> others;
    for (const BusMessage& message : got) {
        if (message.kind == BusMessageKind::CopyData) {
            frames.push_back(message.data.at(0));
        } else {
            others.push_back(message.lParam);
        }
    }
    EXPECT_EQ(others, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(frames, (std::vector<int>{8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(inbox.DroppedCount(), 8u);
    inbox.Receive(frame(14)); // the drain ended: a new frame gets a new one
    m_toolkit->ProcessPending();
    EXPECT_EQ(got.back().data.at(0), 14);
}

class Marker final : public ControlObject {};

class Fallback final : public ui::ControlCreator {
public:
    bool CanCreate(std::string_view className) const override { return className == "TestProfileBar"; }
    void ControlCreated(std::string_view className, ui::Control& control) override {
        created.push_back(std::string(className) + ":" + control.Name());
    }
    std::vector<std::string> created;
};

TEST_F(ShellTest, FactoryClassesBuildWithTheirObjectsAndOthersGoToTheFallback) {
    EXPECT_FALSE(m_factory.Register("CLightControlUI")); // registered already
    ASSERT_TRUE(
        m_factory.Register("TestDevicePage", [](ui::Control&) { return std::make_unique<Marker>(); }));
    auto host = m_toolkit->CreateWindow(ui::WindowOptions{.layout = "XML_MAIN"});
    ui::Control& pages = *host->FindControl("device_switch");

    std::string error;
    Fallback fallback;
    FactoryControlCreator creator(m_factory, &fallback);
    ui::Control* page = m_toolkit->BuildInto(pages, "test/page.ui", &creator, &error);
    ASSERT_NE(page, nullptr) << error;
    EXPECT_NE(dynamic_cast<Marker*>(creator.ObjectOf(*page)), nullptr);
    EXPECT_EQ(fallback.created, (std::vector<std::string>{"TestProfileBar:profile_bar_item"}));

    // Without a maker the class still builds, as a plain container.
    EXPECT_TRUE(m_factory.SetMaker("TestDevicePage", nullptr));
    ui::Control* plain = m_toolkit->BuildInto(pages, "test/page.ui", &creator);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(creator.ObjectOf(*plain), nullptr);
}

} // namespace
} // namespace velkor::test
