// The keyboard's live stream in the main window, on the simulated keyboard:
// what effect 30 sends, when the stream pauses and ends, and that a failing
// keyboard never holds the window.
#include "LiveKeyboardFixture.h"
#include "devices/LightTables.h"
#include "devices/TolvanicKeyboardDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <set>
#include <thread>

namespace velkor::test {
namespace {

using sim::SimFaultKind;
using sim::SimUnit;

constexpr int kLightPass = int(kLightPassMs);

using Colour = std::array<uint8_t, 3>;

class LiveStream : public LiveKeyboardFixture {
protected:
    // Effect `effect` at brightness 4 and speed 4, as the lighting panel commits it.
    void Commit(CTolvanicKeyboardDevice& keyboard, uint8_t effect) {
        LightInfoRecord light = keyboard.State().LightRecord();
        light.selectItem = effect;
        light.light = 4;
        light.speed = 4;
        keyboard.SetLightInfo(LightInfoToWords(light));
        keyboard.SaveDeviceProfile();
        keyboard.ApplyLightState();
    }
    // Runs the window and its light thread (whose clock is the window's) until `done`.
    bool Streaming(const std::function<bool()>& done) { return Until(done, kLightPass); }
};

TEST_F(LiveStream, Effect30SendsTheBandColourOnEveryMappedSlotAndEveryFrameIsUniform) {
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    const int positions = keyboard->KeyPositions();
    std::set<size_t> mapped;
    for (uint8_t slot : keyboard->KeyMaps().lightSlot) {
        if (slot < positions) {
            mapped.insert(slot);
        }
    }
    ASSERT_FALSE(mapped.empty());
    const std::array<int32_t, 6> first = {200, 100, 50, 0, 0, 0};
    const std::array<int32_t, 6> second = {0x114, 40, 60, 0, 0, 0}; // only the low byte counts
    keyboard->SetAudioBands(first);
    Commit(*keyboard, 30);
    ASSERT_TRUE(keyboard->LiveStreamRunning());
    auto shows = [&](Colour colour) {
        const auto frames = LiveFrames(positions);
        return !frames.empty() &&
               Colour{frames.back()[*mapped.begin() * 3], frames.back()[*mapped.begin() * 3 + 1],
                      frames.back()[*mapped.begin() * 3 + 2]} == colour;
    };
    ASSERT_TRUE(Streaming([&] { return shows({199, 99, 49}); }));
    m_sim.ClearFrames();
    for (int change = 0; change < 20; ++change) {
        keyboard->SetAudioBands(change % 2 == 0 ? second : first);
        Streaming([&] { return LiveFrames(positions).size() > size_t(change) * 2; });
    }
    keyboard->SetAudioBands(second);
    ASSERT_TRUE(Streaming([&] { return shows({19, 39, 59}); }));

    const auto frames = LiveFrames(positions);
    ASSERT_GE(frames.size(), 10u);
    for (const std::vector<uint8_t>& frame : frames) {
        const Colour colour{frame[*mapped.begin() * 3], frame[*mapped.begin() * 3 + 1],
                            frame[*mapped.begin() * 3 + 2]};
        ASSERT_TRUE(colour == (Colour{199, 99, 49}) || colour == (Colour{19, 39, 59}));
        for (size_t slot = 0; slot < size_t(positions); ++slot) {
            const Colour expected = mapped.count(slot) != 0 ? colour : Colour{0, 0, 0};
            ASSERT_EQ((Colour{frame[slot * 3], frame[slot * 3 + 1], frame[slot * 3 + 2]}), expected)
                << "slot " << slot << ": a frame mixes two renderings";
        }
    }
}

// Audio reaches the keys without waiting for the light thread's tick: with
// the clock standing still, a feed is drawn at once in effect 29 (the fed
// band's column lights) and in effect 30 (every key takes the fed colour).
TEST_F(LiveStream, AFeedIsDrawnAtOnceWithoutWaitingForATick) {
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    const int positions = keyboard->KeyPositions();
    const auto leds = [&] {
        return keyboard->State().Leds().With([](const LedFrame& frame) {
            return std::vector<uint32_t>(frame.leds.begin(), frame.leds.end());
        });
    };
    Commit(*keyboard, 29);
    ASSERT_TRUE(Streaming([&] { return LiveFrames(positions).size() > 3; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // a pass under way ends
    const std::vector<uint32_t> silent = leds();
    std::array<int32_t, 500> levels{};
    levels[12] = 2000;
    keyboard->FeedAudioLevels(levels);
    EXPECT_TRUE(Until([&] { return leds() != silent; }, 0)) << "effect 29 waited for a tick";

    Commit(*keyboard, 30);
    ASSERT_TRUE(Streaming([&] { return LiveFrames(positions).size() > 6; }));
    keyboard->SetAudioBands(std::array<int32_t, 6>{10, 20, 30, 0, 0, 0});
    EXPECT_TRUE(Until(
        [&] {
            const std::vector<uint32_t> now = leds();
            return std::all_of(now.begin(), now.end(),
                               [](uint32_t led) { return (led & 0xFFFFFF) == 0x1E140A; });
        },
        0))
        << "effect 30 waited for a tick";
}

// The frames leave the host whether anyone looks or not; the picture is not painted meanwhile.
TEST_F(LiveStream, AHiddenOrUnmappedWindowPaintsNothingWhileTheFramesGoOn) {
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    const int positions = keyboard->KeyPositions();
    keyboard->SetAudioBands(std::array<int32_t, 6>{200, 100, 50, 0, 0, 0});
    Commit(*keyboard, 30);
    ui::MemoryWindow& window = MainMemoryWindow();
    for (const bool unmap : {false, true}) {
        SCOPED_TRACE(unmap ? "unmapped by the desktop" : "hidden to the notification area");
        if (unmap) {
            window.SetMappedByDesktop(false);
        } else {
            m_main->HideToTray();
        }
        ASSERT_FALSE(window.IsOnScreen());
        const int paints = LightPaints(*keyboard);
        const size_t sent = LiveFrames(positions).size();
        ASSERT_TRUE(Streaming([&] { return LiveFrames(positions).size() >= sent + 5; }));
        EXPECT_EQ(LightPaints(*keyboard), paints);
        m_main->BringWindowToFront();
        ASSERT_TRUE(window.IsOnScreen());
    }
}

TEST_F(LiveStream, TheStreamPausesWithoutLightControlAndEndsWithTheEffect) {
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    Commit(*keyboard, 30);
    ASSERT_TRUE(Streaming([&] { return LiveChunks().size() > 10; }));

    // Another program drives the LEDs: a frame under way may end, then nothing.
    keyboard->SetLightControl(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    m_sim.ClearFrames();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(LiveChunks().empty());
    keyboard->SetLightControl(true);
    ASSERT_TRUE(Streaming([&] { return !LiveChunks().empty(); }));

    Commit(*keyboard, 1);
    EXPECT_FALSE(keyboard->LiveStreamRunning());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    m_sim.ClearFrames();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(LiveChunks().empty()) << "effect 1 is the keyboard's own";
}

TEST_F(LiveStream, AFailingKeyboardQuietsTheStreamAndNeverHoldsTheWindow) {
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    Commit(*keyboard, 30);
    ASSERT_TRUE(Streaming([&] { return !LiveChunks().empty(); }));

    // Refused once: no frame for 200 ms after the refused one.
    m_sim.InjectFault(SimUnit::Keyboard, {SimFaultKind::StatusFF, 1, 1});
    auto refused = [&] {
        for (const sim::SimFrame& chunk : LiveChunks()) {
            if (chunk.note == "status ff") {
                return chunk.time;
            }
        }
        return std::chrono::steady_clock::time_point{};
    };
    ASSERT_TRUE(Streaming([&] {
        const auto at = refused();
        const auto chunks = LiveChunks();
        return at != std::chrono::steady_clock::time_point{} && chunks.back().time > at;
    }));
    const auto at = refused();
    for (const sim::SimFrame& chunk : LiveChunks()) {
        if (chunk.time > at) {
            EXPECT_GE(chunk.time - at, std::chrono::milliseconds(200));
            break;
        }
    }

    // Silent from now on: each frame waits out the transfer time-out on the
    // stream thread, while the window goes on at once.
    m_sim.InjectFault(SimUnit::Keyboard, {SimFaultKind::NoReply, 1, 0});
    ASSERT_TRUE(Streaming([&] {
        const auto chunks = LiveChunks();
        return !chunks.empty() && chunks.back().note == "no reply";
    }));
    bool ran = false;
    const auto started = std::chrono::steady_clock::now();
    m_toolkit->GetDispatcher().Post([&] { ran = true; });
    m_toolkit->ProcessPending();
    keyboard->OutputLightFrame();
    EXPECT_TRUE(ran);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(300))
        << "the window waited for the keyboard";
}

} // namespace
} // namespace velkor::test
