// The wire codec: a controller survives every protocol version, and every
// request refuses what is cut short or too long.
#include "sdk/SdkWire.h"

#include <gtest/gtest.h>

namespace velkor::sdk {
namespace {

Controller Sample() {
    Controller c;
    c.type = DeviceType::Keyboard;
    c.name = "Wired keyboard";
    c.vendor = "Tolvanic";
    c.description = "keyboard on its cable";
    c.location = "USB cable";
    Mode breathing{.name = "Breathing",
                   .value = 4,
                   .flags = kHasSpeed | kHasBrightness | kHasModeSpecificColour,
                   .speedMax = 4,
                   .brightnessMax = 4,
                   .coloursMin = 1,
                   .coloursMax = 1,
                   .speed = 2,
                   .brightness = 3,
                   .colourMode = ColourMode::ModeSpecific,
                   .colours = {MakeColour(1, 2, 3)}};
    c.modes = {
        breathing,
        Mode{.name = "Direct", .value = -1, .flags = kHasPerLedColour, .colourMode = ColourMode::PerLed}};
    c.activeMode = 1;
    c.zones = {Zone{.name = "Keyboard",
                    .type = ZoneType::Matrix,
                    .ledCount = 3,
                    .matrixHeight = 2,
                    .matrixWidth = 2,
                    .matrix = {0, 1, kNoLed, 2}}};
    c.leds = {{"Key: Esc", 0}, {"Key: F1", 1}, {"Key: A", 40}};
    c.colours = {MakeColour(255, 0, 0), 0, MakeColour(0, 0, 255)};
    return c;
}

class ControllerVersions : public testing::TestWithParam<uint32_t> {};

TEST_P(ControllerVersions, ReadsBackWhatItDescribes) {
    const uint32_t version = GetParam();
    Controller expected = Sample();
    if (version < 1) {
        expected.vendor.clear();
    }
    if (version < 3) {
        for (Mode& mode : expected.modes) {
            mode.brightness = mode.brightnessMin = mode.brightnessMax = 0;
        }
    }
    const std::vector<uint8_t> bytes = DescribeController(Sample(), version);
    const std::optional<Controller> read = ReadController(bytes, version);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, expected);
    // Every shorter cut is refused, never read past.
    for (size_t cut = 0; cut < bytes.size(); cut += 7) {
        EXPECT_FALSE(ReadController(std::span(bytes).first(cut), version).has_value()) << cut;
    }
}
INSTANTIATE_TEST_SUITE_P(Sdk, ControllerVersions, testing::Values(0u, 1u, 2u, 3u, 4u, 5u));

TEST(SdkWire, ModeRequestsAtEachVersionAndTheirFaults) {
    for (uint32_t version : {0u, 3u, 5u}) {
        std::vector<uint8_t> body = {5, 0, 0, 0}; // mode index 5
        AppendMode(body, Sample().modes[0], version);
        std::vector<uint8_t> payload = {uint8_t(body.size() + 4), 0, 0, 0};
        payload.insert(payload.end(), body.begin(), body.end());
        const auto read = ReadModeRequest(payload, version);
        ASSERT_TRUE(read.has_value()) << version;
        EXPECT_EQ(read->index, 5);
        EXPECT_EQ(read->mode.colours, Sample().modes[0].colours);
        EXPECT_EQ(read->mode.brightness, version >= 3 ? 3u : 0u);
        payload.push_back(0);
        EXPECT_FALSE(ReadModeRequest(payload, version).has_value()) << "a byte too many";
        payload.resize(payload.size() - 2);
        EXPECT_FALSE(ReadModeRequest(payload, version).has_value()) << "a byte too few";
    }
}

struct LedsCase {
    const char* what;
    std::vector<uint8_t> payload;
    bool good;
};
class LedsRequests : public testing::TestWithParam<LedsCase> {};
TEST_P(LedsRequests, AreCheckedWhole) {
    EXPECT_EQ(ReadLedsRequest(GetParam().payload).has_value(), GetParam().good) << GetParam().what;
}
INSTANTIATE_TEST_SUITE_P(
    Sdk, LedsRequests,
    testing::Values(LedsCase{"two colours", {14, 0, 0, 0, 2, 0, 1, 2, 3, 0, 4, 5, 6, 0}, true},
                    LedsCase{"no colour", {6, 0, 0, 0, 0, 0}, true},
                    LedsCase{"a count beyond the bytes", {10, 0, 0, 0, 0xFF, 0xFF, 1, 2, 3, 0}, false},
                    LedsCase{"a size that is not the packet's", {99, 0, 0, 0, 0, 0}, false},
                    LedsCase{"nothing", {}, false}));

TEST(SdkWire, HeaderMagicAndSizeBound) {
    Header header;
    std::vector<uint8_t> packet = MakePacket(3, kUpdateLeds, std::vector<uint8_t>(6));
    EXPECT_EQ(ReadHeader(packet, header), HeaderCheck::Ok);
    EXPECT_EQ(header.deviceIndex, 3u);
    EXPECT_EQ(header.size, 6u);
    packet[0] = 'X';
    EXPECT_EQ(ReadHeader(packet, header), HeaderCheck::BadMagic);
    std::vector<uint8_t> huge;
    AppendHeader(huge, 0, kUpdateLeds, kMaxPacketSize + 1);
    EXPECT_EQ(ReadHeader(huge, header), HeaderCheck::TooLarge);
}

} // namespace
} // namespace velkor::sdk
