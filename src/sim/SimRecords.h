#pragma once
// Byte-exact images of what the family's firmware keeps in its memories.
// Every multi-byte field is little-endian on the wire, so it is held as a
// Le16 pair of bytes and the records need no packing pragmas.
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace velkor::sim {

struct Le16 {
    uint8_t low = 0;
    uint8_t high = 0;

    constexpr Le16() = default;
    constexpr Le16(uint16_t value) : low(uint8_t(value & 0xFF)), high(uint8_t(value >> 8)) {}
    constexpr uint16_t Value() const { return uint16_t(low | (high << 8)); }
};
static_assert(sizeof(Le16) == 2);

// The 34-byte device information block (command 0x03).
struct DeviceInfoBlock {
    Le16 productId;       // 0: product of the firmware's own device
    Le16 firmwareVersion; // 2: BCD release of the firmware
    uint8_t deviceClass;  // 4: 1 keyboard, 2 mouse, 3 mouse pad, 7 headset
    uint8_t keyPositions; // 5: N; the key table is N x 3 bytes, the light map N bytes
    uint8_t macroSlots;   // 6: macro memory = slots x 128 bytes
    uint8_t profileCount; // 7
    uint8_t ledCount;     // 8
    Le16 sensorId;        // 9: optical sensor (mouse)
    uint8_t dpiStepSize;  // 11 (mouse)
    Le16 highestDpiStep;  // 12 (mouse)
    Le16 dpiBase;         // 14 (mouse)
    uint8_t reserved[18]; // 16..33
};
static_assert(sizeof(DeviceInfoBlock) == 34 && std::is_trivially_copyable_v<DeviceInfoBlock>);
static_assert(offsetof(DeviceInfoBlock, keyPositions) == 5 && offsetof(DeviceInfoBlock, sensorId) == 9);
static_assert(offsetof(DeviceInfoBlock, highestDpiStep) == 12 && offsetof(DeviceInfoBlock, dpiBase) == 14);

// A keyboard profile record: 28 bytes at profile x 28 of parameter memory.
struct KeyboardSettingsRecord {
    uint8_t profile;          // 0: in record 0 this byte is the active profile of the memory
    uint8_t effect;           // 1: device effect code (0xFE: a host-driven effect)
    uint8_t brightness;       // 2: 0..4
    uint8_t speedInverse;     // 3: 4 - speed
    uint8_t direction;        // 4
    uint8_t multiColour;      // 5
    uint8_t red, green, blue; // 6..8
    uint8_t firmware9[7];     // 9..15: the firmware's own bytes
    uint8_t changeFlag;       // 16
    uint8_t detail;           // 17: reported as x in event 0x11xy
    uint8_t zzccMode;         // 18
    uint8_t wFlag;            // 19
    uint8_t key6Flag;         // 20
    uint8_t winLock;          // 21
    uint8_t pollingRate;      // 22: report-rate option 0..3
    uint8_t firmware23[2];    // 23..24
    uint8_t wheelMode;        // 25
    uint8_t customGroup;      // 26: colour table of the custom effect
    uint8_t reserved27;       // 27
};
static_assert(sizeof(KeyboardSettingsRecord) == 28 && offsetof(KeyboardSettingsRecord, winLock) == 21);

// One DPI stage inside the mouse record.
struct DpiStageRecord {
    uint8_t enabled;
    uint8_t xyFlag;
    Le16 xStep;
    Le16 yStep;
    uint8_t red, green, blue;
};
static_assert(sizeof(DpiStageRecord) == 9);

// A mouse profile record: the first 71 bytes of the 128-byte slot at profile x 128.
struct MouseSettingsRecord {
    uint8_t profile;          // 0
    uint8_t effect;           // 1
    uint8_t brightness;       // 2
    uint8_t speedInverse;     // 3
    uint8_t direction;        // 4
    uint8_t multiColour;      // 5
    uint8_t red, green, blue; // 6..8
    uint8_t changeFlag;       // 9
    uint8_t reserved10;       // 10
    uint8_t reportRate;       // 11: option 0..4
    uint8_t activeStage;      // 12
    uint8_t reserved13;       // 13
    DpiStageRecord stages[5]; // 14..58
    uint8_t hostFlag;         // 59
    Le16 screenWidth;         // 60
    Le16 screenHeight;        // 62
    uint8_t correctMinSq;     // 64
    uint8_t correctPixThresh; // 65
    uint8_t firmware66[5];    // 66..70: lift-off, debounce, ... (never written by the host)
};
static_assert(sizeof(MouseSettingsRecord) == 71 && offsetof(MouseSettingsRecord, stages) == 14);
static_assert(offsetof(MouseSettingsRecord, hostFlag) == 59 &&
              offsetof(MouseSettingsRecord, firmware66) == 66);

// A mouse pad or headset profile record: 28 bytes at profile x 28.
struct PadSettingsRecord {
    uint8_t profile;          // 0
    uint8_t effect;           // 1
    uint8_t brightness;       // 2
    uint8_t speedInverse;     // 3
    uint8_t direction;        // 4
    uint8_t multiColour;      // 5
    uint8_t red, green, blue; // 6..8
    uint8_t firmware9[12];    // 9..20: carried back by the host as read
    uint8_t firmware21[7];    // 21..27: read by the host and dropped
};
static_assert(sizeof(PadSettingsRecord) == 28);

// The 6-byte power status (command 0x1A).
struct PowerStatusRecord {
    uint8_t batteryPercent; // 0
    uint8_t chargeState;    // 1: 0 full, 1 charging, 2 on battery
    uint8_t reserved2;      // 2
    uint8_t linkKind;       // 3: 1 answered through the receiver, 0 on the cable
    uint8_t hostByte;       // 4
    uint8_t phoneKind;      // 5
};
static_assert(sizeof(PowerStatusRecord) == 6);

// The first 8 bytes of every vendor report (ID 4); bytes 8..63 are data.
struct VendorFrameHeader {
    uint8_t reportId; // 0: 0x04
    Le16 checksum;    // 1: sum of bytes 3..63
    uint8_t command;  // 3: echoed by the device
    uint8_t length;   // 4
    Le16 offset;      // 5
    uint8_t status;   // 7: in replies, 0xFF / 0xFE are failures
};
static_assert(sizeof(VendorFrameHeader) == 8);

} // namespace velkor::sim
