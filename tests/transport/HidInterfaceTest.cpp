#include "support/ScriptedBackend.h"
#include "transport/HidInterface.h"

#include <gtest/gtest.h>

#include <chrono>

namespace velkor::test {
namespace {

// The event interface of the family: a consumer collection with report ID 3
// carrying one 16-bit consumer usage.
const std::vector<uint8_t> kConsumerDescriptor = {
    0x05, 0x0C,       // usage page (consumer)
    0x09, 0x01,       // usage (consumer control)
    0xA1, 0x01,       // collection (application)
    0x85, 0x03,       //   report ID 3
    0x19, 0x00,       //   usage minimum 0
    0x2A, 0xFF, 0x3F, //   usage maximum 0x3FFF
    0x15, 0x00,       //   logical minimum 0
    0x26, 0xFF, 0x3F, //   logical maximum 0x3FFF
    0x75, 0x10,       //   report size 16
    0x95, 0x01,       //   report count 1
    0x81, 0x00,       //   input (data, array)
    0xC0,
};

// Buttons 1..3 and 4..8 on the button page as two variable fields, plus an 8-bit X value.
const std::vector<uint8_t> kTwoButtonFieldsDescriptor = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, // generic desktop, mouse, application
    0x85, 0x01,                         // report ID 1
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03, // buttons 1..3
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02,
    0x19, 0x04, 0x29, 0x08, // buttons 4..8
    0x95, 0x05, 0x81, 0x02,
    0x05, 0x01, 0x09, 0x30, // X
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x01, 0x81, 0x06,
    0xC0,
};

TEST(HidEnumeration, EmptyListEndsAtOnce) {
    ScriptedBackend backend;
    HidInterface hid(backend);
    EXPECT_TRUE(hid.Enumerate());
    EXPECT_EQ(hid.NextPath(), nullptr);
}

TEST(HidEnumeration, ManyInterfacesKeepTheirOrder) {
    ScriptedBackend backend;
    for (int i = 0; i < 9; ++i) {
        backend.Add("test:" + std::to_string(i) + "#vid_320f&pid_7070&mi_01&col04", {});
    }
    HidInterface hid(backend);
    ASSERT_TRUE(hid.Enumerate());
    int count = 0;
    while (const char* path = hid.NextPath()) {
        EXPECT_EQ(std::string(path).substr(0, 7), "test:" + std::to_string(count) + "#");
        ++count;
    }
    EXPECT_EQ(count, 9);
    EXPECT_EQ(hid.NextPath(), nullptr);
    hid.ReleaseList();
    EXPECT_EQ(hid.NextPath(), nullptr);
}

TEST(HidEnumeration, PlatformFailureIsReported) {
    ScriptedBackend backend;
    backend.Add("test:a#vid_320f", {});
    backend.SetEnumerationFails(true);
    HidInterface hid(backend);
    EXPECT_FALSE(hid.Enumerate());
    EXPECT_EQ(hid.NextPath(), nullptr);
}

TEST(HidPaths, IdentityTokens) {
    const std::string path = "hidraw:/dev/hidraw3#VID_320F&pid_7070&MI_01&col04";
    EXPECT_EQ(PathVendorId(path), 0x320F);
    EXPECT_EQ(PathProductId(path), 0x7070);
    EXPECT_EQ(PathInterfaceNumber(path), 1);
    EXPECT_EQ(PathCollectionNumber(path), 4);
    EXPECT_EQ(PathCollectionNumber("x#vid_0c76&pid_1630&mi_03"), 0);
    EXPECT_EQ(PathVendorId("x#vid_123456789"), 0x6789) << "only the low 16 bits count";
    EXPECT_EQ(PathVendorId("no tokens"), 0);
    EXPECT_EQ(MakePathIdentity(0x320F, 0x7070, 1, 4), "vid_320f&pid_7070&mi_01&col04");
    EXPECT_EQ(MakePathIdentity(0x0C76, 0x1630, 3, 0), "vid_0c76&pid_1630&mi_03");
}

TEST(HidOpen, LoadsCapabilitiesOfTheCollection) {
    ScriptedBackend backend;
    backend.Add("test:v", {});
    HidInterface hid(backend);
    ASSERT_TRUE(hid.Open("test:v", true, true, true, false));
    EXPECT_EQ(hid.Caps().usagePage, 0xFF1C);
    EXPECT_EQ(hid.Caps().usage, 0x92);
    EXPECT_EQ(hid.Caps().inputReportLength, 64);
    EXPECT_EQ(hid.Caps().outputReportLength, 64);
    EXPECT_EQ(hid.Attributes().vendorId, 0x320F);
    EXPECT_EQ(hid.InputReportBuffer().size(), 64u);
    EXPECT_TRUE(hid.Reopen());
    EXPECT_TRUE(hid.IsOpen());
}

TEST(HidOpen, MissingOrOverlongPathLeavesItClosed) {
    ScriptedBackend backend;
    backend.Add("test:v", {});
    HidInterface hid(backend);
    ASSERT_TRUE(hid.Open("test:v", true, true, true, false));
    EXPECT_FALSE(hid.Open("test:gone", true, true, true, false));
    EXPECT_FALSE(hid.IsOpen());
    EXPECT_EQ(hid.Caps().usagePage, 0);
    EXPECT_FALSE(hid.Open(std::string(260, 'x'), true, true, true, false));
    EXPECT_FALSE(hid.IsOpen());
}

TEST(HidOpen, MalformedDescriptorFailsTheOpen) {
    ScriptedBackend backend;
    ScriptedBackend::Interface broken;
    broken.descriptor = {0x06, 0x1C}; // truncated item
    backend.Add("test:broken", broken);
    ScriptedBackend::Interface missingCollection;
    missingCollection.collection = 5; // the descriptor has one top-level collection
    backend.Add("test:nocol", missingCollection);
    HidInterface hid(backend);
    EXPECT_FALSE(hid.Open("test:broken", true, true, true, false));
    EXPECT_FALSE(hid.Open("test:nocol", true, true, true, false));
    EXPECT_FALSE(hid.IsOpen());
}

TEST(HidTransfer, SilentDeviceTimesOutWithNothingTransferred) {
    ScriptedBackend backend;
    backend.Add("test:v", {});
    HidInterface hid(backend);
    ASSERT_TRUE(hid.Open("test:v", true, true, true, false));
    uint8_t buffer[64];
    size_t got = 5;
    EXPECT_FALSE(hid.Read(buffer, sizeof buffer, &got, 50));
    EXPECT_EQ(got, 0u);
    hid.Close();
    EXPECT_FALSE(hid.Write(buffer, sizeof buffer, &got, 50)) << "a closed interface moves nothing";
}

TEST(HidUnpack, EventCodeOfTheConsumerCollection) {
    ScriptedBackend backend;
    ScriptedBackend::Interface events;
    events.descriptor = kConsumerDescriptor;
    backend.Add("test:events", events);
    HidInterface hid(backend);
    ASSERT_TRUE(hid.Open("test:events", true, true, true, false));
    EXPECT_EQ(hid.Caps().usagePage, 0x0C);
    EXPECT_EQ(hid.Caps().inputReportLength, 3);
    ASSERT_EQ(hid.InputItems().size(), 1u);
    const uint8_t report[3] = {0x03, 0x01, 0x04};
    ASSERT_TRUE(hid.UnpackInput(report, sizeof report));
    EXPECT_EQ(hid.FirstInputUsage(), 0x0401);
    EXPECT_TRUE(hid.InputItems()[0].isSet);
    const uint8_t otherId[3] = {0x05, 0x02, 0x04};
    ASSERT_TRUE(hid.UnpackInput(otherId, sizeof otherId));
    EXPECT_EQ(hid.FirstInputUsage(), 0x0401) << "a report of another ID leaves the items alone";
    const uint8_t released[3] = {0x03, 0x00, 0x00};
    ASSERT_TRUE(hid.UnpackInput(released, sizeof released));
    EXPECT_EQ(hid.FirstInputUsage(), 0);
}

TEST(HidUnpack, UsagesOutsideAnItemsRangeAreLeftOut) {
    ScriptedBackend backend;
    ScriptedBackend::Interface mouse;
    mouse.descriptor = kTwoButtonFieldsDescriptor;
    backend.Add("test:mouse", mouse);
    HidInterface hid(backend);
    ASSERT_TRUE(hid.Open("test:mouse", true, false, true, false));
    const auto& items = hid.InputItems();
    ASSERT_EQ(items.size(), 3u); // two button items, then the X value
    ASSERT_TRUE(items[0].isButton);
    ASSERT_EQ(items[0].usages.size(), 8u);
    // Buttons 2 and 5 down, X = -3.
    const uint8_t report[3] = {0x01, 0b00010010, 0xFD};
    ASSERT_TRUE(hid.UnpackInput(report, sizeof report));
    EXPECT_EQ(items[0].usages[0], 2);
    EXPECT_EQ(items[0].usages[1], 0);
    EXPECT_EQ(items[1].usages[0], 5);
    EXPECT_EQ(items[1].usages[1], 0);
    EXPECT_FALSE(items[2].isButton);
    EXPECT_EQ(items[2].usage, 0x30);
    EXPECT_EQ(static_cast<int8_t>(items[2].value & 0xFF), -3);
    const uint8_t truncated[1] = {0x01};
    EXPECT_FALSE(hid.UnpackInput(truncated, sizeof truncated)) << "the value cannot be decoded";
}

} // namespace
} // namespace velkor::test
