// A DPI slider dragged through a hundred positions and released, against the
// simulated mouse on its cable: the window's thread only asks, the mouse's
// worker writes, the writes coalesce to at most two with the released value
// last, and each of them keeps the protocol's 10 ms wait before EndSession.
#include "DeviceTestSupport.h"
#include "devices/TolvanicMouseDevice.h"

#include <chrono>
#include <filesystem>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using sim::SimDirection;
using sim::SimUnit;

constexpr uint8_t kBeginSession = 0x01;
constexpr uint8_t kEndSession = 0x02;
// Stage 1's X step in profile slot 0 of the parameter memory.
constexpr size_t kStageOneX = 14 + sizeof(MouseStageBytes) + 2;

class DpiDrag : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path source = fs::path(__FILE__).parent_path() / ".." / ".." / "DefaultData";
        fs::create_directories(Program());
        fs::copy(source.lexically_normal(), Program() + "/DefaultData", fs::copy_options::recursive);
        m_sim.Plug(SimUnit::Mouse);
        m_mouse.Paths().SetTypeName("mouse");
        m_mouse.Paths().SetLightSettingsName("ornic_light");
        m_mouse.SetModelCode(1);
        m_mouse.State().SetProfileIdentifier("drag");
        SupportedDevice identity;
        identity.kind = DeviceKind::Mouse;
        m_mouse.State().SetIdentity(identity);
        ASSERT_TRUE(
            m_mouse.Driver().CommandTransport().Open(ChannelType::Wired, m_sim.CommandPath(SimUnit::Mouse)));
        ASSERT_TRUE(m_mouse.ReadLayout());
        ASSERT_TRUE(m_mouse.LoadDeviceProfile());
        ASSERT_TRUE(m_mouse.SaveDeviceProfile());
        m_sim.ClearFrames();
    }
    void TearDown() override { m_mouse.Shutdown(); }

    std::string Program() const { return m_folder.Path() + "/program"; }
    // The mouse's frames of one command, in the order written.
    std::vector<sim::SimFrame> Sent(uint8_t command) const {
        std::vector<sim::SimFrame> frames;
        for (const sim::SimFrame& frame : m_sim.Frames()) {
            if (frame.direction == SimDirection::ToDevice && frame.unit == SimUnit::Mouse &&
                frame.bytes.size() > 3 && frame.bytes[3] == command) {
                frames.push_back(frame);
            }
        }
        return frames;
    }
    int HeldStep() const {
        const std::vector<uint8_t> params = m_sim.Memory(sim::SimModel::Mouse, sim::SimMemory::Params);
        return params[kStageOneX] | params[kStageOneX + 1] << 8;
    }
    // The drag: a hundred moves, then the release at `released`.
    void Drag(int released) {
        for (int move = 0; move < 100; ++move) {
            m_mouse.SetStageStep(1, 10 + move % 50, true);
        }
        m_mouse.SetStageStep(1, released, false);
    }
    // The worker ended every write; what they posted back has run. A bound against a hang.
    bool Drained() {
        for (int wait = 0; wait < 5000 && !m_mouse.Driver().WorkerIdle(); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        m_dispatcher.ProcessPending();
        return m_mouse.Driver().WorkerIdle();
    }

    TempFolder m_folder;
    sim::SimBackend m_sim{7};
    ui::Dispatcher m_dispatcher;
    SetTickClock m_ticks;
    CTolvanicMouseDevice m_mouse{DeviceServices{m_sim, m_dispatcher, m_ticks, {Program(), m_folder.Path()}}};
};

TEST_F(DpiDrag, TheWindowOnlyAsksTheMouseGetsAtMostTwoWritesAndEndsWithTheReleasedValue) {
    const fs::path profile = m_mouse.GetDeviceProfilePath();
    const auto savedBefore = fs::last_write_time(profile);
    Drag(40);
    const auto returned = std::chrono::steady_clock::now();
    EXPECT_NE(fs::last_write_time(profile), savedBefore) << "the profile follows at once";
    EXPECT_EQ(m_mouse.Stages()[1].dpiX, 40) << "and what the page shows";
    ASSERT_TRUE(Drained());
    ASSERT_FALSE(Sent(kEndSession).empty());
    EXPECT_GT(Sent(kEndSession).back().time, returned)
        << "the last write ended after the window's call returned";
    EXPECT_GE(Sent(kBeginSession).size(), 1u);
    EXPECT_LE(Sent(kBeginSession).size(), 2u) << "one write in flight, the last value after it";
    EXPECT_EQ(HeldStep(), 40) << "the released value is the last the mouse holds";
    EXPECT_FALSE(m_sim.InSession(sim::SimModel::Mouse));
}

TEST_F(DpiDrag, EveryCoalescedWriteWaitsTenMillisecondsBeforeItsEndSession) {
    for (int released : {40, 41, 12}) {
        Drag(released);
    }
    ASSERT_TRUE(Drained());
    const std::vector<sim::SimFrame> frames = m_sim.Frames();
    size_t ends = 0;
    for (size_t n = 1; n < frames.size(); ++n) {
        const sim::SimFrame& frame = frames[n];
        if (frame.direction != SimDirection::ToDevice || frame.bytes.size() <= 3 ||
            frame.bytes[3] != kEndSession) {
            continue;
        }
        ++ends;
        // The frame before it: the reply to the write's last chunk.
        const auto gap = frame.time - frames[n - 1].time;
        EXPECT_GE(gap, std::chrono::milliseconds(10)) << "EndSession " << ends;
    }
    EXPECT_EQ(ends, Sent(kBeginSession).size()) << "every session ended";
    EXPECT_GE(ends, 2u);
    EXPECT_LE(ends, 6u);
    EXPECT_EQ(HeldStep(), 12);
}

} // namespace
} // namespace velkor::test
