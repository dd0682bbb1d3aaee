#include "devices/MouseSettings.h"

#include "devices/SettingsRecordRules.h"

#include <algorithm>
#include <cstring>

namespace velkor {

namespace {

// Sensor 0x3325 changes from steps of s to steps of 200 DPI above step 48.
constexpr uint16_t kTwoRangeSensor = 0x3325;
constexpr int kFineSteps = 48;
constexpr int kCoarseStepDpi = 200;
// Selected modes at or beyond this are no mode of the mouse; position 0 is sent.
constexpr int kMouseModeLimit = 10;

uint16_t Le16(const uint8_t* bytes) {
    return uint16_t(bytes[0] | bytes[1] << 8);
}

void PutLe16(uint8_t* bytes, int value) {
    bytes[0] = uint8_t(value);
    bytes[1] = uint8_t(value >> 8);
}

uint16_t ClampStep(uint16_t step, const MouseDpiLimits& limits) {
    // A mouse that reported no highest step gives no bound to apply.
    return limits.highestStep == 0 ? step : std::min(step, limits.highestStep);
}

} // namespace

MouseDpiLimits MouseDpiLimits::FromInfo(std::span<const uint8_t, kInfoSize> info) {
    MouseDpiLimits limits;
    limits.sensorId = Le16(&info[9]);
    limits.stepSize = info[11];
    limits.highestStep = Le16(&info[12]);
    limits.base = Le16(&info[14]);
    return limits;
}

int DpiOfStep(const MouseDpiLimits& limits, int step) {
    if (limits.sensorId == kTwoRangeSensor && step > kFineSteps) {
        return kFineSteps * limits.stepSize + step * kCoarseStepDpi + limits.base -
               kFineSteps * kCoarseStepDpi;
    }
    return step * limits.stepSize + limits.base;
}

int StepOfDpiText(const MouseDpiLimits& limits, std::string_view text) {
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos || text[start] == '-') {
        return 0;
    }
    long value = 0;
    for (size_t i = start; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<long>(value * 10 + (text[i] - '0'), 1000000); // no overflow from a long string
    }
    // The exact inverse of what the steps show: the largest step whose DPI
    // does not exceed the value (the display is increasing in the step).
    int step = 0;
    while (step < limits.highestStep && DpiOfStep(limits, step + 1) <= value) {
        ++step;
    }
    return step;
}

MouseSettingsRecord MouseSettingsRecord::FromBytes(std::span<const uint8_t, kSize> bytes) {
    return RecordFromBytes<MouseSettingsRecord>(bytes);
}

MouseSettingsRecord::Bytes MouseSettingsRecord::ToBytes() const {
    return RecordToBytes(*this);
}

std::optional<uint16_t> MouseRecordOffset(int profile) {
    return RecordOffset(profile, kMouseSlotStride, int(MouseSettingsRecord::kSize));
}

MouseSettingsRecord EncodeMouseRecord(const MouseRecordInput& in, const DeviceNameLists& modes,
                                      const MouseDpiLimits& limits) {
    MouseSettingsRecord r;
    r.activeProfile = in.byteZero;
    const int mode = in.light.selectItem >= kMouseModeLimit ? 0 : in.light.selectItem;
    int32_t code = modes.EffectCodeOf(mode);
    if (code < 0 || code > 0xFF) {
        code = std::clamp<int32_t>(modes.EffectCodeOf(0), 0, 0xFF);
    }
    r.effectCode = uint8_t(code);
    r.brightness = in.light.light;
    r.speedInverse = FlipSpeed(in.light.speed);
    r.direction = in.light.fx;
    r.colourCycling = in.light.multiColor;
    r.red = in.light.red;
    r.green = in.light.green;
    r.blue = in.light.blue;
    r.reportRate = in.reportRate >= 0 && in.reportRate < kMouseReportRates ? uint8_t(in.reportRate) : 0;
    r.activeStage = in.activeStage >= 0 && in.activeStage < kMouseStageCount ? uint8_t(in.activeStage) : 0;
    const size_t stages = std::min<size_t>(in.stages.size(), kMouseStageCount);
    for (size_t i = 0; i < stages; ++i) {
        const DpiStage& stage = in.stages[i];
        MouseStageBytes& out = r.stages[i];
        out.enabled = stage.active;
        out.xy = stage.xy;
        PutLe16(out.xStep, ClampStep(stage.dpiX, limits));
        PutLe16(out.yStep, ClampStep(stage.dpiY, limits));
        out.red = stage.red;
        out.green = stage.green;
        out.blue = stage.blue;
    }
    r.hostFlag = in.flag;
    PutLe16(r.screenWidth, std::clamp(in.screenWidth, 0, 0xFFFF));
    PutLe16(r.screenHeight, std::clamp(in.screenHeight, 0, 0xFFFF));
    const auto selected = std::find_if(in.corrections.begin(), in.corrections.end(),
                                       [](const CorrectEntry& entry) { return entry.select != 0; });
    if (selected != in.corrections.end()) {
        r.correctMinSq = selected->minSq;
        r.correctPixThresh = selected->pixThresh;
    }
    return r;
}

DecodedMouseSettings DecodeMouseRecord(const MouseSettingsRecord& read, uint8_t activeProfile,
                                       const LightInfoRecord& current, const DeviceNameLists& modes) {
    DecodedMouseSettings out;
    out.last = read;
    out.last.activeProfile = activeProfile;
    out.last.effectCode = ModeOfEffectByte(read.effectCode, modes);
    out.last.changeFlag = 0;
    out.light = current;
    out.light.selectItem = out.last.effectCode;
    out.light.light = read.brightness;
    out.light.speed = FlipSpeed(read.speedInverse);
    out.light.multiColor = read.colourCycling;
    out.light.red = read.red;
    out.light.green = read.green;
    out.light.blue = read.blue;
    if (read.activeStage < kMouseStageCount) {
        out.activeStage = read.activeStage;
    }
    return out;
}

} // namespace velkor
