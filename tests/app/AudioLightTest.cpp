// Audio-reactive lighting end to end on the simulated keyboard: the capture
// tool's frames reach the main window as copy-data, the attached keyboard
// renders effect 29 from them and streams it; the frames move while sound
// plays and stand still in silence.
#include "LiveKeyboardFixture.h"
#include "app/AudioToolStarter.h"
#include "devices/LightTables.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "lighting/AudioLightControls.h"
#include "platform/JsonFileHelper.h"
#include "platform/bus/BusMessage.h"
#include "support/ScratchFolder.h"
#include "ui/memory/MemoryWindow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include <signal.h>

namespace velkor::test {
namespace {

using sim::SimUnit;

class AudioLight : public LiveKeyboardFixture {
protected:
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
    // Plays `frames` tool frames of `magnitude`, one per window step, running the window meanwhile.
    void Play(int frames, int32_t magnitude) {
        for (int i = 0; i < frames; ++i) {
            Send(magnitude);
            m_toolkit->ProcessPending();
            m_toolkit->AdvanceTime(int(kLightPassMs));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    // Effect 29 at full brightness, as the lighting panel commits it.
    void SelectAudioEffect(CTolvanicKeyboardDevice& keyboard, uint8_t effect = 29) {
        LightInfoRecord light = keyboard.State().LightRecord();
        light.selectItem = effect;
        light.light = 4;
        keyboard.SetLightInfo(LightInfoToWords(light));
        keyboard.SaveDeviceProfile();
        keyboard.ApplyLightState();
        keyboard.RefreshView();
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
    words.multicolour = true; // lit keys run along the colour wheel; the background is black
    keyboard->SetAudioLightValues(words.Values());
    SelectAudioEffect(*keyboard);
    ASSERT_TRUE(keyboard->LiveStreamRunning());

    m_sim.ClearFrames();
    Play(120, 750);
    std::set<std::vector<uint8_t>> distinct;
    bool lit = false;
    const auto loud = LiveFrames(positions);
    ASSERT_FALSE(loud.empty());
    const std::vector<uint8_t> lastLoud = loud.back();
    for (const std::vector<uint8_t>& frame : loud) {
        distinct.insert(frame);
        lit = lit || std::any_of(frame.begin(), frame.end(), [](uint8_t b) { return b != 0; });
    }
    EXPECT_TRUE(lit) << "full level lights the columns";
    EXPECT_GT(distinct.size(), 1u) << "the frames change while the sound plays";

    // Silence: the bars fall to the background, each key once the key above it
    // has faded (about 90 frames of effect 29); then every frame is the same.
    m_sim.ClearFrames();
    const bool still = Until(
        [&] {
            Send(0);
            const auto frames = LiveFrames(positions);
            return frames.size() >= 6 && std::all_of(frames.end() - 6, frames.end(), [&](const auto& frame) {
                       return frame == frames.back();
                   });
        },
        int(kLightPassMs));
    EXPECT_TRUE(still) << "the frames stand still in silence";
    EXPECT_NE(LiveFrames(positions).back(), lastLoud) << "the columns have fallen";
}

// Notes what would go to the capture tool.
struct ToolRecorder final : AudioToolSender {
    void SendParameter(int32_t parameter, int32_t value) override {
        parameters.push_back({parameter, value});
    }
    void SendStyleColour(int32_t red, int32_t green, int32_t blue) override {
        colours.push_back({red, green, blue});
    }
    std::vector<std::pair<int32_t, int32_t>> parameters;
    std::vector<std::array<int32_t, 3>> colours;
};

TEST_F(AudioLight, TheStylesAreEditedInMusicWndSavedSentAndResetWithTheProfile) {
    CTolvanicKeyboardDevice* keyboard = Attach();
    ASSERT_NE(keyboard, nullptr);
    ASSERT_NE(m_main->Audio(), nullptr);
    const std::string user = m_folder.Path() + "/VELKOR01/AudioFile.json";
    const Json::Value defaults =
        CJsonFileHelper().ReadJsonFile(m_folder.Path() + "/DefaultData/AudioFile.json");
    ASSERT_FALSE(defaults.isNull());
    EXPECT_EQ(CJsonFileHelper().ReadJsonFile(user), defaults)
        << "the default became the user's file at start";
    ToolRecorder tool;
    m_main->Audio()->SetTool(&tool);
    ASSERT_TRUE(Until([&] { return m_main->Discovery()->SelectedDevice() == keyboard; }));
    SelectAudioEffect(*keyboard);

    ui::Control* music = keyboard->Presenter().Page()->FindChild("music_setting_btn");
    ASSERT_NE(music, nullptr);
    m_toolkit->SetModalDriver([&](ui::MemoryWindow& window) {
        EXPECT_EQ(window.ClassName(), "MusicWnd");
        m_user.Click(window, "audio_select_tab2");
        m_user.Click(window, "okbtn");
    });
    ASSERT_TRUE(m_user.Click(*music));
    EXPECT_EQ(CJsonFileHelper().ReadJsonFile(user)["Device"]["AudioLightInfo"]["nAudioStyle"], 1);
    ASSERT_EQ(tool.colours.size(), 1u);
    EXPECT_EQ(tool.colours[0][1], 9) << "style 1 is green";

    m_toolkit->SetModalDriver([&](ui::MemoryWindow& box) { m_user.Click(box, "confirm_btn"); });
    ui::Control* menu = keyboard->Presenter().Page()->FindChild("profile_fun_spread_btn");
    ui::Control* reset = keyboard->Presenter().Page()->FindChild("device_reset_btn");
    ASSERT_TRUE(menu != nullptr && reset != nullptr);
    ASSERT_TRUE(m_user.Click(*menu)); // the profile bar's menu holds the reset
    ASSERT_TRUE(m_user.Click(*reset));
    EXPECT_EQ(CJsonFileHelper().ReadJsonFile(user), defaults)
        << "the profile bar's reset restores the styles";
    EXPECT_EQ(m_main->Audio()->Styles().Record().style, 0);
}

// A stand-in for velkor-audio that notes its process and runs until signalled.
std::string WriteTool(const std::string& folder) {
    const std::string tool = folder + "/velkor-audio";
    std::ofstream(tool) << "#!/bin/sh\necho $$ >> '" << folder << "/pids'\nexec sleep 60\n";
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    return tool;
}

std::vector<int> Pids(const std::string& folder) {
    std::vector<int> pids;
    std::ifstream file(folder + "/pids");
    for (int pid = 0; file >> pid;) {
        pids.push_back(pid);
    }
    return pids;
}

// The pids once `count` tools have noted theirs (a started shell takes a moment).
std::vector<int> WaitPids(const std::string& folder, size_t count) {
    std::vector<int> pids = Pids(folder);
    for (int i = 0; i < 500 && pids.size() < count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        pids = Pids(folder);
    }
    return pids;
}

// The program starts the capture tool while a keyboard shows an audio effect
// and the tool is not on the bus, starts a killed one again, ends it 10 s
// after no keyboard shows one, and says on the audio page what the tool does.
TEST_F(AudioLight, TheToolRunsWhileAKeyboardShowsAnAudioEffect) {
    ScratchFolder scratch;
    AudioToolStarter starter(WriteTool(scratch.Path()), m_ticks);
    MainWndServices services = Services(true, 1);
    WithLanguages(services);
    services.audioToolStarter = &starter;
    m_sim.Plug(SimUnit::Keyboard);
    ASSERT_TRUE(StartWith(services));
    CTolvanicKeyboardDevice* keyboard = nullptr;
    ASSERT_TRUE(Until(
        [&] {
            keyboard =
                dynamic_cast<CTolvanicKeyboardDevice*>(m_main->Discovery()->DeviceOfModel(kWirelessRow));
            return keyboard != nullptr && keyboard->KeyPositions() > 0;
        },
        10));
    const auto tick = [&](int seconds) { m_toolkit->AdvanceTime(seconds * CMainWnd::kTimerAudioToolMs); };
    const auto settled = [&](bool running) {
        for (int i = 0; i < 300 && starter.Running() != running; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            tick(1);
        }
        return starter.Running() == running;
    };
    tick(3);
    EXPECT_FALSE(starter.Running()) << "no audio effect shown";
    ui::Control* status = keyboard->Presenter().Page()->FindChild("audio_status_text");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->Text(), "audio_tool_absent");

    SelectAudioEffect(*keyboard, CTolvanicKeyboardDevice::kBandColourEffect);
    tick(1);
    ASSERT_TRUE(settled(true));
    m_main->AudioTool().SetPresent(true);
    ASSERT_TRUE(m_main->AudioTool().OnStatus(int32_t(AudioToolState::WaitingForServer), 0));
    EXPECT_EQ(status->Text(), "audio_tool_waiting");
    ASSERT_TRUE(m_main->AudioTool().OnStatus(int32_t(AudioToolState::Capturing), 48000));
    EXPECT_EQ(status->Text(), "Capturing at 48000 Hz");
    tick(3);
    const std::vector<int> first = WaitPids(scratch.Path(), 1);
    ASSERT_EQ(first.size(), 1u) << "present: never a second one";

    // Killed: it is reaped and started again.
    ASSERT_EQ(kill(first.front(), SIGKILL), 0);
    m_main->AudioTool().SetPresent(false);
    for (int i = 0; i < 300 && Pids(scratch.Path()).size() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        tick(1);
    }
    EXPECT_EQ(Pids(scratch.Path()).size(), 2u);
    EXPECT_EQ(starter.LastExit(), 128 + SIGKILL);

    // No audio effect for 10 s: told to end, and SIGTERM a second later.
    SelectAudioEffect(*keyboard, 0);
    tick(CMainWnd::kAudioToolIdleTicks - 1);
    EXPECT_TRUE(starter.Running());
    ASSERT_TRUE(settled(false));
    EXPECT_EQ(starter.LastExit(), 128 + SIGTERM);
    EXPECT_EQ(status->Text(), "Stopped (exit 143)");
    m_main.reset(); // before the starter it uses
}

TEST(AudioToolStarter, StartsTheToolAtMostThreeTimesAMinute) {
    ScratchFolder folder;
    const std::string tool = WriteTool(folder.Path());
    EXPECT_EQ(AudioToolPath(folder.Path()), tool) << "beside the program first";
    EXPECT_EQ(AudioToolPath("/opt/v/bin"), "/opt/v/libexec/velkor/velkor-audio");

    ui::ManualClock clock{0};
    ManualTicks ticks{clock};
    AudioToolStarter starter(tool, ticks);
    const auto ended = [&] {
        for (int i = 0; i < 200 && starter.Running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            starter.Poll();
        }
        return !starter.Running();
    };
    for (size_t i = 0; i < AudioToolStarter::kStartsPerMinute; ++i) {
        ASSERT_TRUE(starter.Start()) << i;
        EXPECT_FALSE(starter.Start()) << "it runs";
        const std::vector<int> pids = WaitPids(folder.Path(), i + 1);
        ASSERT_EQ(pids.size(), i + 1);
        ASSERT_EQ(kill(pids.back(), SIGKILL), 0);
        ASSERT_TRUE(ended()) << "reaped";
    }
    EXPECT_FALSE(starter.Start()) << "a fourth start within the minute";
    EXPECT_TRUE(starter.GivenUp());
    clock.Advance(60'000);
    EXPECT_FALSE(starter.GivenUp());
    EXPECT_TRUE(starter.Start());
    EXPECT_EQ(WaitPids(folder.Path(), 4).size(), 4u);

    AudioToolStarter missing(folder.Path() + "/none", ticks);
    EXPECT_FALSE(missing.Start());
    EXPECT_EQ(missing.LastExit(), 127);
}

} // namespace
} // namespace velkor::test
