#pragma once
// The mouse's settings record in its parameter memory, its DPI arithmetic,
// and the rules that turn the mouse's state into those bytes and back.
//
// Parameter memory: byte 0 holds the active profile number p; profile p's
// slot starts at p x 128. The host writes bytes 0..65 of the slot and reads
// 0..70; bytes 66..70 are the mouse's own.
//
// Pure functions: no transport, no locks. Nothing a damaged profile or a
// confused mouse says can produce an index outside the mouse's five stages or
// a step above the highest the mouse reported.
#include "devices/DeviceNameLists.h"
#include "profiles/ProfileRecords.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace velkor {

inline constexpr int kMouseStageCount = 5;
inline constexpr uint16_t kMouseSlotStride = 128;
inline constexpr int kMouseReportRates = 5;

// The DPI facts of the mouse's information block.
struct MouseDpiLimits {
    uint16_t sensorId = 0;    // bytes 9-10
    uint8_t stepSize = 0;     // byte 11
    uint16_t highestStep = 0; // bytes 12-13
    uint16_t base = 0;        // bytes 14-15

    static constexpr size_t kInfoSize = 34;
    static MouseDpiLimits FromInfo(std::span<const uint8_t, kInfoSize> info);
    bool operator==(const MouseDpiLimits&) const = default;
};

// The DPI a step shows. Sensor 0x3325 runs in steps of s up to step 48 and
// in steps of 200 above it.
int DpiOfStep(const MouseDpiLimits& limits, int step);
// The step of a typed DPI: the largest step whose DPI does not exceed the
// value, within 0..highest step. Text without digits counts as 0; a leading
// minus sign gives 0.
int StepOfDpiText(const MouseDpiLimits& limits, std::string_view text);
// The DPI of the highest step (the edit's maximum).
inline int MaxDpi(const MouseDpiLimits& limits) {
    return DpiOfStep(limits, limits.highestStep);
}

#pragma pack(push, 1)

struct MouseStageBytes {
    uint8_t enabled = 0;
    uint8_t xy = 0;
    uint8_t xStep[2] = {}; // little-endian
    uint8_t yStep[2] = {};
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const MouseStageBytes&) const = default;
};
static_assert(sizeof(MouseStageBytes) == 9);

struct MouseSettingsRecord {
    uint8_t activeProfile = 0;                // 0: written as the caller's value
    uint8_t effectCode = 0;                   // 1
    uint8_t brightness = 0;                   // 2: Light
    uint8_t speedInverse = 0;                 // 3: 4 - Speed
    uint8_t direction = 0;                    // 4: Fx, never read back
    uint8_t colourCycling = 0;                // 5: MultiColor
    uint8_t red = 0;                          // 6
    uint8_t green = 0;                        // 7
    uint8_t blue = 0;                         // 8
    uint8_t changeFlag = 0;                   // 9: written 0, cleared in the kept copy
    uint8_t reserved10 = 0;                   // 10
    uint8_t reportRate = 0;                   // 11: report-rate option 0..4
    uint8_t activeStage = 0;                  // 12
    uint8_t reserved13 = 0;                   // 13
    MouseStageBytes stages[kMouseStageCount]; // 14..58
    uint8_t hostFlag = 0;                     // 59: the caller's flag
    uint8_t screenWidth[2] = {};              // 60
    uint8_t screenHeight[2] = {};             // 62
    uint8_t correctMinSq = 0;                 // 64
    uint8_t correctPixThresh = 0;             // 65
    uint8_t mouseOwn[5] = {};                 // 66..70: the mouse's own, never written

    static constexpr size_t kSize = 71;
    static constexpr size_t kWrittenSize = 66;
    using Bytes = std::array<uint8_t, kSize>;

    static MouseSettingsRecord FromBytes(std::span<const uint8_t, kSize> bytes);
    Bytes ToBytes() const;
    bool operator==(const MouseSettingsRecord&) const = default;
};
static_assert(sizeof(MouseSettingsRecord) == MouseSettingsRecord::kSize);
static_assert(offsetof(MouseSettingsRecord, stages) == 14 && offsetof(MouseSettingsRecord, hostFlag) == 59 &&
              offsetof(MouseSettingsRecord, mouseOwn) == 66);

#pragma pack(pop)

// Offset of profile p's slot; nullopt when p is negative or beyond a 16-bit offset.
std::optional<uint16_t> MouseRecordOffset(int profile);

struct MouseRecordInput {
    LightInfoRecord light;
    std::vector<DpiStage> stages;
    int activeStage = 0;
    int reportRate = 0;
    std::vector<CorrectEntry> corrections;
    uint8_t byteZero = 0;
    uint8_t flag = 0;
    int screenWidth = 0;
    int screenHeight = 0;
};

// The record to write, from zero: byte 1 is the mode list's code of
// SelectItem (a SelectItem of 10 or more, or one without a code, sends
// position 0's); the first five stages (zeros for missing ones), each step no
// higher than `limits.highestStep` when the mouse reported one; an active
// stage or report rate outside the mouse's range is sent as 0; the first
// selected correction entry.
MouseSettingsRecord EncodeMouseRecord(const MouseRecordInput& input, const DeviceNameLists& modes,
                                      const MouseDpiLimits& limits);

struct DecodedMouseSettings {
    LightInfoRecord light;
    // The record's active stage; nullopt when it is no stage of the mouse.
    std::optional<int> activeStage;
    // The record kept: byte 0 the active profile, byte 1 the mode number, byte 9 cleared.
    MouseSettingsRecord last;
};

// Reads a record back. The effect code becomes its position in the mode
// list (the raw code when none has it); Fx and the fields the record does
// not carry keep the values of `current`.
DecodedMouseSettings DecodeMouseRecord(const MouseSettingsRecord& read, uint8_t activeProfile,
                                       const LightInfoRecord& current, const DeviceNameLists& modes);

} // namespace velkor
