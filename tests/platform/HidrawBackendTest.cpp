// Enumeration, opening and probing of hidraw nodes in a umockdev test bed:
// mocked sysfs devices (USB device, interface, HID device, hidraw node) with
// their udev properties, and /dev nodes backed by a pseudo terminal.
#include "platform/hidraw/HidrawBackend.h"

#include "platform/Trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <libudev.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>
#include <vector>

namespace velkor {
namespace {

// The family's interface 1: consumer collection (report 3), vendor collection (report 4).
const std::vector<uint8_t> kKeyboardInterface = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x19, 0x00, 0x2A, 0xFF, 0x3F,
    0x15, 0x00, 0x26, 0xFF, 0x3F, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0, 0x06,
    0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x09, 0x01, 0x15, 0x00, 0x26,
    0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0};

// A headset's consumer controls: one unnumbered collection.
const std::vector<uint8_t> kHeadsetInterface = {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x25,
                                                0x01, 0x09, 0xE9, 0x09, 0xEA, 0x75, 0x01, 0x95, 0x02,
                                                0x81, 0x02, 0x95, 0x06, 0x81, 0x01, 0xC0};

constexpr int kMajor = 499; // unlikely to have a udev database entry on the host

std::string Hex4(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

// One umockdev test bed; removed with the object.
class Testbed {
public:
    Testbed() : m_bed(umockdev_testbed_new()) {}
    ~Testbed() { g_object_unref(m_bed); }
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    // USB device → interface → HID device → /dev/hidraw<index>; returns the node's sysfs path.
    std::string AddUsbNode(int index, uint16_t vendorId, uint16_t productId, int interface,
                           const std::vector<uint8_t>& descriptor, const char* bcdDevice = "0105") {
        const std::string usbName = "1-" + std::to_string(index);
        char* usb = umockdev_testbed_add_device(
            m_bed, "usb", usbName.c_str(), nullptr, "idVendor", Hex4(vendorId).c_str(), "idProduct",
            Hex4(productId).c_str(), "bcdDevice", bcdDevice, nullptr, "DEVTYPE", "usb_device", nullptr);
        const std::string interfaceName = usbName + ":1." + std::to_string(interface);
        char number[4];
        std::snprintf(number, sizeof number, "%02x", interface);
        char* usbInterface =
            umockdev_testbed_add_device(m_bed, "usb", interfaceName.c_str(), usb, "bInterfaceNumber", number,
                                        nullptr, "DEVTYPE", "usb_interface", nullptr);
        const std::string hid = AddHid(usbInterface, 0x0003, vendorId, productId, index, descriptor);
        g_free(usb);
        g_free(usbInterface);
        return AddNode(hid, index);
    }

    // A HID device on another bus (Bluetooth): no USB parents.
    std::string AddBluetoothNode(int index, uint16_t vendorId, uint16_t productId,
                                 const std::vector<uint8_t>& descriptor) {
        char* host = umockdev_testbed_add_device(m_bed, "bluetooth", "hci0", nullptr, nullptr, nullptr);
        const std::string hid = AddHid(host, 0x0005, vendorId, productId, index, descriptor);
        g_free(host);
        return AddNode(hid, index);
    }

    // A hidraw node whose parent is not a HID device.
    std::string AddOrphanNode(int index) {
        char* parent = umockdev_testbed_add_device(m_bed, "platform", "orphan", nullptr, nullptr, nullptr);
        const std::string node = AddNode(parent, index);
        g_free(parent);
        return node;
    }

    void Remove(const std::string& syspath) { umockdev_testbed_remove_device(m_bed, syspath.c_str()); }

    // The test's end of /dev/hidraw<index>, in raw mode so that every byte passes unchanged.
    int DeviceEnd(int index) {
        const int fd = umockdev_testbed_get_dev_fd(m_bed, ("/dev/hidraw" + std::to_string(index)).c_str());
        termios settings{};
        if (fd >= 0 && tcgetattr(fd, &settings) == 0) {
            cfmakeraw(&settings);
            tcsetattr(fd, TCSANOW, &settings);
        }
        return fd;
    }

private:
    std::string AddHid(const char* parent, uint16_t bus, uint16_t vendorId, uint16_t productId, int index,
                       const std::vector<uint8_t>& descriptor) {
        const std::string name =
            Hex4(bus) + ":" + Hex4(vendorId) + ":" + Hex4(productId) + ".000" + std::to_string(index);
        const std::string hidId = Hex4(bus) + ":0000" + Hex4(vendorId) + ":0000" + Hex4(productId);
        char* hid = umockdev_testbed_add_device(m_bed, "hid", name.c_str(), parent, nullptr, "HID_ID",
                                                hidId.c_str(), "HID_NAME", "Test device", nullptr);
        std::vector<uint8_t> bytes = descriptor;
        umockdev_testbed_set_attribute_binary(m_bed, hid, "report_descriptor", bytes.data(),
                                              static_cast<gint>(bytes.size()));
        std::string path = hid;
        g_free(hid);
        return path;
    }

    std::string AddNode(const std::string& parent, int index) {
        const std::string name = "hidraw" + std::to_string(index);
        const std::string path = parent + "/hidraw/" + name;
        // MAJOR and MINOR as the kernel puts them in every device node's uevent.
        const std::string record =
            "P: " + path.substr(4) + "\nN: " + name + "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/" + name +
            "\nE: MAJOR=" + std::to_string(kMajor) + "\nE: MINOR=" + std::to_string(index) +
            "\nA: dev=" + std::to_string(kMajor) + ":" + std::to_string(index) + "\n";
        GError* error = nullptr;
        EXPECT_TRUE(umockdev_testbed_add_from_string(m_bed, record.c_str(), &error))
            << (error ? error->message : "");
        if (error) {
            g_error_free(error);
        }
        return path;
    }

    UMockdevTestbed* m_bed;
};

class HidrawBackendTest : public testing::Test {
protected:
    std::vector<std::string> Enumerate(UdevPresence udev = UdevPresence::Absent) {
        HidrawBackend backend(udev);
        std::vector<std::string> paths{"stale"};
        EXPECT_TRUE(backend.EnumeratePaths(paths));
        return paths;
    }

    Testbed m_bed;
    HidrawBackend m_backend{UdevPresence::Absent};
};

const std::string kVendorPath = "hidraw:/dev/hidraw0#vid_320f&pid_50b7&mi_01&col02";
const std::string kConsumerPath = "hidraw:/dev/hidraw0#vid_320f&pid_50b7&mi_01&col01";

// ---- Paths -------------------------------------------------------------------

TEST(HidrawPath, OnlyHidrawNodesAreAccepted) {
    std::string node;
    EXPECT_TRUE(ParseHidrawPath(kVendorPath, node));
    EXPECT_EQ(node, "/dev/hidraw0");
    EXPECT_TRUE(ParseHidrawPath("hidraw:/dev/hidraw12", node));
    EXPECT_EQ(node, "/dev/hidraw12");
    EXPECT_FALSE(ParseHidrawPath("sim:/dev/hidraw0#vid_320f", node));
    EXPECT_FALSE(ParseHidrawPath("hidraw:/etc/passwd#vid_320f", node));
    EXPECT_FALSE(ParseHidrawPath("hidraw:/dev/hidraw#vid_320f", node));
    EXPECT_FALSE(ParseHidrawPath("hidraw:/dev/hidraw0/../sda#vid_320f", node));
    EXPECT_FALSE(ParseHidrawPath("hidraw:/dev/hidraw1234567", node));
    EXPECT_FALSE(ParseHidrawPath("", node));
}

TEST(HidrawPath, HidIdIsBusVendorProduct) {
    uint32_t bus = 0;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    ASSERT_TRUE(ParseHidId("0003:0000320F:00007070", bus, vendorId, productId));
    EXPECT_EQ(bus, 3u);
    EXPECT_EQ(vendorId, 0x320F);
    EXPECT_EQ(productId, 0x7070);
    EXPECT_FALSE(ParseHidId("0003:0000320F", bus, vendorId, productId));
    EXPECT_FALSE(ParseHidId("0003:0001320F:00007070", bus, vendorId, productId)) << "vendor past 16 bits";
    EXPECT_FALSE(ParseHidId("0003:XYZ:00007070", bus, vendorId, productId));
    EXPECT_FALSE(ParseHidId("0003::00007070", bus, vendorId, productId));
}

// ---- Enumeration -------------------------------------------------------------

TEST_F(HidrawBackendTest, EmptySystemGivesAnEmptyList) {
    EXPECT_TRUE(Enumerate().empty());
}

TEST_F(HidrawBackendTest, EveryTopLevelCollectionIsAPath) {
    m_bed.AddUsbNode(0, 0x320F, 0x50B7, 1, kKeyboardInterface);
    const std::vector<std::string> paths = Enumerate();
    ASSERT_EQ(paths, (std::vector<std::string>{kConsumerPath, kVendorPath}));
    EXPECT_EQ(PathVendorId(paths[1]), 0x320F);
    EXPECT_EQ(PathProductId(paths[1]), 0x50B7);
    EXPECT_EQ(PathInterfaceNumber(paths[1]), 1);
    EXPECT_EQ(PathCollectionNumber(paths[0]), 1);
    EXPECT_EQ(PathCollectionNumber(paths[1]), 2);
}

TEST_F(HidrawBackendTest, SingleCollectionNodeHasNoCollectionToken) {
    m_bed.AddUsbNode(1, 0x0C76, 0x1630, 3, kHeadsetInterface);
    const std::vector<std::string> paths = Enumerate();
    ASSERT_EQ(paths, std::vector<std::string>{"hidraw:/dev/hidraw1#vid_0c76&pid_1630&mi_03"});
    EXPECT_EQ(PathCollectionNumber(paths[0]), 0);
}

TEST_F(HidrawBackendTest, DeviceOffUsbHasInterfaceZero) {
    m_bed.AddBluetoothNode(2, 0x046D, 0xB023, kHeadsetInterface);
    EXPECT_EQ(Enumerate(), std::vector<std::string>{"hidraw:/dev/hidraw2#vid_046d&pid_b023&mi_00"});
}

// A vendor feature report of `count` bytes, as touchscreens declare them.
std::vector<uint8_t> LongFeatureReport(uint16_t count) {
    return {0x06,
            0x00,
            0xFF,
            0x09,
            0x01,
            0xA1,
            0x01,
            0x85,
            0x44,
            0x09,
            0xC5,
            0x15,
            0x00,
            0x26,
            0xFF,
            0x00,
            0x75,
            0x08,
            0x96,
            static_cast<uint8_t>(count),
            static_cast<uint8_t>(count >> 8),
            0xB1,
            0x02,
            0xC0};
}

TEST_F(HidrawBackendTest, NodesThatCannotBeDescribedAreSkippedWithATrace) {
    m_bed.AddUsbNode(0, 0x320F, 0x50B7, 1, kKeyboardInterface);
    m_bed.AddUsbNode(1, 0x1234, 0x0001, 0, {0xA1, 0x01, 0x85}); // truncated descriptor
    m_bed.AddUsbNode(2, 0x1234, 0x0002, 0, {});                 // empty descriptor
    m_bed.AddOrphanNode(3);                                     // no HID parent
    m_bed.AddUsbNode(4, 0x1234, 0x0004, 0, LongFeatureReport(12289));
    m_bed.AddUsbNode(5, 0x1234, 0x0005, 0, LongFeatureReport(7487));
    std::vector<std::string> lines;
    ScopedTraceSink sink([&](std::string_view line) { lines.emplace_back(line); });
    EXPECT_EQ(Enumerate(), (std::vector<std::string>{kConsumerPath, kVendorPath,
                                                     "hidraw:/dev/hidraw5#vid_1234&pid_0005&mi_00"}));
    auto traced = [&](const std::string& node, const std::string& reason) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(node + " skipped") != std::string::npos &&
                   line.find(reason) != std::string::npos;
        });
    };
    EXPECT_TRUE(traced("/dev/hidraw1", "item runs past the end")) << testing::PrintToString(lines);
    EXPECT_TRUE(traced("/dev/hidraw2", "no application collection")) << testing::PrintToString(lines);
    EXPECT_TRUE(traced("/dev/hidraw4", "report count 12289")) << testing::PrintToString(lines);
}

TEST_F(HidrawBackendTest, NodesUdevHasNotSetUpAreSkippedWhileUdevRuns) {
    const std::string syspath = m_bed.AddUsbNode(0, 0x320F, 0x50B7, 1, kKeyboardInterface);
    // The test bed has no udev database, so libudev reports the node as not set up.
    udev* context = udev_new();
    udev_device* device = udev_device_new_from_syspath(context, syspath.c_str());
    ASSERT_NE(device, nullptr);
    const bool initialised = udev_device_get_is_initialized(device) > 0;
    udev_device_unref(device);
    udev_unref(context);
    if (initialised) {
        GTEST_SKIP() << "the host's udev database has an entry for this device number";
    }
    EXPECT_TRUE(Enumerate(UdevPresence::Running).empty());
    EXPECT_EQ(Enumerate(UdevPresence::Absent).size(), 2u);
}

// ---- Opening -----------------------------------------------------------------

TEST_F(HidrawBackendTest, OpenTakesDescriptorAndIdentityFromSysfsWhenTheNodeCannotTell) {
    m_bed.AddUsbNode(0, 0x320F, 0x50B7, 1, kKeyboardInterface, "0217");
    auto handle = m_backend.Open(kVendorPath, HidOpenFlags{true, true, true, false});
    ASSERT_NE(handle, nullptr) << m_backend.LastError();
    EXPECT_EQ(handle->Attributes().vendorId, 0x320F);
    EXPECT_EQ(handle->Attributes().productId, 0x50B7);
    EXPECT_EQ(handle->Attributes().versionNumber, 0x0217);
    EXPECT_EQ(handle->CollectionNumber(), 2);
    EXPECT_EQ(std::vector<uint8_t>(handle->ReportDescriptor().begin(), handle->ReportDescriptor().end()),
              kKeyboardInterface);
    EXPECT_TRUE(m_backend.LastError().empty());
}

TEST_F(HidrawBackendTest, PathWithoutCollectionOpensTheFirst) {
    m_bed.AddBluetoothNode(1, 0x0C76, 0x1630, kHeadsetInterface);
    auto handle = m_backend.Open("hidraw:/dev/hidraw1#vid_0c76&pid_1630&mi_00", HidOpenFlags{true, false});
    ASSERT_NE(handle, nullptr) << m_backend.LastError();
    EXPECT_EQ(handle->CollectionNumber(), 1);
    EXPECT_EQ(handle->Attributes().versionNumber, 0) << "no USB device: no release number";
}

TEST_F(HidrawBackendTest, OpenRefusesWhatIsNotThere) {
    m_bed.AddUsbNode(0, 0x320F, 0x50B7, 1, kKeyboardInterface);
    const HidOpenFlags flags{true, true};
    EXPECT_EQ(m_backend.Open("hidraw:/dev/hidraw7#vid_320f&pid_50b7&mi_01&col02", flags), nullptr);
    EXPECT_NE(m_backend.LastError().find("no such device"), std::string::npos) << m_backend.LastError();
    EXPECT_EQ(m_backend.Open("sim:keyboard#vid_320f&pid_50b7&mi_01&col02", flags), nullptr);
    EXPECT_NE(m_backend.LastError().find("not a hidraw"), std::string::npos) << m_backend.LastError();
    EXPECT_EQ(m_backend.Open("hidraw:/dev/hidraw0#vid_320f&pid_50b7&mi_01&col03", flags), nullptr);
    EXPECT_NE(m_backend.LastError().find("no collection 3"), std::string::npos) << m_backend.LastError();
    // The node number went to another device since the path was found.
    EXPECT_EQ(m_backend.Open("hidraw:/dev/hidraw0#vid_320f&pid_7070&mi_01&col02", flags), nullptr);
    EXPECT_NE(m_backend.LastError().find("another device"), std::string::npos) << m_backend.LastError();
}

TEST_F(HidrawBackendTest, OpenFailsOnANodeWithAMalformedDescriptor) {
    m_bed.AddUsbNode(0, 0x1234, 0x0001, 0, {0x05, 0x01, 0xC0});
    EXPECT_EQ(m_backend.Open("hidraw:/dev/hidraw0#vid_1234&pid_0001&mi_00", HidOpenFlags{true, true}),
              nullptr);
    EXPECT_NE(m_backend.LastError().find("malformed report descriptor: /dev/hidraw0: End Collection without"),
              std::string::npos)
        << m_backend.LastError();
}

TEST_F(HidrawBackendTest, OpenWithoutAccessOnlyDescribes) {
    m_bed.AddUsbNode(0, 0x320F, 0x50B7, 1, kKeyboardInterface);
    auto handle = m_backend.Open(kConsumerPath, HidOpenFlags{});
    ASSERT_NE(handle, nullptr) << m_backend.LastError();
    EXPECT_EQ(handle->Attributes().productId, 0x50B7);
    std::vector<uint8_t> buffer(64);
    size_t transferred = 0;
    EXPECT_EQ(handle->Read(buffer, transferred, 0), HidIoStatus::Failed);
    EXPECT_EQ(handle->Write(buffer, transferred, 0), HidIoStatus::Failed);
}

TEST_F(HidrawBackendTest, OpenedNodeCarriesReportsBothWays) {
    m_bed.AddUsbNode(0, 0x320F, 0x50B7, 1, kKeyboardInterface);
    auto handle = m_backend.Open(kVendorPath, HidOpenFlags{true, true, true, false});
    ASSERT_NE(handle, nullptr) << m_backend.LastError();
    const int device = m_bed.DeviceEnd(0);
    ASSERT_GE(device, 0);

    const uint8_t in[] = {4, 0x81, 0x82};
    ASSERT_EQ(write(device, in, sizeof in), static_cast<ssize_t>(sizeof in));
    std::vector<uint8_t> buffer(64, 0xEE);
    size_t transferred = 0;
    ASSERT_EQ(handle->Read(buffer, transferred, 5000), HidIoStatus::Ok);
    EXPECT_EQ(transferred, 64u);
    EXPECT_EQ(buffer[0], 4);
    EXPECT_EQ(buffer[2], 0x82);
    EXPECT_EQ(buffer[3], 0) << "padded to the input report length";

    std::vector<uint8_t> out(64, 0x5A);
    out[0] = 4;
    ASSERT_EQ(handle->Write(out, transferred, 5000), HidIoStatus::Ok);
    EXPECT_EQ(transferred, 64u);
    std::vector<uint8_t> received;
    while (received.size() < out.size()) {
        pollfd ready{device, POLLIN, 0};
        ASSERT_EQ(poll(&ready, 1, 5000), 1) << "the written report never arrived";
        uint8_t chunk[128];
        const ssize_t n = read(device, chunk, sizeof chunk);
        ASSERT_GT(n, 0);
        received.insert(received.end(), chunk, chunk + n);
    }
    EXPECT_EQ(received, out);
}

// ---- Probe -------------------------------------------------------------------

TEST_F(HidrawBackendTest, ProbeFollowsTheDevice) {
    const std::string syspath = m_bed.AddUsbNode(0, 0x320F, 0x50B7, 1, kKeyboardInterface);
    EXPECT_TRUE(m_backend.Probe(kVendorPath));
    EXPECT_TRUE(m_backend.Probe(kConsumerPath));
    EXPECT_FALSE(m_backend.Probe("hidraw:/dev/hidraw0#vid_320f&pid_7070&mi_01&col02")) << "another device";
    EXPECT_FALSE(m_backend.Probe("hidraw:/dev/hidraw5#vid_320f&pid_50b7&mi_01&col02"));
    EXPECT_FALSE(m_backend.Probe("sim:keyboard"));
    m_bed.Remove(syspath);
    EXPECT_FALSE(m_backend.Probe(kVendorPath)) << "unplugged";
    EXPECT_TRUE(Enumerate().empty());
}

} // namespace
} // namespace velkor
