// The command set of the transport against the simulated devices.
#include "SimFixture.h"

#include "sim/SimRecords.h"

namespace velkor::sim::test {
namespace {

using SimCommands = SimFixture;
using SimChunking = SimFixture;
using SimTransportFaults = SimFixture;
using SimEventChannel = SimFixture;

TEST_F(SimCommands, ParameterMemoryReadsBackWhatWasWritten) {
    m_backend.Plug(SimUnit::Keyboard);
    Attach(SimUnit::Keyboard);
    const std::vector<uint8_t> record = Pattern(28, 3);
    ASSERT_EQ(m_transport.BeginSession(), kResultOk);
    EXPECT_TRUE(m_backend.InSession(SimModel::Keyboard));
    ASSERT_EQ(m_transport.WriteParams(record.data(), 28, 56), kResultOk);
    ASSERT_EQ(m_transport.EndSession(1), kResultOk);
    EXPECT_FALSE(m_backend.InSession(SimModel::Keyboard));
    EXPECT_EQ(MemorySlice(SimModel::Keyboard, SimMemory::Params, 56, 28), record);

    std::vector<uint8_t> back(28, 0);
    ASSERT_EQ(m_transport.ReadParams(back.data(), 28, 56), kResultOk);
    EXPECT_EQ(back, record);
    // Record 1 next to it is untouched: still the factory record of profile 1.
    uint8_t profile = 0xEE;
    ASSERT_EQ(m_transport.ReadParams(&profile, 1, 28), kResultOk);
    EXPECT_EQ(profile, 1);
}

TEST_F(SimCommands, KeyTableAndLightMapFollowTheDataSize) {
    m_backend.Plug(SimUnit::Keyboard511D);
    Attach(SimUnit::Keyboard511D);
    uint8_t info[kDeviceInfoSize] = {};
    ASSERT_EQ(m_transport.ReadDeviceInfo(info), kResultOk);
    const uint8_t n = info[5];
    ASSERT_EQ(n, 126);
    ASSERT_TRUE(m_transport.SetDataSize(uint16_t(n * 3)));

    std::vector<uint8_t> table(512, 0);
    ASSERT_EQ(m_transport.ReadKeyTable(table.data()), kResultOk);
    EXPECT_EQ(std::vector<uint8_t>(table.begin(), table.begin() + 3),
              (std::vector<uint8_t>{0x20, 0x00, 0x29}));
    std::vector<uint8_t> lights(512, 0xEE);
    ASSERT_EQ(m_transport.ReadKeyLightMap(lights.data()), kResultOk);
    EXPECT_EQ(lights[0], 0);    // Escape's LED
    EXPECT_EQ(lights[n], 0xEE); // N bytes only

    const std::vector<uint8_t> assigned = Pattern(n * 3, 40);
    ASSERT_EQ(m_transport.WriteKeyTable(assigned.data(), 0), kResultOk);
    EXPECT_EQ(MemorySlice(SimModel::Keyboard511D, SimMemory::KeyTable, 0, n * 3), assigned);
    ASSERT_EQ(m_transport.ReadKeyTable(table.data()), kResultOk);
    EXPECT_EQ(std::vector<uint8_t>(table.begin(), table.begin() + n * 3), assigned);
}

TEST_F(SimCommands, ColourTablesLiveAtTableTimes512) {
    m_backend.Plug(SimUnit::Keyboard);
    Attach(SimUnit::Keyboard);
    const std::vector<uint8_t> colours = Pattern(378, 9);
    ASSERT_EQ(m_transport.WriteColourTable(colours.data(), 378, 3, 512), kResultOk);
    EXPECT_EQ(MemorySlice(SimModel::Keyboard, SimMemory::Colours, 3 * 512, 378), colours);
    EXPECT_EQ(MemorySlice(SimModel::Keyboard, SimMemory::Colours, 2 * 512, 3),
              (std::vector<uint8_t>{0, 255, 0}));
    std::vector<uint8_t> back(378, 0);
    ASSERT_EQ(m_transport.ReadColourTable(back.data(), 378, 3, 512), kResultOk);
    EXPECT_EQ(back, colours);
    // Table 8 is past the keyboard's eight tables: refused, nothing stored.
    EXPECT_EQ(m_transport.WriteColourTable(colours.data(), 24, 8, 512), kResultStatusFE);
}

TEST_F(SimCommands, MacroRecoilAndLiveColoursAreStored) {
    m_backend.Plug(SimUnit::Mouse);
    Attach(SimUnit::Mouse);
    const std::vector<uint8_t> block = Pattern(300, 1);
    ASSERT_EQ(m_transport.WriteMacroData(block.data(), 300), kResultOk);
    EXPECT_EQ(MemorySlice(SimModel::Mouse, SimMemory::Macro, 0, 300), block);
    const std::vector<uint8_t> recoil = Pattern(100, 2);
    ASSERT_EQ(m_transport.WriteRecoilData(recoil.data(), 100), kResultOk);
    EXPECT_EQ(MemorySlice(SimModel::Mouse, SimMemory::Recoil, 0, 100), recoil);
    const std::vector<uint8_t> live = Pattern(45, 3);
    ASSERT_EQ(m_transport.SendLiveColours(live.data(), 45), kResultOk);
    EXPECT_EQ(MemorySlice(SimModel::Mouse, SimMemory::LiveColours, 0, 45), live);
    // A macro block larger than the 16 slots of 128 bytes does not fit.
    const std::vector<uint8_t> huge = Pattern(16 * 128 + 8, 4);
    EXPECT_EQ(m_transport.WriteMacroData(huge.data(), uint16_t(huge.size())), kResultStatusFE);
}

TEST_F(SimCommands, DeviceInformationAndPowerComeFromTheFirmware) {
    m_backend.Plug(SimUnit::MouseReceiver);
    Attach(SimUnit::MouseReceiver);
    uint8_t info[kDeviceInfoSize] = {};
    ASSERT_EQ(m_transport.ReadDeviceInfo(info), kResultOk);
    EXPECT_EQ(info[9] | (info[10] << 8), 0x3325);
    EXPECT_EQ(info[11], 100);

    ASSERT_TRUE(m_backend.SetBattery(SimModel::Mouse, 42, 1));
    uint8_t power[6] = {};
    ASSERT_EQ(m_transport.ReadPowerStatus(power, 6, 0), kResultOk);
    EXPECT_EQ(std::vector<uint8_t>(power, power + 6), (std::vector<uint8_t>{42, 1, 0, 1, 0, 0}));
    EXPECT_TRUE(m_transport.QueryLink());
    ASSERT_EQ(m_transport.TakeLightingControl(), kResultOk);
    EXPECT_TRUE(m_backend.LightingTaken(SimModel::Mouse));
}

TEST_F(SimCommands, TheHeadsetSpeaksTheProtocolOnItsOnlyCollection) {
    m_backend.Plug(SimUnit::Headset);
    // The headset's owner never selects a channel: wired, chunk size 24.
    ASSERT_TRUE(m_transport.Open(ChannelType::Wired, m_backend.CommandPath(SimUnit::Headset), false));
    const std::vector<uint8_t> record = Pattern(40, 5);
    ASSERT_EQ(m_transport.WriteParams(record.data(), 40, 0), kResultOk);
    EXPECT_EQ(MemorySlice(SimModel::Headset, SimMemory::Params, 0, 40), record);
    EXPECT_EQ(RequestChunks(SimUnit::Headset, 0x06), (std::vector<std::pair<int, int>>{{24, 0}, {16, 24}}));

    Frame led{};
    led[0] = 0xFF;
    led[1] = 0x22;
    led[2] = 0xAD;
    led[8] = 247;
    HidInterface leds(m_backend); // the LED frame is no transaction: it goes straight to the collection
    ASSERT_TRUE(leds.Open(m_backend.CommandPath(SimUnit::Headset), true, true, true, false));
    ASSERT_TRUE(leds.Write(led.data(), 17, nullptr, 1000));
    EXPECT_EQ(m_backend.HeadsetLeds(0x22)[12 * 3], 247);
}

TEST_F(SimChunking, InformationReadPagesByChannel) {
    m_backend.PlugFamily();
    Attach(SimUnit::Mouse);
    uint8_t info[kDeviceInfoSize];
    ASSERT_EQ(m_transport.ReadDeviceInfo(info), kResultOk);
    EXPECT_EQ(RequestChunks(SimUnit::Mouse, 0x03), (std::vector<std::pair<int, int>>{{34, 0}}));

    DeviceTransport viaReceiver(m_backend);
    ASSERT_TRUE(viaReceiver.Open(ChannelType::Receiver, m_backend.CommandPath(SimUnit::MouseReceiver)));
    uint8_t again[kDeviceInfoSize];
    ASSERT_EQ(viaReceiver.ReadDeviceInfo(again), kResultOk);
    EXPECT_EQ(RequestChunks(SimUnit::MouseReceiver, 0x03),
              (std::vector<std::pair<int, int>>{{24, 0}, {10, 24}}));
    EXPECT_EQ(std::vector<uint8_t>(info, info + 34), std::vector<uint8_t>(again, again + 34));
}

TEST_F(SimChunking, WritesPageByChannelAndRecoilAlwaysBy56) {
    m_backend.Plug(SimUnit::KeyboardReceiver);
    Attach(SimUnit::KeyboardReceiver);
    const std::vector<uint8_t> record = Pattern(28, 6);
    ASSERT_EQ(m_transport.WriteParams(record.data(), 28, 56), kResultOk);
    EXPECT_EQ(RequestChunks(SimUnit::KeyboardReceiver, 0x06),
              (std::vector<std::pair<int, int>>{{24, 56}, {4, 80}}));
    EXPECT_EQ(MemorySlice(SimModel::Keyboard, SimMemory::Params, 56, 28), record);

    m_backend.Plug(SimUnit::MouseReceiver);
    DeviceTransport mouse(m_backend);
    ASSERT_TRUE(mouse.Open(ChannelType::Receiver, m_backend.CommandPath(SimUnit::MouseReceiver)));
    const std::vector<uint8_t> recoil = Pattern(100, 7);
    ASSERT_EQ(mouse.WriteRecoilData(recoil.data(), 100), kResultOk);
    EXPECT_EQ(RequestChunks(SimUnit::MouseReceiver, 0x17),
              (std::vector<std::pair<int, int>>{{56, 0}, {44, 56}}));
    EXPECT_EQ(MemorySlice(SimModel::Mouse, SimMemory::Recoil, 0, 100), recoil);
}

TEST_F(SimTransportFaults, UnplugMidWriteKeepsTheChunksAlreadyWritten) {
    m_backend.Plug(SimUnit::Mouse);
    Attach(SimUnit::Mouse);
    m_backend.InjectFault(SimUnit::Mouse, {SimFaultKind::Unplug, 3, 1, 0});
    const std::vector<uint8_t> block = Pattern(200, 8); // chunks 56, 56, 56, 32
    EXPECT_EQ(m_transport.WriteMacroData(block.data(), 200), kResultWriteFailed);
    EXPECT_FALSE(m_backend.IsPlugged(SimUnit::Mouse));
    EXPECT_EQ(MemorySlice(SimModel::Mouse, SimMemory::Macro, 0, 112),
              std::vector<uint8_t>(block.begin(), block.begin() + 112));
    EXPECT_EQ(MemorySlice(SimModel::Mouse, SimMemory::Macro, 112, 88), std::vector<uint8_t>(88, 0));
    EXPECT_EQ(m_transport.BeginSession(), kResultWriteFailed) << "the channel stays gone";
}

TEST_F(SimTransportFaults, ASilentWirelessDeviceGivesMinus101) {
    m_backend.Plug(SimUnit::MouseReceiver);
    Attach(SimUnit::MouseReceiver);
    ASSERT_TRUE(m_backend.SetWireless(SimModel::Mouse, false));
    EXPECT_EQ(m_transport.BeginSession(), kResultReceiverSilent);
    uint8_t buffer[71];
    EXPECT_EQ(m_transport.ReadParams(buffer, 71, 128), kResultReceiverSilent);
    EXPECT_EQ(RequestChunks(SimUnit::MouseReceiver, 0x05).size(), 1u) << "-101 ends the read after one frame";
    EXPECT_FALSE(m_transport.QueryLink());
    EXPECT_EQ(m_backend.SessionsBegun(SimModel::Mouse), 0u);

    ASSERT_TRUE(m_backend.SetWireless(SimModel::Mouse, true));
    EXPECT_TRUE(m_transport.QueryLink());
    EXPECT_EQ(m_transport.BeginSession(), kResultOk);
}

TEST_F(SimTransportFaults, StatusFEOnTheSecondChunkStopsAfterOneChunk) {
    m_backend.Plug(SimUnit::MouseReceiver);
    Attach(SimUnit::MouseReceiver);
    m_backend.InjectFault(SimUnit::MouseReceiver, {SimFaultKind::StatusFE, 2, 1, 0});
    std::vector<uint8_t> record(71, 0xEE);
    EXPECT_EQ(m_transport.ReadParams(record.data(), 71, 128), kResultStatusFE);
    EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.begin() + 24),
              MemorySlice(SimModel::Mouse, SimMemory::Params, 128, 24));
    EXPECT_EQ(std::vector<uint8_t>(record.begin() + 24, record.end()), std::vector<uint8_t>(47, 0xEE));
    EXPECT_EQ(RequestChunks(SimUnit::MouseReceiver, 0x05).size(), 2u);
}

TEST_F(SimTransportFaults, StatusFFRefusesAWriteWithoutChangingMemory) {
    m_backend.Plug(SimUnit::MousePad);
    Attach(SimUnit::MousePad);
    const auto before = m_backend.Memory(SimModel::MousePad, SimMemory::Params);
    m_backend.InjectFault(SimUnit::MousePad, {SimFaultKind::StatusFF, 1, 1, 0});
    const std::vector<uint8_t> record = Pattern(21, 9);
    EXPECT_EQ(m_transport.WriteParams(record.data(), 21, 0), kResultStatusFF);
    EXPECT_EQ(m_backend.Memory(SimModel::MousePad, SimMemory::Params), before);
    EXPECT_EQ(m_transport.WriteParams(record.data(), 21, 0), kResultOk);
}

TEST_F(SimTransportFaults, AStaleReplyIsSkippedByTheEchoTest) {
    m_backend.Plug(SimUnit::Keyboard);
    Attach(SimUnit::Keyboard);
    ASSERT_EQ(m_transport.BeginSession(), kResultOk);
    m_backend.InjectFault(SimUnit::Keyboard, {SimFaultKind::StaleReply, 1, 2, 0});
    std::vector<uint8_t> record(28, 0);
    ASSERT_EQ(m_transport.ReadParams(record.data(), 28, 28), kResultOk);
    EXPECT_EQ(record, MemorySlice(SimModel::Keyboard, SimMemory::Params, 28, 28));
    ASSERT_EQ(m_transport.ReadParams(record.data(), 28, 56), kResultOk) << "stale bytes with another echo";
    EXPECT_EQ(record, MemorySlice(SimModel::Keyboard, SimMemory::Params, 56, 28));
    size_t stale = 0;
    for (const SimFrame& f : m_backend.Frames()) {
        stale += f.note == "stale" ? 1 : 0;
    }
    EXPECT_EQ(stale, 2u);
}

TEST_F(SimTransportFaults, AFailedWriteAndADelayedReply) {
    m_backend.Plug(SimUnit::Keyboard);
    Attach(SimUnit::Keyboard);
    m_backend.InjectFault(SimUnit::Keyboard, {SimFaultKind::FailedWrite, 1, 1, 0});
    EXPECT_EQ(m_transport.BeginSession(), kResultWriteFailed);
    EXPECT_EQ(m_backend.SessionsBegun(SimModel::Keyboard), 0u);
    m_backend.InjectFault(SimUnit::Keyboard, {SimFaultKind::Delay, 1, 1, 30});
    EXPECT_EQ(m_transport.BeginSession(), kResultOk) << "a reply within the time-out still counts";
    EXPECT_EQ(m_backend.SessionsBegun(SimModel::Keyboard), 1u);
}

TEST_F(SimTransportFaults, ADamagedRequestIsRefusedWithFE) {
    m_backend.Plug(SimUnit::Keyboard);
    Attach(SimUnit::Keyboard);
    Frame request{};
    request[0] = 0x04;
    request[3] = 0x06;
    request[4] = 4;
    request[8] = 0x99;
    SealFrame(request);
    request[9] = 0x01; // garbage after sealing
    Frame reply{};
    ASSERT_EQ(m_transport.Transact(request.data(), 64, reply.data(), 64, nullptr), kResultOk);
    EXPECT_EQ(ApplyStatusRule(kResultOk, reply.data()), kResultStatusFE);
    EXPECT_EQ(m_backend.Memory(SimModel::Keyboard, SimMemory::Params)[0], 0);
}

TEST_F(SimEventChannel, EventsArriveDecodedOnTheConsumerCollectionOnly) {
    m_backend.Plug(SimUnit::Mouse);
    Attach(SimUnit::Mouse);
    HidInterface events(m_backend);
    ASSERT_TRUE(events.Open(m_backend.EventPath(SimUnit::Mouse), true, true, true, false));
    ASSERT_EQ(events.Caps().usagePage, 0x000C);
    HidInterface command(m_backend); // a second reader on the command collection
    ASSERT_TRUE(command.Open(m_backend.CommandPath(SimUnit::Mouse), true, true, true, false));

    ASSERT_TRUE(m_backend.InjectEvent(SimUnit::Mouse, 0x1132));
    std::vector<uint8_t>& report = events.InputReportBuffer();
    size_t n = 0;
    ASSERT_TRUE(events.Read(report.data(), report.size(), &n, 1000));
    ASSERT_TRUE(events.UnpackInput(report.data(), n));
    EXPECT_EQ(events.FirstInputUsage(), 0x1132);
    ASSERT_TRUE(events.Read(report.data(), report.size(), &n, 1000));
    ASSERT_TRUE(events.UnpackInput(report.data(), n));
    EXPECT_EQ(events.FirstInputUsage(), 0) << "the release report carries no code";

    uint8_t stray[64];
    EXPECT_FALSE(command.Read(stray, 64, &n, 0)) << "no event reaches the command collection";
    uint8_t profile = 0xEE;
    EXPECT_EQ(m_transport.ReadParams(&profile, 1, 0), kResultOk);
}

TEST_F(SimEventChannel, AKeyOnTheDeviceChangesWhatTheHostReadsNext) {
    m_backend.Plug(SimUnit::Keyboard);
    Attach(SimUnit::Keyboard);
    HidInterface events(m_backend);
    ASSERT_TRUE(events.Open(m_backend.EventPath(SimUnit::Keyboard), true, true, true, false));

    ASSERT_TRUE(m_backend.PressKey(SimModel::Keyboard, SimKey::ProfileSelect, 2));
    ASSERT_TRUE(m_backend.PressKey(SimModel::Keyboard, SimKey::ToggleWinLock));
    std::vector<uint16_t> codes;
    std::vector<uint8_t>& report = events.InputReportBuffer();
    size_t n = 0;
    while (events.Read(report.data(), report.size(), &n, 0)) {
        ASSERT_TRUE(events.UnpackInput(report.data(), n));
        if (events.FirstInputUsage() != 0) {
            codes.push_back(events.FirstInputUsage());
        }
    }
    EXPECT_EQ(codes, (std::vector<uint16_t>{0x0402, 0x0401}));

    uint8_t active = 0;
    ASSERT_EQ(m_transport.ReadParams(&active, 1, 0), kResultOk);
    ASSERT_EQ(active, 2);
    KeyboardSettingsRecord record{};
    ASSERT_EQ(m_transport.ReadParams(reinterpret_cast<uint8_t*>(&record), 28, uint16_t(active * 28)),
              kResultOk);
    EXPECT_EQ(record.winLock, 1);
}

TEST_F(SimEventChannel, AnEventTransportReadsTheCodeOfEachReport) {
    m_backend.Plug(SimUnit::Mouse);
    DeviceTransport events(m_backend);
    ASSERT_TRUE(events.OpenListening(ChannelType::Wired, m_backend.EventPath(SimUnit::Mouse)));
    ASSERT_TRUE(m_backend.InjectEvent(SimUnit::Mouse, 0x1132));
    uint16_t code = 0;
    ASSERT_EQ(events.ReadEvent(ChannelType::Wired, 1000, code), DeviceTransport::EventRead::Event);
    EXPECT_EQ(code, 0x1132);
    ASSERT_EQ(events.ReadEvent(ChannelType::Wired, 1000, code), DeviceTransport::EventRead::Event);
    EXPECT_EQ(code, 0) << "the release report";
    events.CloseListening(ChannelType::Wired);
    ASSERT_TRUE(m_backend.InjectEvent(SimUnit::Mouse, 0x1132));
    EXPECT_EQ(events.ReadEvent(ChannelType::Wired, 0, code), DeviceTransport::EventRead::None);
}

} // namespace
} // namespace velkor::sim::test
