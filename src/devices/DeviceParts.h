#pragma once
// Pieces the device kinds share on top of the device base: their profile
// file paths, the light list and custom effect steps the light thread plays,
// the power read, and the rules the key writes and macro clean-up of the
// keyboard and the mouse follow.
#include "devices/DeviceRoles.h"
#include "devices/EffectPlayers.h"
#include "devices/Guarded.h"
#include "devices/KeyboardLayout.h"
#include "devices/LedState.h"
#include "keys/KeyFunction.h"
#include "profiles/BasicProfiledata.h"
#include "profiles/ProfileRecords.h"
#include "transport/DeviceTransport.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace velkor {

// The exit trace of the keyboard's and the mouse's event threads.
inline constexpr std::string_view kTraceKeyboardMouseEventExit = "MS 设备同步线程设定退出";

class CTolvanicUSBDevice;
class DeviceTransport;
namespace ui {
class Control;
}

// profile file = user data folder + the device's profile identifier + ".Json";
// configuration file = user data folder + the light settings name +
// ".config"; default = the device's default profile. A path whose folder or
// identifier is missing is left as it was.
void SetupDeviceProfilePaths(CBasicProfiledata& profile, const CTolvanicUSBDevice& device);

// The profile's "LightList" and the steps of the selected custom effect,
// each behind its own lock, with the device's own list renderer and step
// player: the user-interface thread reloads them, the light thread plays them.
class LightPlayback {
public:
    // Reads "LightList" and, after loading the configuration document, the
    // custom effect steps of the profile's current mode; the list renderer
    // and the player start over.
    void Reload(CBasicProfiledata& profile);

    // Light thread, with the LED lock held: one pass of the step player
    // (an empty effect shows nothing) or of the list renderer.
    void PlaySteps(LedFrame& frame, uint32_t nowMs);
    void PlayList(LedFrame& frame, uint32_t nowMs);
    // The list has entries to draw (any thread).
    bool ListActive() const;

    Guarded<EffectStepPlayer::Steps>& EffectSteps() { return m_steps; }

private:
    struct ListState {
        std::vector<LightListEntry> entries;
        LightListRenderer renderer;
    };
    Guarded<ListState> m_list;
    Guarded<EffectStepPlayer::Steps> m_steps;
    EffectStepPlayer m_player; // light thread only
};

// The pace of a light thread, taken from the clock so that load does not
// change an effect's speed: one tick per `tickMs`. Light thread only.
class LightPacer {
public:
    explicit LightPacer(uint32_t tickMs) : m_tickMs(tickMs) {}
    // The ticks that passed since the last tick counted (the remainder
    // carries over); the first call starts the count and gives 0.
    uint32_t Advance(uint32_t nowMs);
    // How long until the next tick is due.
    uint32_t MsToNextTick(uint32_t nowMs) const;
    // How long until the tick at which FrameDue(threshold) holds: the next
    // tick for a threshold of 1 or one already reached.
    uint32_t MsToFrameDue(uint32_t threshold, uint32_t nowMs) const;
    // True once `threshold` ticks have passed since the last frame (an
    // effect's step threshold), and the count starts again.
    bool FrameDue(uint32_t threshold);
    // A frame was drawn off the schedule: the count starts again.
    void FrameDrawn() { m_sinceFrame = 0; }

private:
    uint32_t m_tickMs;
    bool m_started = false;
    uint32_t m_last = 0;
    uint32_t m_sinceFrame = 0; // ticks, at most 255
};

// The power status of a keyboard or mouse: skipped (0) while the transport
// is closed, the window sits in the tray or the wireless link is down. On
// success byte 3 tells the link (1 receiver, 0 cable), the power panel shows
// the 6 bytes and the main window hears 3329 with byte 4. The transport's
// result code.
int ReadWirelessPower(CTolvanicUSBDevice& device);

// The power read itself, with no link or tray check (the mouse pad's): 0
// while the transport is closed; on success byte 3 tells the link, the power
// panel shows the 6 bytes and the main window hears 3329 with byte 4. The
// transport's result code. Runs on the transfer worker (or on the
// user-interface thread); the panel is shown on the user-interface thread.
int ReadAndShowPower(CTolvanicUSBDevice& device);

// The functions the device's keys were last given: those of `keyList`, or
// before a profile is loaded (at attach the layout is read first) those of
// the profile's file, with macro keys as they went out renumbered.
std::vector<KeyFunction> LastSentKeyFunctions(CTolvanicUSBDevice& device, ProfileIo& io,
                                              CBasicProfiledata& profile,
                                              const std::vector<KeyListEntry>& keyList);

// Stores `entry` as key `key` of `keyList` and in the profile's key list,
// and redraws the device's key panel. False (nothing stored) for a key
// outside the list.
bool StoreKeyListEntry(CTolvanicUSBDevice& device, CBasicProfiledata& profile,
                       std::vector<KeyListEntry>& keyList, int key, const KeyListEntry& entry);

// The active profile's number and its settings record as the device holds
// them. `result` is the first failure or kResultOk; `offset` is empty when
// the profile has no record.
template <size_t N> struct ActiveRecordRead {
    int result = kResultNoReply;
    uint8_t profile = 0;
    std::optional<uint16_t> offset;
    std::array<uint8_t, N> bytes{};
    bool Ok() const { return result == kResultOk && offset.has_value(); }
};

// Reads the profile number at `profileOffset`, then the record at
// `offsetOf(profile)`. The exchanges only, nothing changes: safe on the
// device's transfer worker. Nothing is read while the transport is closed.
template <size_t N, class OffsetOf>
ActiveRecordRead<N> ReadActiveRecord(DeviceTransport& transport, uint16_t profileOffset, OffsetOf offsetOf) {
    ActiveRecordRead<N> read;
    if (!transport.IsOpen()) {
        return read;
    }
    read.result = transport.ReadParams(&read.profile, 1, profileOffset);
    if (read.result != kResultOk) {
        return read;
    }
    read.offset = offsetOf(read.profile);
    if (read.offset) {
        read.result = transport.ReadParams(read.bytes.data(), uint16_t(N), *read.offset);
    }
    return read;
}

// True when the wireless device answers through its receiver.
bool WirelessLinkUp(CTolvanicUSBDevice& device);

// Keys that play a macro numbered `macroCount` or higher get their default
// function back. True when any changed.
bool PruneMacroAssignments(std::vector<KeyListEntry>& keys, size_t macroCount);

} // namespace velkor
