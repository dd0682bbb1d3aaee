#pragma once
// What only some device kinds do, as small interfaces a kind implements next
// to CTolvanicUSBDevice. Callers ask a device for a role with
// Capability<Role>(device) and get null when the kind does not offer it, so
// nothing pretends to have read, written or saved what it cannot.
//
// Every role operation runs on the user-interface thread, except PowerSource's.
#include "devices/MacroWrites.h"
#include "keys/KeyFunction.h"
#include "profiles/ProfileRecords.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velkor {

// The primary screen's size, read once when the main window starts and sent
// with every settings write.
struct ScreenSize {
    int width = 0;
    int height = 0;
};

// Used-macro list: macro indexes in the order the keys first play them.
using MacroList = std::vector<int>;

// A profile of the device's kind and its settings record on the device.
class ProfileIo {
public:
    virtual ~ProfileIo() = default;
    // The profile and configuration file paths of the selected profile.
    virtual void SetupProfilePaths() = 0;
    // The profile file path; empty when there is none.
    virtual std::string GetDeviceProfilePath() const = 0;
    // Loads the selected profile and applies its lighting. False when nothing could be loaded.
    virtual bool LoadDeviceProfile() = 0;
    // Saves the profile file. False when it could not be written.
    virtual bool SaveDeviceProfile() = 0;
    // Loads the default profile, applies, saves and refreshes the page.
    virtual void RestoreDefaults() = 0;
    // Encodes the kind's settings record from the profile now and queues its
    // write (WriteParams) on the device's worker, where it coalesces with a
    // write of the same record not started yet (CTolvanicUSBDevice::WriteRecord).
    // Returns 1 when queued, else why nothing was queued (0: closed, no such
    // slot). The device's result goes to the write's waiters (WatchWrites).
    virtual int SendSettings(int slot, int value, int flag, ScreenSize screen) = 0;
};

// Key assignments and macros written into the device (keyboards and mice).
// Record j of the macro block and key-table number j always come from one
// plan (MacroPlan.h), and the writes follow the order of MacroWrites.h.
class KeyWriter {
public:
    virtual ~KeyWriter() = default;
    // The macros the current key assignments play, each once, in key order.
    virtual MacroList ListMacros() = 0;
    // WriteKeyTable of `keys` into `bank`: macro keys renumbered when their
    // block is whole in the device, else on their default function. The
    // transport's result code (0: nothing sent).
    virtual int WriteKeyAssignments(int bank, const std::vector<KeyListEntry>& keys) = 0;
    // The profile's key list through WriteKeyAssignments; the result code.
    virtual int WriteProfileKeys(int bank) = 0;
    // The guard table and the event block of `macros`: 0 written (or nothing
    // to do), -1 not written, n > 0: the block exceeds the macro memory by n
    // events and nothing was sent.
    virtual int WriteMacros(const MacroList& macros) = 0;
    // Guard table, block and final table in one session on this thread.
    virtual MacroWriteOutcome WriteMacrosAndKeys(int bank) = 0;
    // Bytes the current keys' macros take and the macro memory holds.
    virtual MacroMemoryUse MacroMemory() = 0;
    // Key functions that refer to list entries that no longer exist go back to their defaults.
    virtual void PruneKeyFunctions() = 0;

    // For a write on another thread: the snapshot it needs, taken on the
    // user-interface thread; RunMacroWrite sends it (any thread); the device
    // then takes over what reached it (user-interface thread).
    virtual MacroWriteRequest PrepareMacroWrite(MacroWriteMode mode, int bank) = 0;
    virtual void FinishMacroWrite(const MacroWriteOutcome& outcome) = 0;
};

// The keys as the key assignment panel edits them (keyboards and mice).
class KeyEntryStore {
public:
    virtual ~KeyEntryStore() = default;
    // The device's key list, by key number.
    virtual const std::vector<KeyListEntry>& KeyList() const = 0;
    // Key `key` takes `entry` in the key list and the profile document (the
    // file is saved with the next key write) and its picture is redrawn.
    // False, with nothing changed, for a key the list does not hold.
    virtual bool StoreKeyEntry(int key, const KeyListEntry& entry) = 0;
};

// A device on a battery or behind a receiver. Its queries run on the
// device's transfer worker (ReadPowerOf, LinkUpOf), so that the window never
// waits for the device; what they show reaches the user-interface thread.
class PowerSource {
public:
    virtual ~PowerSource() = default;
    // Reads the power status into the power panel and tells the main window
    // (message 3329). The transport's result code (0 when nothing was read).
    virtual int ReadPower() = 0;
    // The wireless device answers through its receiver.
    virtual bool IsLinkUp() = 0;
};

// Audio-reactive lighting (keyboards).
class AudioLighting {
public:
    virtual ~AudioLighting() = default;
    // The group levels of one audio frame.
    virtual void FeedAudioLevels(std::span<const int32_t> levels) = 0;
    // Band values; the first three are the colour of the band-colour effect.
    virtual void SetAudioBands(std::span<const int32_t> values) = 0;
};

} // namespace velkor
