// Audio-reactive lighting end to end on the simulated keyboard: the capture
// tool's frames reach the main window as copy-data, the attached keyboard
// renders effect 29 from them and streams it; the frames move while sound
// plays and stand still in silence.
#include "MainWndFixture.h"
#include "devices/LightTables.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "lighting/AudioLightControls.h"
#include "platform/bus/BusMessage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace velkor::test {
namespace {

using sim::SimUnit;

constexpr int kWirelessRow = 1;
constexpr uint8_t kLiveColours = 0x12;

class AudioLight : public MainWndFixture {
protected:
    AudioLight() { m_folder.AddDefaultData(); }

    CTolvanicKeyboardDevice* Attach() {
        m_sim.Plug(SimUnit::Keyboard);
        if (!Start(true, 1)) {
            return nullptr;
        }
        CTolvanicKeyboardDevice* keyboard = nullptr;
        const bool ready = Until(
            [&] {
                keyboard = m_main->Discovery() == nullptr
                               ? nullptr
                               : dynamic_cast<CTolvanicKeyboardDevice*>(
                                     m_main->Discovery()->DeviceOfModel(kWirelessRow));
                return keyboard != nullptr && keyboard->KeyPositions() > 0 && keyboard->LightThreadRunning();
            },
            10);
        return ready ? keyboard : nullptr;
    }
    // One frame of the tool: every sample +m or -m by the frame's parity, so
    // the levels settle at 8m/3 (m = 750: full level).
    void Send(int32_t magnitude) {
        BusMessage message;
        message.kind = BusMessageKind::CopyData;
        message.copyDataId = kCopyDataAudioFrame;
        message.data.resize(kAudioFrameBytes);
        const int32_t value = (m_frames++ % 2 == 0) ? magnitude : -magnitude;
        for (size_t i = 0; i < kAudioFrameBytes / 4; ++i) {
            std::memcpy(message.data.data() + 4 * i, &value, 4);
        }
        m_main->HandleBusMessage(message);
    }
    // The live frames (colour bytes of every position) sent since the last clear.
    std::vector<std::vector<uint8_t>> LiveFrames(int positions) const {
        std::vector<std::vector<uint8_t>> frames;
        std::vector<uint8_t> frame;
        for (const sim::SimFrame& chunk : m_sim.Frames()) {
            if (chunk.direction != sim::SimDirection::ToDevice || chunk.unit != SimUnit::Keyboard ||
                chunk.bytes.size() < 64 || chunk.bytes[0] != 0x04 || chunk.bytes[3] != kLiveColours) {
                continue;
            }
            const uint8_t* report = chunk.bytes.data();
            const size_t offset = size_t(report[5] | report[6] << 8);
            const size_t length = report[4];
            if (offset == 0) {
                frame.assign(size_t(positions) * 3, 0);
            }
            if (frame.empty() || offset + length > frame.size()) {
                continue;
            }
            std::copy(report + 8, report + 8 + length, frame.begin() + std::ptrdiff_t(offset));
            if (offset + length == frame.size()) {
                frames.push_back(frame);
                frame.clear();
            }
        }
        return frames;
    }
    // Plays `frames` tool frames of `magnitude`, one per window step, running the window meanwhile.
    void Play(int frames, int32_t magnitude) {
        for (int i = 0; i < frames; ++i) {
            Send(magnitude);
            m_toolkit->ProcessPending();
            m_toolkit->AdvanceTime(int(kLightPassMs));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    int m_frames = 0;
};

TEST_F(AudioLight, FramesMoveWhileSoundPlaysAndStandStillInSilence) {
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    const int positions = keyboard->KeyPositions();
    AudioLightWords words;
    words.style = 0;
    words.foreground = 0xC86432;
    keyboard->SetAudioLightValues(words.Values());
    LightInfoRecord light = keyboard->LightRecord();
    light.selectItem = 29;
    light.light = 4;
    keyboard->SetLightInfo(LightInfoToWords(light));
    keyboard->SaveDeviceProfile();
    keyboard->ApplyLightState();
    ASSERT_TRUE(keyboard->LiveStreamRunning());

    m_sim.ClearFrames();
    Play(120, 750);
    std::set<std::vector<uint8_t>> distinct;
    bool lit = false;
    for (const std::vector<uint8_t>& frame : LiveFrames(positions)) {
        distinct.insert(frame);
        lit = lit || std::any_of(frame.begin(), frame.end(), [](uint8_t b) { return b != 0; });
    }
    EXPECT_TRUE(lit) << "full level lights the columns";
    EXPECT_GT(distinct.size(), 1u) << "the frames change while the sound plays";

    Play(200, 0); // silence: the bars fall to the (black) background
    m_sim.ClearFrames();
    Play(40, 0);
    const auto still = LiveFrames(positions);
    ASSERT_GE(still.size(), 3u);
    for (const std::vector<uint8_t>& frame : still) {
        ASSERT_EQ(frame, still.front()) << "the frames stand still in silence";
        ASSERT_TRUE(std::all_of(frame.begin(), frame.end(), [](uint8_t b) { return b == 0; }));
    }
}

} // namespace
} // namespace velkor::test
