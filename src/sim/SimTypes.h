#pragma once
// Names shared by the simulated device family: the USB units that can be
// plugged, the physical models whose firmware answers, the device memories,
// the keys on the devices, faults and the frame log.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::sim {

// One USB device that can be plugged on its own. A cable device is its
// command and event interfaces together; a receiver is its own pair. The
// units are numbered as the simulator's catalog lists them (SimCatalog.h):
// per model of the device catalog, its cable, then its receiver. The names
// below are the built-in family's; a catalog with further models has further
// numbers.
enum class SimUnit : uint8_t {
    Mouse = 0,            // mouse 0x7070 on its cable
    MouseReceiver = 1,    // 2.4 GHz receiver 0x221D of mouse 0x7070
    Keyboard = 2,         // keyboard 0x50B7 on its cable
    KeyboardReceiver = 3, // 2.4 GHz receiver 0x50A9 of keyboard 0x50B7
    MousePad = 4,         // illuminated mouse pad 0x1004
    Headset = 5,          // USB headset 0x0C76/0x1630
    Keyboard511D = 6,     // keyboard 0x511D (cable only)
};

// One physical device with its own firmware and memories: the device
// catalog's models, in its order.
enum class SimModel : uint8_t {
    Mouse = 0,        // 0x7070, also reached through receiver 0x221D
    Keyboard = 1,     // 0x50B7, also reached through receiver 0x50A9
    MousePad = 2,     // 0x1004
    Headset = 3,      // 0x0C76/0x1630
    Keyboard511D = 4, // 0x511D
};

// The firmware's memories, addressed by the 16-bit offset of a request.
enum class SimMemory : uint8_t {
    DeviceInfo,  // 34-byte information block
    Params,      // parameter memory: active profile byte, then per-profile records
    KeyTable,    // 3 bytes per key position
    KeyLightMap, // one light slot per key position
    Colours,     // colour tables, table index x 512
    Macro,       // macro memory (macro slots x 128 bytes)
    Recoil,      // recoil memory
    Power,       // 6-byte power status
    LiveColours, // the last live colour frame
};
constexpr size_t kSimMemoryCount = 9;

// A key pressed on the device itself: the firmware changes its own memory
// and reports the change on its event collection.
enum class SimKey : uint8_t {
    ProfileNext,    // next profile (keyboard: event 0x0402, mouse: 0x10xy, pad: 0x0401)
    ProfileSelect,  // profile `value` (same events)
    EffectNext,     // next lighting effect of the active profile (0x0401)
    BrightnessUp,   // brightness + 1, at most 4 (0x0401)
    BrightnessDown, // brightness - 1, at least 0 (0x0401)
    ToggleWinLock,  // keyboards: Win-lock flag of the active profile (0x0401)
    DpiNext,        // mouse: next enabled DPI stage (0x11xy: x stage, y profile)
    Click,          // mouse: a click, for the reactive flash (0x0403)
};

enum class SimFaultKind : uint8_t {
    NoReply,     // the frame is lost: not processed, nothing answers
    StaleReply,  // an old frame (wrong echo) is queued before the real reply
    StatusFF,    // the device refuses the frame with status 0xFF (nothing is applied)
    StatusFE,    // the device refuses the frame with status 0xFE (nothing is applied)
    FailedWrite, // the write itself fails (Write returns Failed, nothing arrives)
    Delay,       // processed at once, the reply becomes readable `delayMs` later
    Unplug,      // the unit is unplugged as the frame is written (Write returns Gone)
};

// A fault armed on a unit: it hits vendor frames number `atFrame` ..
// `atFrame + frames - 1`, counted from 1 for the first vendor frame written
// to the unit after the fault was armed; `frames` = 0 means from `atFrame` on.
struct SimFault {
    SimFaultKind kind = SimFaultKind::NoReply;
    uint32_t atFrame = 1;
    uint32_t frames = 1;
    uint32_t delayMs = 0; // Delay only
};

enum class SimDirection : uint8_t { ToDevice, FromDevice };

// One logged report, whole as it was written or delivered.
struct SimFrame {
    uint64_t sequence = 0;
    // When it was written, or when the reply became readable (a delayed one later).
    std::chrono::steady_clock::time_point time;
    SimDirection direction = SimDirection::ToDevice;
    SimUnit unit = SimUnit::Keyboard;
    int collection = 0;         // 1-based collection of the unit's interface
    std::vector<uint8_t> bytes; // report ID first
    std::string note;           // what happened to it: "", "failed write", "no reply", "stale", ...
};

// Stable names, used in paths ("sim:mouse#vid_...") and scenario files, and
// the relations between units and models, for the built-in family
// (BuiltInSimCatalog(); a simulator built on another catalog asks its own).
std::string_view UnitName(SimUnit unit);
std::optional<SimUnit> UnitFromName(std::string_view name);
std::string_view ModelName(SimModel model);
std::optional<SimModel> ModelFromName(std::string_view name);
// The model whose firmware answers behind a unit.
SimModel ModelOfUnit(SimUnit unit);
bool IsReceiver(SimUnit unit);
// The cable unit and the receiver unit of a model (the receiver is empty for
// models without one).
SimUnit CableUnitOf(SimModel model);
std::optional<SimUnit> ReceiverUnitOf(SimModel model);

std::optional<SimKey> KeyFromName(std::string_view name);
std::optional<SimFaultKind> FaultKindFromName(std::string_view name);

} // namespace velkor::sim
