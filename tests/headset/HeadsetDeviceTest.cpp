// The headset device on the simulated family and the simulated audio plugin:
// start-up read-back, the equaliser, microphone and voice-changer operations
// with what they send and store, the LED frames on the wire, and the wave.
#include "devices/LightTables.h"
#include "headset/TolvanicHS6533Device.h"
#include "sim/SimBackend.h"
#include "sim/audio/SimAudioStore.h"
#include "support/AttachRead.h"
#include "support/ScratchFolder.h"
#include "ui/Dispatcher.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace velkor::test {
namespace {

using sim::PluginStore;
using sim::SimAudioCall;

class FixedClock final : public TickClock {
public:
    uint32_t NowMs() const override { return now; }
    uint32_t now = 5000;
};

std::string SourceRoot() {
    return (std::filesystem::path(__FILE__).parent_path() / ".." / "..").lexically_normal().string();
}

std::vector<int32_t> Ints(std::initializer_list<int32_t> values) {
    return values;
}

class HeadsetDevice : public ::testing::Test {
protected:
    void SetUp() override { PluginStore().Reset(); }

    // A headset with the simulated plugin linked in, its profile "p" loaded.
    CTolvanicHS6533Device& Make(bool withPlugin = true) {
        auto loader = [withPlugin]() -> std::unique_ptr<AudioLibrary> {
            return withPlugin ? std::make_unique<AudioLibrary>(sim::SimAudioTable(), nullptr) : nullptr;
        };
        m_device = MakeDevice<CTolvanicHS6533Device>(
            DeviceServices{m_backend, m_dispatcher, m_clock, {SourceRoot(), m_folder.Path()}}, loader);
        m_device->Paths().SetTypeName("HD");
        m_device->State().SetProfileIdentifier("p");
        m_device->SetLightCount(13);
        m_device->InitPage();
        EXPECT_TRUE(ReadAtAttach(*m_device, m_dispatcher)); // as at attach: profile, read-back, page
        m_device->Driver().StopLightThread();
        PluginStore().ClearCalls();
        return *m_device;
    }
    std::string ProfilePath() { return m_device->GetDeviceProfilePath(); }
    Json::Value Stored() {
        std::ifstream in(ProfilePath());
        Json::Value root;
        in >> root;
        return root["Device"][0];
    }
    // The sets the plugin saw, as (name, integer value).
    std::vector<std::pair<std::string, int32_t>> Sets() {
        std::vector<std::pair<std::string, int32_t>> sets;
        for (const SimAudioCall& call : PluginStore().Calls()) {
            if (call.operation == OSCONF_SET) {
                sets.emplace_back(call.name, call.intValue);
            }
        }
        return sets;
    }
    static std::vector<int32_t> Row(const Json::Value& rows, int row) {
        std::vector<int32_t> values;
        for (const Json::Value& band : rows[row]) {
            values.push_back(band["value"].asInt());
        }
        return values;
    }
    std::vector<std::pair<std::string, int32_t>> EqSets(std::span<const int32_t> bands) {
        std::vector<std::pair<std::string, int32_t>> sets{{"Enable_EQ_GFX", 1}};
        for (size_t i = 0; i < bands.size(); ++i) {
            sets.emplace_back("EQ_Slider" + std::to_string(i + 1), bands[i]);
        }
        return sets;
    }

    ScratchFolder m_folder;
    sim::SimBackend m_backend{3};
    ui::Dispatcher m_dispatcher;
    FixedClock m_clock;
    std::unique_ptr<CTolvanicHS6533Device, DeviceDeleter> m_device;
};

TEST_F(HeadsetDevice, StartUpReadsTheLibraryBackAndWritesOnlyMissingDefaults) {
    PluginStore().SetValue(OSCONF_FLOW_INPUT, "MuteControl", u"1");
    PluginStore().SetValue(OSCONF_FLOW_INPUT, "VolumeScalarControl", u"0.555");
    PluginStore().SetValue(OSCONF_FLOW_INPUT, "MagicVoice_Selection", u"0");
    PluginStore().SetValue(OSCONF_FLOW_INPUT, "Enable_MAGICVOICE", u"1");
    CTolvanicHS6533Device& headset = Make();
    EXPECT_EQ(headset.Settings().micInSelect, 0);
    EXPECT_FALSE(headset.View().micOption);
    EXPECT_EQ(headset.Settings().micInValue, 55);
    EXPECT_EQ(headset.Settings().magicType, 1);
    EXPECT_EQ(headset.Settings().magicEnable, 1);
    EXPECT_EQ(headset.Settings().micMonitorValue, 25);
    // Properties the plugin had no value for got 0; those it had kept theirs.
    EXPECT_EQ(PluginStore().Value(OSCONF_FLOW_OUTPUT, "RFX_ROOMSIZE"), u"0");
    EXPECT_EQ(PluginStore().Value(OSCONF_FLOW_INPUT, "MuteControl"), u"1");
    for (AudioGroup group : kAudioGroups) {
        EXPECT_TRUE(headset.Availability(group).available) << AudioGroupName(group);
    }

    // A selection outside 0..3 leaves the voice; no feature bit: the library's switch is not taken.
    PluginStore().SetValue(OSCONF_FLOW_INPUT, "MagicVoice_Selection", u"5");
    PluginStore().SetValue(OSCONF_FLOW_INPUT, "GetSupportFeature", u"0,0,0,0,0,0,0");
    PluginStore().SetFailing(OSCONF_FLOW_INPUT, "GetAAMaxVol", 2);
    CTolvanicHS6533Device& again = Make();
    EXPECT_EQ(again.Settings().magicType, 1);
    EXPECT_EQ(again.Settings().magicEnable, 0) << "the profile's, though the library says 1";
    EXPECT_EQ(again.Availability(AudioGroup::VoiceChanger).reason, "no voice changer in the plugin");
    EXPECT_EQ(again.Availability(AudioGroup::Monitoring).reason, "status 2 (no such control)");
}

TEST_F(HeadsetDevice, WithoutPluginOrCardEveryGroupSaysWhy) {
    CTolvanicHS6533Device& none = Make(false);
    EXPECT_EQ(none.Availability(AudioGroup::Microphone).reason, "no plugin");
    none.View().micSlider = 10;
    none.SetMicLevel();
    EXPECT_EQ(none.View().micSlider, 80) << "back to what the profile holds";

    PluginStore().SetEndpoints(OSCONF_FLOW_OUTPUT, {});
    CTolvanicHS6533Device& noCard = Make();
    EXPECT_EQ(noCard.Availability(AudioGroup::Equaliser).reason, "no sound card");
    EXPECT_TRUE(PluginStore().Calls().empty());
    // The card comes: the next attach starts the audio again.
    PluginStore().Reset();
    EXPECT_TRUE(ReadAtAttach(noCard, m_dispatcher));
    EXPECT_TRUE(noCard.Availability(AudioGroup::Equaliser).available);
}

TEST_F(HeadsetDevice, PresetsSendAndStoreTheTableValues) {
    CTolvanicHS6533Device& headset = Make();
    headset.SelectEqPreset(6);
    const std::array<int32_t, 10> six = {7, 14, -13, -6, -1, 8, 13, 7, 2, 6};
    EXPECT_EQ(Sets(), EqSets(six));
    EXPECT_EQ(Stored()["SystemSetStages"]["EqType"].asInt(), 6);
    EXPECT_EQ(Row(Stored()["EQHzValueInfo"], 6), std::vector<int32_t>(six.begin(), six.end()));

    // The profile read again (a profile change): what it shows is what plays.
    PluginStore().ClearCalls();
    ASSERT_TRUE(headset.LoadDeviceProfile());
    EXPECT_EQ(Sets(), EqSets(six));

    PluginStore().ClearCalls();
    const HeadsetSystemRecord before = headset.Settings();
    headset.SelectEqPreset(0);
    headset.SelectEqPreset(14);
    EXPECT_TRUE(PluginStore().Calls().empty());
    EXPECT_EQ(headset.Settings(), before);

    // A band moved under preset 3: custom mode, only that band, nothing stored.
    headset.SelectEqPreset(3);
    PluginStore().ClearCalls();
    headset.View().bandSliders[4] = 9;
    headset.SetEqBand(4);
    EXPECT_EQ(Sets(), (std::vector<std::pair<std::string, int32_t>>{{"EQ_Slider5", 9}}));
    EXPECT_EQ(headset.View().eqOption, 13);
    EXPECT_EQ(headset.View().customSelected, -1);
    EXPECT_EQ(Stored()["SystemSetStages"]["EqType"].asInt(), 3);
}

TEST_F(HeadsetDevice, CustomPresetsKeepTheirOwnValuesAndWhatIsShownPlays) {
    CTolvanicHS6533Device& headset = Make();
    for (int i = 0; i < 3; ++i) {
        headset.View().bandSliders.fill(i + 1);
        headset.View().nameField = "Preset " + std::to_string(i);
        ASSERT_EQ(headset.SaveCustomEq(), 1);
    }
    headset.View().nameField = "PRESET 1";
    EXPECT_EQ(headset.SaveCustomEq(), 0) << "names differ only in case";

    // Delete the middle one: the last keeps its own values, and they play.
    headset.View().customSelected = 1;
    PluginStore().ClearCalls();
    headset.SelectEqPreset(13); // selection 1 applied
    headset.View().customSelected = 1;
    headset.DeleteCustomEq();
    EXPECT_EQ(Stored()["CustomEQHzValueInfo"].size(), 2u);
    EXPECT_EQ(Row(Stored()["CustomEQHzValueInfo"], 1), std::vector<int32_t>(10, 3));
    EXPECT_EQ(headset.CustomNames(), (std::vector<std::string>{"Preset 0", "Preset 2"}));
    const std::vector<int32_t> first(10, 1);
    EXPECT_EQ(headset.BandValues(), first);
    auto sets = Sets();
    ASSERT_GE(sets.size(), 11u);
    EXPECT_EQ(std::vector(sets.end() - 11, sets.end()), EqSets(first)) << "the gains shown are sent";

    headset.View().customSelected = 0;
    headset.DeleteCustomEq();
    headset.View().customSelected = 0;
    headset.DeleteCustomEq();
    EXPECT_EQ(headset.Settings().eqType, 1);
    EXPECT_FALSE(headset.View().customEnabled);
    EXPECT_TRUE(Stored()["CustomEQNameInfo"].empty());
    EXPECT_EQ(headset.BandValues(), Row(Stored()["EQHzValueInfo"], 1));

    // Twenty presets: the twenty-first is refused.
    for (int i = 0; i < 20; ++i) {
        headset.View().nameField = "n" + std::to_string(i);
        ASSERT_EQ(headset.SaveCustomEq(), 1) << i;
    }
    headset.View().nameField = "one more";
    EXPECT_EQ(headset.SaveCustomEq(), -1);
}

TEST_F(HeadsetDevice, FailedSetsLeaveWhatIsShownAsTheHeadsetIs) {
    CTolvanicHS6533Device& headset = Make();
    PluginStore().SetFailing(OSCONF_FLOW_INPUT, "MuteControl");
    PluginStore().SetFailing(OSCONF_FLOW_INPUT, "AAVolumeScalarControl");
    const bool shown = headset.View().micOption;
    headset.ToggleMic();
    EXPECT_EQ(headset.View().micOption, shown);
    EXPECT_EQ(headset.MicMuted(), !shown);
    headset.View().monitorSlider = 70;
    headset.SetMonitorLevel();
    EXPECT_EQ(headset.View().monitorSlider, 25);
    EXPECT_EQ(headset.Settings().micMonitorValue, 25);

    PluginStore().SetFailing(OSCONF_FLOW_INPUT, "MuteControl", 0);
    headset.ToggleMic();
    EXPECT_EQ(headset.View().micOption, !shown);
    EXPECT_EQ(Stored()["SystemSetStages"]["MicInSelect"].asInt(), shown ? 0 : 1);

    PluginStore().ClearCalls();
    headset.SelectVoice(0);
    headset.SelectVoice(5);
    EXPECT_TRUE(PluginStore().Calls().empty());
    headset.SelectVoice(4);
    EXPECT_EQ(Sets(), (std::vector<std::pair<std::string, int32_t>>{{"MagicVoice_Selection", 3}}));
}

TEST_F(HeadsetDevice, ADamagedProfileStillGivesTenBands) {
    Make();
    Json::Value root;
    Json::Value& doc = root["Device"][0];
    doc["SystemSetStages"]["EqType"] = 13;
    doc["SystemSetStages"]["CustomEqSeletIndex"] = 7;
    doc["CustomEQNameInfo"][0]["Name"] = "only";
    doc["CustomEQHzValueInfo"][0][0]["value"] = 4; // a short row
    doc["EQHzValueInfo"] = "garbage";
    std::ofstream(ProfilePath()) << root;
    CTolvanicHS6533Device& headset = Make();
    EXPECT_EQ(headset.BandValues().size(), 10u);
    EXPECT_EQ(headset.Settings().customEqSelect, -1);
    headset.View().customSelected = 0;
    headset.ApplyCustomEq();
    EXPECT_EQ(headset.BandValues(), Ints({4, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    headset.SelectEqPreset(2);
    EXPECT_EQ(Sets().size(), 22u) << "ten bands each time";
}

// Through the device to the simulated headset: the frame reaches both
// targets. The headset keeps what it was sent, so the same frame goes again
// only after an attach, or a second after a sending that failed.
TEST_F(HeadsetDevice, LedFramesGoWhenChangedAfterAnAttachOrToRetryAFailure) {
    CTolvanicHS6533Device& headset = Make();
    headset.SetLightCount(13); // the page layout has them; these tests build none
    m_backend.Plug(sim::SimUnit::Headset);
    ASSERT_TRUE(headset.Driver().CommandTransport().Open(ChannelType::Wired,
                                                         m_backend.CommandPath(sim::SimUnit::Headset)));
    headset.SetSynchronisedLighting(true); // the tick carries the frames
    auto paint = [&](uint32_t packed) {
        for (int led = 0; led < 13; ++led) {
            headset.State().SetLedColour(led, packed);
        }
    };
    auto frameOut = [&](uint32_t advanceMs) {
        m_clock.now += advanceMs;
        headset.OutputLightFrame();
        EXPECT_TRUE(headset.LedSender().WaitIdle(5000));
        return headset.LedSender().FramesSent();
    };
    paint(PackLed(255, 255, 255, 255));
    EXPECT_EQ(frameOut(0), 1u);
    const auto leds = m_backend.HeadsetLeds(0x22);
    EXPECT_TRUE(std::all_of(leds.begin(), leds.end(), [](uint8_t v) { return v == 247; }));
    EXPECT_EQ(m_backend.HeadsetLeds(0x44), leds);
    EXPECT_EQ(frameOut(10), 1u);
    EXPECT_EQ(frameOut(5000), 1u) << "the headset has it";
    paint(PackLed(255, 0, 0, 128));
    EXPECT_EQ(frameOut(10), 2u) << "a changed frame goes at once";
    EXPECT_EQ(m_backend.HeadsetLeds(0x44)[12], 127);
    EXPECT_EQ(m_backend.HeadsetLeds(0x44)[13], 0);
    EXPECT_FALSE(headset.LedSender().LastFrameFailed());

    EXPECT_TRUE(ReadAtAttach(headset, m_dispatcher)); // attached again (the light thread rests: synchronised)
    headset.Driver().StopLightThread();
    EXPECT_EQ(frameOut(10), 3u) << "after an attach the frame goes unchanged";
    EXPECT_EQ(frameOut(10), 3u);

    m_backend.Unplug(sim::SimUnit::Headset); // its writes now fail
    paint(PackLed(0, 0, 255, 255));
    EXPECT_EQ(frameOut(10), 4u);
    EXPECT_TRUE(headset.LedSender().LastFrameFailed());
    EXPECT_EQ(frameOut(10), 4u);
    EXPECT_EQ(frameOut(989), 4u);
    EXPECT_EQ(frameOut(1), 5u) << "a failed frame again a second after the last try";
    headset.SetSynchronisedLighting(false);
}

TEST(HeadsetLedFrame, ChannelsCapAndReportsComeInOrder) {
    std::vector<uint32_t> leds(13, PackLed(255, 255, 255, 255));
    leds[1] = PackLed(255, 255, 255, 128);
    leds[6] = PackLed(200, 10, 20, 255);
    const HeadsetLedFrame frame = BuildHeadsetLedFrame(leds);
    EXPECT_EQ(frame[0][3], 247);
    EXPECT_EQ(frame[0][4], 127);
    EXPECT_EQ(frame[1][9], 199) << "the 0xAD report repeats red of LED 6 in byte 9";
    const uint8_t order[12][2] = {{0x22, 0xAA}, {0x22, 0xAD}, {0x44, 0xAA}, {0x44, 0xAD},
                                  {0x22, 0xAB}, {0x22, 0xAE}, {0x44, 0xAB}, {0x44, 0xAE},
                                  {0x22, 0xAC}, {0x22, 0xAF}, {0x44, 0xAC}, {0x44, 0xAF}};
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(frame[i][0], 0xFF);
        EXPECT_EQ(frame[i][1], order[i][0]) << i;
        EXPECT_EQ(frame[i][2], order[i][1]) << i;
        for (size_t b = 10; b < 17; ++b) {
            EXPECT_EQ(frame[i][b], 0);
        }
    }
    // LEDs the buffer lacks are dark.
    const HeadsetLedFrame few = BuildHeadsetLedFrame(std::span(leds).first(3));
    EXPECT_EQ(few[1][3], 0);
}

TEST(HeadsetLedSender, APendingFrameIsReplacedNotQueued) {
    std::mutex gate;
    std::unique_lock hold(gate);
    std::atomic<int> reports{0};
    HeadsetLedSender sender([&](const HeadsetLedReport&) {
        std::lock_guard wait(gate);
        ++reports;
        return true;
    });
    HeadsetLedFrame frame{};
    for (int i = 0; i < 5; ++i) {
        frame[0][3] = uint8_t(i);
        ASSERT_TRUE(sender.Submit(frame));
    }
    hold.unlock();
    ASSERT_TRUE(sender.WaitIdle(2000));
    EXPECT_LE(sender.FramesSent(), 2u);
    EXPECT_GE(sender.FramesReplaced(), 3u);
    EXPECT_EQ(reports.load() % 12, 0);
}

TEST(HeadsetWave, StepsThreeCurvePlacesAndTenPerLed) {
    LedFrame frame;
    frame.Resize(13);
    frame.light.fx = 1;
    frame.light.light = 4;
    frame.light.red = 100;
    leds::HeadsetWave(frame);
    EXPECT_EQ(frame.position, 3);
    for (int n = 0; n < 13; ++n) {
        EXPECT_EQ(LedLevel(frame.leds[size_t(n)]), (255 * kWaveCurve[size_t((3 + 10 * n) % 96)]) >> 8) << n;
    }
    frame.light.multiColor = 1;
    frame.position = 190;
    leds::HeadsetWave(frame);
    EXPECT_EQ(frame.position, 191);
    EXPECT_EQ(LedRed(frame.leds[1]), kColourWheel[(192 + 16) % 192].red);
}

} // namespace
} // namespace velkor::test
