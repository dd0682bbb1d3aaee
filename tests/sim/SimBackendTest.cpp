// The simulator as a HID back end: paths, descriptors, handles, reports.
#include "sim/SimBackend.h"
#include "sim/SimFactory.h"
#include "transport/HidDescriptor.h"
#include "transport/HidInterface.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <future>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

namespace velkor::sim {
namespace {

HidOpenFlags ReadWrite() {
    return HidOpenFlags{true, true, true, false};
}

std::vector<uint8_t> VendorFrame(uint8_t command, uint8_t length = 0, uint16_t offset = 0) {
    SimReport r{};
    r[0] = 0x04;
    r[3] = command;
    r[4] = length;
    r[5] = uint8_t(offset & 0xFF);
    r[6] = uint8_t(offset >> 8);
    SimSeal(r);
    return {r.begin(), r.end()};
}

// Interfaces the family presents: vendor, product, interface, collection, usage page, usage.
using Row = std::tuple<uint16_t, uint16_t, uint16_t, uint16_t, uint16_t, uint16_t>;
const Row kFamilyRows[13] = {
    {0x320F, 0x50B7, 1, 4, 0xFF1C, 0x92}, {0x320F, 0x50B7, 1, 3, 0x000C, 0x01},
    {0x320F, 0x50A9, 1, 4, 0xFF1C, 0x92}, {0x320F, 0x50A9, 1, 3, 0x000C, 0x01},
    {0x320F, 0x7070, 1, 4, 0xFF1C, 0x92}, {0x320F, 0x7070, 1, 3, 0x000C, 0x01},
    {0x320F, 0x221D, 1, 4, 0xFF1C, 0x92}, {0x320F, 0x221D, 1, 3, 0x000C, 0x01},
    {0x320F, 0x1004, 1, 4, 0xFF1C, 0x92}, {0x320F, 0x1004, 1, 3, 0x000C, 0x01},
    {0x0C76, 0x1630, 3, 0, 0x000C, 0x01}, {0x320F, 0x511D, 1, 4, 0xFF1C, 0x92},
    {0x320F, 0x511D, 1, 3, 0x000C, 0x01},
};

TEST(SimPaths, TheWholeFamilyPresentsEveryInterfaceOfTheTable) {
    SimBackend backend(1);
    std::vector<std::string> paths;
    ASSERT_TRUE(backend.EnumeratePaths(paths));
    EXPECT_TRUE(paths.empty()) << "nothing is plugged at first";

    backend.PlugFamily();
    ASSERT_TRUE(backend.EnumeratePaths(paths));
    EXPECT_EQ(paths.size(), 6u * 4 + 1);
    for (const Row& row : kFamilyRows) {
        const auto& [vid, pid, mi, col, page, usage] = row;
        const auto match = std::find_if(paths.begin(), paths.end(), [&](const std::string& p) {
            return PathVendorId(p) == vid && PathProductId(p) == pid && PathInterfaceNumber(p) == mi &&
                   PathCollectionNumber(p) == col;
        });
        ASSERT_NE(match, paths.end()) << std::hex << pid << " col " << col;
        HidInterface hid(backend);
        ASSERT_TRUE(hid.Open(*match, true, false, true, false)) << *match;
        EXPECT_EQ(hid.Caps().usagePage, page) << *match;
        EXPECT_EQ(hid.Caps().usage, usage) << *match;
        EXPECT_EQ(hid.Attributes().vendorId, vid);
        EXPECT_EQ(hid.Attributes().productId, pid);
    }
    EXPECT_EQ(backend.CommandPath(SimUnit::Mouse), "sim:mouse#vid_320f&pid_7070&mi_01&col04");
    EXPECT_EQ(backend.CommandPath(SimUnit::Headset), "sim:headset#vid_0c76&pid_1630&mi_03");
    EXPECT_EQ(backend.EventPath(SimUnit::Headset), "");
}

TEST(SimPaths, DescriptorsDescribeTheCollectionsTheHandlesServe) {
    for (const SimUnitFacts& facts : BuiltInSimCatalog().Units()) {
        const SimUnit unit = facts.unit;
        HidReportDescriptor parsed;
        ASSERT_TRUE(ParseReportDescriptor(UnitReportDescriptor(unit), parsed)) << UnitName(unit);
        const auto& collections = UnitCollections(unit);
        ASSERT_EQ(parsed.collections.size(), collections.size());
        for (size_t i = 0; i < collections.size(); ++i) {
            const HidTopCollection& top = parsed.collections[i];
            EXPECT_EQ(top.usagePage, collections[i].usagePage);
            EXPECT_EQ(top.usage, collections[i].usage);
            EXPECT_EQ(top.inputReportIds, collections[i].inputReportIds);
            size_t longestOutput = 0;
            for (const auto& [id, length] : collections[i].outputReports) {
                longestOutput = std::max(longestOutput, length);
            }
            EXPECT_EQ(top.outputReportLength, longestOutput);
        }
    }
    HidReportDescriptor vendor;
    ASSERT_TRUE(ParseReportDescriptor(UnitReportDescriptor(SimUnit::Mouse), vendor));
    EXPECT_EQ(vendor.collections[3].inputReportLength, 64);
    EXPECT_EQ(vendor.collections[2].inputReportLength, 3);
}

TEST(SimPaths, OpenAndProbeFollowThePlug) {
    SimBackend backend(1);
    const std::string path = backend.CommandPath(SimUnit::MousePad);
    EXPECT_FALSE(backend.Probe(path));
    EXPECT_EQ(backend.Open(path, ReadWrite()), nullptr);
    EXPECT_FALSE(backend.LastError().empty());
    EXPECT_EQ(backend.Open("sim:mousepad#vid_320f&pid_1004&mi_01&col09", ReadWrite()), nullptr);
    EXPECT_EQ(backend.Open("hidraw:/dev/hidraw0#vid_320f&pid_1004&mi_01&col04", ReadWrite()), nullptr);
    EXPECT_EQ(backend.Open("sim:nothing#", ReadWrite()), nullptr);

    ASSERT_TRUE(backend.Plug(SimUnit::MousePad));
    EXPECT_FALSE(backend.Plug(SimUnit::MousePad));
    EXPECT_TRUE(backend.Probe(path));
    auto handle = backend.Open(path, ReadWrite());
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->Attributes().versionNumber, 0x0100);
    EXPECT_EQ(handle->CollectionNumber(), 4);

    backend.SetFirmwareVersion(SimUnit::MousePad, 0x0203);
    EXPECT_EQ(backend.Open(path, ReadWrite())->Attributes().versionNumber, 0x0203);
    EXPECT_EQ(backend.Memory(SimModel::MousePad, SimMemory::DeviceInfo)[2], 0x03);

    ASSERT_TRUE(backend.Unplug(SimUnit::MousePad));
    EXPECT_FALSE(backend.Probe(path));
    size_t n = 0;
    uint8_t buffer[64];
    EXPECT_EQ(handle->Read(buffer, n, 0), HidIoStatus::Gone);
    EXPECT_EQ(handle->Write(VendorFrame(0x01), n, 0), HidIoStatus::Gone);
    // Plugged again, the old handle stays gone; a new one works.
    backend.Plug(SimUnit::MousePad);
    EXPECT_EQ(handle->Read(buffer, n, 0), HidIoStatus::Gone);
    EXPECT_NE(backend.Open(path, ReadWrite()), nullptr);
}

TEST(SimHandles, RepliesGoToTheVendorCollectionOnly) {
    SimBackend backend(1);
    backend.Plug(SimUnit::Keyboard);
    auto command = backend.Open(backend.CommandPath(SimUnit::Keyboard), ReadWrite());
    auto events = backend.Open(backend.EventPath(SimUnit::Keyboard), ReadWrite());
    ASSERT_TRUE(command && events);

    size_t n = 0;
    ASSERT_EQ(command->Write(VendorFrame(0x01), n, 1000), HidIoStatus::Ok);
    EXPECT_EQ(n, 64u);
    uint8_t reply[64] = {};
    ASSERT_EQ(command->Read(reply, n, 0), HidIoStatus::Ok) << "the reply is queued at once";
    EXPECT_EQ(n, 64u);
    EXPECT_EQ(reply[3], 0x01);
    EXPECT_EQ(events->Read(reply, n, 0), HidIoStatus::TimedOut);

    ASSERT_TRUE(backend.InjectEvent(SimUnit::Keyboard, 0x0401));
    EXPECT_EQ(command->Read(reply, n, 0), HidIoStatus::TimedOut);
    ASSERT_EQ(events->Read(reply, n, 0), HidIoStatus::Ok);
    EXPECT_EQ(std::vector<uint8_t>(reply, reply + n), (std::vector<uint8_t>{0x03, 0x01, 0x04}));
    ASSERT_EQ(events->Read(reply, n, 0), HidIoStatus::Ok);
    EXPECT_EQ(std::vector<uint8_t>(reply, reply + n), (std::vector<uint8_t>{0x03, 0x00, 0x00}));

    // The consumer collection takes no vendor frames.
    EXPECT_EQ(events->Write(VendorFrame(0x01), n, 1000), HidIoStatus::Failed);
}

TEST(SimHandles, WritesOutsideTheInterfacesReportsAreRefused) {
    SimBackend backend(1);
    backend.PlugFamily();
    auto command = backend.Open(backend.CommandPath(SimUnit::Mouse), ReadWrite());
    auto readOnly = backend.Open(backend.CommandPath(SimUnit::Mouse), HidOpenFlags{true, false, true, false});
    ASSERT_TRUE(command && readOnly);
    size_t n = 0;
    std::vector<uint8_t> tooLong(65, 0);
    tooLong[0] = 0x04;
    EXPECT_EQ(command->Write(tooLong, n, 1000), HidIoStatus::Failed);
    EXPECT_EQ(command->Write({}, n, 1000), HidIoStatus::Failed);
    std::vector<uint8_t> led(17, 0);
    led[0] = 0xFF;
    EXPECT_EQ(command->Write(led, n, 1000), HidIoStatus::Failed) << "only the headset has LED reports";
    EXPECT_EQ(readOnly->Write(VendorFrame(0x01), n, 1000), HidIoStatus::Failed);
    EXPECT_EQ(n, 0u);

    // A short vendor report reaches the device padded with zeros.
    std::vector<uint8_t> shortFrame = VendorFrame(0x01);
    shortFrame.resize(8);
    ASSERT_EQ(command->Write(shortFrame, n, 1000), HidIoStatus::Ok);
    EXPECT_EQ(n, 8u);
    uint8_t reply[64];
    ASSERT_EQ(command->Read(reply, n, 0), HidIoStatus::Ok);
    EXPECT_EQ(reply[7], 0x00) << "the checksum of the padded frame holds";

    auto headset = backend.Open(backend.CommandPath(SimUnit::Headset), ReadWrite());
    led[1] = 0x44;
    led[2] = 0xAB;
    led[3] = 200;
    ASSERT_EQ(headset->Write(led, n, 1000), HidIoStatus::Ok);
    EXPECT_EQ(backend.HeadsetLeds(0x44)[1], 200);
}

TEST(SimHandles, AReaderThatFallsBehindLosesTheNewestReports) {
    SimBackend backend(1);
    backend.Plug(SimUnit::MousePad);
    auto events = backend.Open(backend.EventPath(SimUnit::MousePad), ReadWrite());
    for (uint16_t i = 0; i < 40; ++i) { // 80 reports with the releases
        backend.InjectEvent(SimUnit::MousePad, uint16_t(0x1000 + i));
    }
    size_t count = 0;
    uint8_t report[3];
    size_t n = 0;
    uint16_t first = 0;
    while (events->Read(report, n, 0) == HidIoStatus::Ok) {
        if (count++ == 0) {
            first = uint16_t(report[1] | (report[2] << 8));
        }
    }
    EXPECT_EQ(count, 64u);
    EXPECT_EQ(first, 0x1000);
}

// Starts an infinite read of `events` (the unit's event handle) on another
// thread, runs `end` once the read waits, and returns how the read ended.
// When `end` does not end it, the test fails naming `what` and `fallback`
// ends it rather than hang.
HidIoStatus EndWaitingRead(SimBackend& backend, SimUnit unit, HidHandle& events,
                           const std::function<void()>& end, const std::function<void()>& fallback,
                           const std::string& what) {
    auto reader = std::async(std::launch::async, [&] {
        uint8_t report[3];
        size_t n = 0;
        return events.Read(report, n, kHidInfinite);
    });
    EXPECT_TRUE(backend.WaitForWaitingRead(backend.EventPath(unit), 5000)) << "the read never began";
    end();
    if (reader.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << what << " did not end the read";
        fallback();
    }
    return reader.get();
}

TEST(SimHandles, CancelEndsAWaitingReadAndEveryLaterTransfer) {
    SimBackend backend(1);
    backend.Plug(SimUnit::Mouse);
    auto events = backend.Open(backend.EventPath(SimUnit::Mouse), ReadWrite());
    EXPECT_EQ(EndWaitingRead(
                  backend, SimUnit::Mouse, *events, [&] { events->Cancel(); },
                  [&] { backend.Unplug(SimUnit::Mouse); }, "the cancel"),
              HidIoStatus::Cancelled);
    size_t n = 0;
    uint8_t report[3];
    backend.InjectEvent(SimUnit::Mouse, 0x0401);
    EXPECT_EQ(events->Read(report, n, 0), HidIoStatus::Cancelled);
}

TEST(SimHandles, AnInterruptEndsOneReadAndLosesNoReport) {
    SimBackend backend(1);
    backend.Plug(SimUnit::Mouse);
    auto events = backend.Open(backend.EventPath(SimUnit::Mouse), ReadWrite());
    EXPECT_EQ(EndWaitingRead(
                  backend, SimUnit::Mouse, *events, [&] { events->InterruptRead(); },
                  [&] { events->Cancel(); }, "the interrupt"),
              HidIoStatus::Interrupted);

    // One that comes before the read ends it, before a queued report; the
    // report is read next and nothing is left over.
    uint8_t report[3] = {};
    size_t n = 0;
    ASSERT_TRUE(backend.InjectEvent(SimUnit::Mouse, 0x0401));
    events->InterruptRead();
    EXPECT_EQ(events->Read(report, n, 5000), HidIoStatus::Interrupted);
    ASSERT_EQ(events->Read(report, n, 0), HidIoStatus::Ok);
    EXPECT_EQ(report[1], 0x01);
    ASSERT_EQ(events->Read(report, n, 0), HidIoStatus::Ok) << "the release";
    EXPECT_EQ(events->Read(report, n, 0), HidIoStatus::TimedOut) << "not sticky";
}

TEST(SimHandles, UnplugEndsAnInfiniteRead) {
    SimBackend backend(1);
    backend.Plug(SimUnit::MouseReceiver);
    auto events = backend.Open(backend.EventPath(SimUnit::MouseReceiver), ReadWrite());
    EXPECT_EQ(EndWaitingRead(
                  backend, SimUnit::MouseReceiver, *events, [&] { backend.Unplug(SimUnit::MouseReceiver); },
                  [&] { events->Cancel(); }, "the unplug"),
              HidIoStatus::Gone);
}

TEST(SimHandles, HandlesOutliveTheirBackend) {
    std::unique_ptr<HidHandle> handle;
    {
        SimBackend backend(1);
        backend.Plug(SimUnit::Headset);
        handle = backend.Open(backend.CommandPath(SimUnit::Headset), ReadWrite());
        ASSERT_NE(handle, nullptr);
    }
    size_t n = 0;
    uint8_t buffer[64];
    EXPECT_EQ(handle->Read(buffer, n, kHidInfinite), HidIoStatus::Gone);
    EXPECT_EQ(handle->Write(VendorFrame(0x01), n, 0), HidIoStatus::Gone);
}

TEST(SimEvents, KeysOnTheDeviceReportOnTheWayTheDeviceIsConnected) {
    SimBackend backend(1);
    backend.Plug(SimUnit::KeyboardReceiver);
    auto viaReceiver = backend.Open(backend.EventPath(SimUnit::KeyboardReceiver), ReadWrite());
    uint8_t report[3];
    size_t n = 0;

    ASSERT_TRUE(backend.PressKey(SimModel::Keyboard, SimKey::BrightnessDown));
    ASSERT_EQ(viaReceiver->Read(report, n, 0), HidIoStatus::Ok);
    EXPECT_EQ(report[1] | (report[2] << 8), 0x0401);
    viaReceiver->Read(report, n, 0); // release

    backend.Plug(SimUnit::Keyboard);
    auto viaCable = backend.Open(backend.EventPath(SimUnit::Keyboard), ReadWrite());
    ASSERT_TRUE(backend.PressKey(SimModel::Keyboard, SimKey::ProfileNext));
    ASSERT_EQ(viaCable->Read(report, n, 0), HidIoStatus::Ok);
    EXPECT_EQ(report[1] | (report[2] << 8), 0x0402);
    EXPECT_EQ(viaReceiver->Read(report, n, 0), HidIoStatus::TimedOut) << "the cable carries it";

    // Switched off and off the cable, the keyboard has no power.
    backend.Unplug(SimUnit::Keyboard);
    backend.SetWireless(SimModel::Keyboard, false);
    const auto before = backend.Memory(SimModel::Keyboard, SimMemory::Params);
    EXPECT_FALSE(backend.PressKey(SimModel::Keyboard, SimKey::ProfileNext));
    EXPECT_EQ(backend.Memory(SimModel::Keyboard, SimMemory::Params), before);
    EXPECT_FALSE(backend.InjectEvent(SimUnit::KeyboardReceiver, 0x0401));
    EXPECT_FALSE(backend.SetWireless(SimModel::MousePad, false));
    EXPECT_FALSE(backend.InjectEvent(SimUnit::Headset, 0x0401));
}

TEST(SimLog, EveryReportInAndOutIsLoggedInOrder) {
    SimBackend backend(1);
    backend.Plug(SimUnit::Mouse);
    auto command = backend.Open(backend.CommandPath(SimUnit::Mouse), ReadWrite());
    size_t n = 0;
    command->Write(VendorFrame(0x01), n, 1000);
    backend.InjectEvent(SimUnit::Mouse, 0x0403);
    const auto frames = backend.Frames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].direction, SimDirection::ToDevice);
    EXPECT_EQ(frames[0].collection, 4);
    EXPECT_EQ(frames[1].direction, SimDirection::FromDevice);
    EXPECT_EQ(frames[1].bytes[3], 0x01);
    EXPECT_EQ(frames[2].collection, 3);
    EXPECT_LT(frames[0].sequence, frames[3].sequence);

    backend.SetFrameLogLimit(2);
    EXPECT_EQ(backend.Frames().size(), 2u);
    EXPECT_EQ(backend.Frames()[0].sequence, frames[2].sequence);
    backend.ClearFrames();
    EXPECT_TRUE(backend.Frames().empty());
}

TEST(SimLog, TheLogFileHasEveryFrameWithItsTimeWhenTheBackendGoes) {
    const std::string path = testing::TempDir() + "sim-log-test.txt";
    std::vector<SimFrame> frames;
    {
        SimBackend backend(1);
        std::string error;
        ASSERT_TRUE(backend.LogToFile(path, error)) << error;
        backend.Plug(SimUnit::Mouse);
        backend.InjectFault(SimUnit::Mouse, {SimFaultKind::Delay, 2, 1, 30});
        auto command = backend.Open(backend.CommandPath(SimUnit::Mouse), ReadWrite());
        size_t n = 0;
        command->Write(VendorFrame(0x01), n, 1000);
        command->Write(VendorFrame(0x02), n, 1000);
        frames = backend.Frames();
    } // the backend goes: the file is complete now
    std::ifstream file(path);
    // The opening time on the monotonic clock comes first, to set the frames against other clocks.
    std::string opened;
    std::getline(file, opened);
    double openedMs = 0;
    ASSERT_EQ(std::sscanf(opened.c_str(), "# opened at %lf monotonic", &openedMs), 1) << opened;
    const std::chrono::duration<double, std::milli> firstMs = frames.front().time.time_since_epoch();
    EXPECT_LE(openedMs, firstMs.count());
    EXPECT_GT(openedMs, firstMs.count() - 10'000);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), frames.size());
    ASSERT_EQ(lines.size(), 4u);
    double previous = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::istringstream fields(lines[i]);
        std::string ms;
        std::string direction;
        std::string unit;
        fields >> ms >> direction >> unit;
        ASSERT_EQ(ms.size() - ms.find('.'), 4u) << "three decimals: " << lines[i];
        EXPECT_GE(std::stod(ms), previous);
        previous = std::stod(ms);
        EXPECT_EQ(direction, i % 2 == 0 ? "out" : "in");
        EXPECT_EQ(unit, "mouse");
        std::string hex;
        for (uint8_t byte : frames[i].bytes) {
            char cell[4];
            std::snprintf(cell, sizeof cell, " %02x", byte);
            hex += cell;
        }
        EXPECT_EQ(lines[i].substr(lines[i].size() - hex.size()), hex);
    }
    // The delayed reply is logged when it became readable, 30 ms after its request.
    std::istringstream request(lines[2]);
    std::istringstream reply(lines[3]);
    double sent = 0;
    double answered = 0;
    request >> sent;
    reply >> answered;
    EXPECT_GE(answered - sent, 29.0);
    std::remove(path.c_str());
}

// The garbage of a stale reply comes from the seed, so two runs agree.
std::vector<uint8_t> StaleBytes(uint32_t seed) {
    SimBackend backend(seed);
    backend.Plug(SimUnit::Mouse);
    backend.InjectFault(SimUnit::Mouse, {SimFaultKind::StaleReply, 1, 1, 0});
    auto command = backend.Open(backend.CommandPath(SimUnit::Mouse), ReadWrite());
    size_t n = 0;
    command->Write(VendorFrame(0x01), n, 1000);
    uint8_t stale[64];
    command->Read(stale, n, 0);
    return {stale, stale + 64};
}

TEST(SimFaults, StaleRepliesAreDeterministicPerSeed) {
    EXPECT_EQ(StaleBytes(7), StaleBytes(7));
    EXPECT_NE(StaleBytes(7), StaleBytes(8));
    EXPECT_EQ(StaleBytes(7)[3], 0x00) << "a stale frame never echoes the request";
}

TEST(SimFaults, NoReplyLeavesTheReaderWaitingAndTheMemoryAlone) {
    SimBackend backend(1);
    backend.Plug(SimUnit::Keyboard);
    backend.InjectFault(SimUnit::Keyboard, {SimFaultKind::NoReply, 2, 1, 0});
    auto command = backend.Open(backend.CommandPath(SimUnit::Keyboard), ReadWrite());
    size_t n = 0;
    uint8_t reply[64];
    ASSERT_EQ(command->Write(VendorFrame(0x01), n, 1000), HidIoStatus::Ok);
    EXPECT_EQ(command->Read(reply, n, 0), HidIoStatus::Ok);
    ASSERT_EQ(command->Write(VendorFrame(0x1C), n, 1000), HidIoStatus::Ok);
    EXPECT_EQ(command->Read(reply, n, 20), HidIoStatus::TimedOut);
    EXPECT_FALSE(backend.LightingTaken(SimModel::Keyboard)) << "a lost frame is not carried out";
    ASSERT_EQ(command->Write(VendorFrame(0x1C), n, 1000), HidIoStatus::Ok);
    EXPECT_EQ(command->Read(reply, n, 0), HidIoStatus::Ok) << "the fault hit one frame only";
    EXPECT_TRUE(backend.LightingTaken(SimModel::Keyboard));
    EXPECT_EQ(backend.FramesWritten(SimUnit::Keyboard), 3u);
}

} // namespace
} // namespace velkor::sim
