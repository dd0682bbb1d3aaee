#pragma once
// The OpenRGB SDK protocol on the wire, as its public description gives it:
// the 16-byte packet header, the packet IDs this server knows, and the
// controller description that answers a controller-data request, for every
// protocol version from 0 to kSdkProtocolVersion. Pure functions and plain
// values: no sockets, no threads, no devices; any thread.
//
// Integers are little-endian; strings are a 16-bit length (with the
// terminating zero) followed by the bytes and the zero; a colour is four
// bytes red, green, blue, 0.
#include <charconv>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::sdk {

// The highest version this server speaks (zone segments, zone and controller
// flags, alternative LED names). A client asking for less gets its own.
inline constexpr uint32_t kSdkProtocolVersion = 5;
inline constexpr uint16_t kSdkDefaultPort = 6742;
inline constexpr size_t kHeaderSize = 16;
// No request this server answers comes near it: a whole frame of every LED
// of the largest controller is under 2 KiB. A larger one ends the client.
inline constexpr uint32_t kMaxPacketSize = 1u << 20;

// A port given as text: decimal digits alone, 1..65535; nothing otherwise.
// Inline, so that whoever only reads a port needs no link to the server.
inline std::optional<uint16_t> ParsePort(std::string_view text) {
    uint32_t port = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, port);
    if (text.empty() || error != std::errc() || next != end || port == 0 || port > 65535) {
        return std::nullopt;
    }
    return uint16_t(port);
}

enum PacketId : uint32_t {
    kRequestControllerCount = 0,
    kRequestControllerData = 1,
    kRequestProtocolVersion = 40,
    kSetClientName = 50,
    kDeviceListUpdated = 100,
    kRequestProfileList = 150,
    kSaveProfile = 151,
    kLoadProfile = 152,
    kDeleteProfile = 153,
    kResizeZone = 1000,
    kUpdateLeds = 1050,
    kUpdateZoneLeds = 1051,
    kUpdateSingleLed = 1052,
    kSetCustomMode = 1100,
    kUpdateMode = 1101,
    kSaveMode = 1102,
};

struct Header {
    uint32_t deviceIndex = 0;
    uint32_t packetId = 0;
    uint32_t size = 0;
};

enum class HeaderCheck { Ok, BadMagic, TooLarge };

// `bytes` holds at least kHeaderSize bytes.
HeaderCheck ReadHeader(std::span<const uint8_t> bytes, Header& header);
void AppendHeader(std::vector<uint8_t>& out, uint32_t deviceIndex, uint32_t packetId, uint32_t size);
// A whole packet: header and payload.
std::vector<uint8_t> MakePacket(uint32_t deviceIndex, uint32_t packetId, std::span<const uint8_t> payload);

// ---- The controller model, as clients see it ----

enum class DeviceType : int32_t { Keyboard = 5, Mouse = 6, Mousemat = 7, Headset = 8 };
enum class ZoneType : int32_t { Single = 0, Linear = 1, Matrix = 2 };

enum ModeFlag : uint32_t {
    kHasSpeed = 1u << 0,
    kHasDirectionLR = 1u << 1,
    kHasBrightness = 1u << 4,
    kHasPerLedColour = 1u << 5,
    kHasModeSpecificColour = 1u << 6,
    kHasRandomColour = 1u << 7,
    kManualSave = 1u << 8,
};
enum class ColourMode : uint32_t { None = 0, PerLed = 1, ModeSpecific = 2, Random = 3 };
enum Direction : uint32_t { kDirectionLeft = 0, kDirectionRight = 1 };

// 0x00BBGGRR: red in the lowest byte, as the wire carries it.
using Colour = uint32_t;
constexpr Colour MakeColour(uint8_t red, uint8_t green, uint8_t blue) {
    return Colour(red) | Colour(green) << 8 | Colour(blue) << 16;
}

struct Mode {
    std::string name;
    int32_t value = 0; // ours: the position in the device's mode list; -1 for Direct
    uint32_t flags = 0;
    uint32_t speedMin = 0, speedMax = 0;
    uint32_t brightnessMin = 0, brightnessMax = 0;
    uint32_t coloursMin = 0, coloursMax = 0;
    uint32_t speed = 0, brightness = 0, direction = 0;
    ColourMode colourMode = ColourMode::None;
    std::vector<Colour> colours;
    bool operator==(const Mode&) const = default;
};

struct Zone {
    std::string name;
    ZoneType type = ZoneType::Single;
    uint32_t ledCount = 0;
    // Matrix zones: height x width LED indices within the zone, kNoLed where no key sits.
    uint32_t matrixHeight = 0, matrixWidth = 0;
    std::vector<uint32_t> matrix;
    bool operator==(const Zone&) const = default;
};
inline constexpr uint32_t kNoLed = 0xFFFFFFFFu;

struct Led {
    std::string name;
    uint32_t value = 0;
    bool operator==(const Led&) const = default;
};

struct Controller {
    DeviceType type = DeviceType::Keyboard;
    std::string name, vendor, description, version, serial, location;
    std::vector<Mode> modes;
    int32_t activeMode = 0;
    std::vector<Zone> zones;
    std::vector<Led> leds;
    std::vector<Colour> colours; // one per LED
    bool operator==(const Controller&) const = default;
};

// The payload of a controller-data answer at `version` (capped at ours).
std::vector<uint8_t> DescribeController(const Controller& controller, uint32_t version);
// The reverse, for tests and the fuzz target: nothing when the bytes do not
// hold exactly one description of that version.
std::optional<Controller> ReadController(std::span<const uint8_t> payload, uint32_t version);

// ---- Requests ----

struct ModeRequest {
    int32_t index = -1;
    Mode mode;
};
// UpdateMode and SaveMode payloads at `version`; nothing when malformed.
std::optional<ModeRequest> ReadModeRequest(std::span<const uint8_t> payload, uint32_t version);
// UpdateLEDs: the colours, or nothing when malformed.
std::optional<std::vector<Colour>> ReadLedsRequest(std::span<const uint8_t> payload);
struct ZoneLedsRequest {
    uint32_t zone = 0;
    std::vector<Colour> colours;
};
std::optional<ZoneLedsRequest> ReadZoneLedsRequest(std::span<const uint8_t> payload);
struct SingleLedRequest {
    int32_t led = 0;
    Colour colour = 0;
};
std::optional<SingleLedRequest> ReadSingleLedRequest(std::span<const uint8_t> payload);
// A zero-terminated string payload (client name, profile name); the bytes up
// to the first zero, all of them when there is none.
std::string ReadTextPayload(std::span<const uint8_t> payload);
// The profile list answer.
std::vector<uint8_t> DescribeProfiles(std::span<const std::string> names);
// Encodes a mode at `version`, as a client sends it (tests, bench).
void AppendMode(std::vector<uint8_t>& out, const Mode& mode, uint32_t version);

} // namespace velkor::sdk
