#pragma once
// The messages this program exchanges with other programs, independent of the
// bus that carries them.
//
// Every message the program is sent (the announce, installer reports, lighting
// requests, the audio tool's link and data, the game events) is a method of
// the program's D-Bus interface; every message it broadcasts (lighting
// ownership, the audio tool's parameters and data) is a signal of it. Most
// carry the two 32-bit values a window message would carry (wParam, lParam);
// the copy-data messages carry an id and a byte array instead, with a strict
// size limit per id. packaging/dbus/org.velkor.VELKOR01.xml documents them.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// The program's identity on the bus: the well-known name is the single-instance lock.
inline constexpr const char* kBusName = "org.velkor.VELKOR01";
inline constexpr const char* kBusObjectPath = "/org/velkor/VELKOR01";
inline constexpr const char* kBusInterface = "org.velkor.VELKOR01";
// A headless instance (velkor --headless) owns this name too while it has the
// devices, so that a window start knows to ask it for them.
inline constexpr const char* kHeadlessBusName = "org.velkor.VELKOR01.Headless";
// The announce's wParam with which a window start asks a headless instance to
// hand it the devices and the name (a window that has them just comes to the front).
inline constexpr int32_t kAnnounceTakeOver = 1;
// The audio capture tool owns this name while it runs; the program watches it.
inline constexpr const char* kAudioToolBusName = "org.velkor.VELKOR01.AudioRecord";

// Copy-data ids and the most bytes each may carry.
inline constexpr uint32_t kCopyDataAudioFrame = 1; // tool -> program: 500 signed 32-bit samples
inline constexpr size_t kAudioFrameBytes = 2000;
inline constexpr uint32_t kCopyDataAudioBands = 2; // tool -> program: six 32-bit band values
inline constexpr size_t kAudioBandsBytes = 24;
inline constexpr uint32_t kCopyDataToolLink = 5; // program -> tool: the device model list
inline constexpr size_t kToolLinkBytes = 1024;
inline constexpr uint32_t kCopyDataToolStyle = 10; // program -> tool: the style colour
inline constexpr size_t kToolStyleBytes = 40;

enum class BusMessageKind : uint8_t {
    // Sent to the program (methods).
    Announce,               // come to the front; a second start sends (0, 1)
    InstallerReport,        // installer report and value, for the settings window
    LightingControlRequest, // (1, 0): stop controlling the lighting; (1, 1): resume
    AudioToolLink,          // the audio capture tool links to the program
    GameStart,              // game events: (kind, mode)
    GameEnd,
    GameKill,
    GameDeath,
    CopyData,        // copy-data id 1 (audio frame) or 2 (audio bands) with its bytes
    AudioToolStatus, // (state, detail): 0 capturing at rate detail, 1 waiting for the sound server,
                     // 2 no such source
    // Broadcast by the program (signals).
    LightingControl,    // (1, 1): the program takes the lighting; (1, 0): it gives it up
    AudioToolParameter, // (parameter number, value) for the audio capture tool
    AudioToolData,      // copy-data id 5 (link answer) or 10 (style colour) for the tool
};

// The audio capture tool's states (AudioToolStatus wParam).
enum class AudioToolState : int32_t {
    Capturing = 0, // lParam: the sample rate in Hz
    WaitingForServer = 1,
    NoSuchSource = 2,
};

// The parameters the program broadcasts to the tool (AudioToolParameter wParam).
inline constexpr int32_t kToolParameterPause = 2;   // at shut-down: stop sending frames
inline constexpr int32_t kToolParameterRelease = 4; // at shut-down: stop capturing
inline constexpr int32_t kToolParameterEnd = 5;     // at shut-down: end
inline constexpr int32_t kToolParameterRed = 6;     // slider values 0..255
inline constexpr int32_t kToolParameterGreen = 7;
inline constexpr int32_t kToolParameterBlue = 8;

struct BusMessage {
    BusMessageKind kind = BusMessageKind::Announce;
    int32_t wParam = 0;
    int32_t lParam = 0;
    uint32_t copyDataId = 0;   // CopyData and AudioToolData only
    std::vector<uint8_t> data; // CopyData and AudioToolData only
    std::string sender;        // filled in on receipt: who sent it (a unique bus name)
};

struct BusMessageInfo {
    BusMessageKind kind;
    const char* member;         // the D-Bus method or signal name
    const char* registeredName; // the registered window message it stands for (for traces)
    bool broadcast;             // a signal of the program rather than a method called on it
    bool carriesData;           // (u id, ay bytes) rather than (i wParam, i lParam)
};

// Every message, in the order of BusMessageKind.
std::span<const BusMessageInfo> BusMessageTable();
// The entry of `kind`; the announce's entry for a value outside the enumeration.
const BusMessageInfo& BusMessageInfoOf(BusMessageKind kind);
// The entry whose D-Bus member is `member`; null when there is none.
const BusMessageInfo* FindBusMessage(std::string_view member);

// The most bytes copy-data `id` may carry in a message of `kind`; 0 when that
// kind does not accept the id at all (or carries no data).
size_t CopyDataLimit(BusMessageKind kind, uint32_t id);
// Checks the byte count of a copy-data message before anything is copied.
// False with the reason when the id is not accepted, there are no bytes, or
// there are more than the id's limit.
bool CheckCopyData(BusMessageKind kind, uint32_t id, size_t size, std::string& why);
// Checks a whole message before it is sent and after it arrives: a known kind,
// copy-data within its limits, and no bytes on a message that carries none.
bool ValidateBusMessage(const BusMessage& message, std::string& why);
// A valid message that another program may send to the running one (not one of
// the program's own broadcasts); false with the reason otherwise.
bool CheckSendable(const BusMessage& message, std::string& why);

// Convenience constructors.
BusMessage MakeBusMessage(BusMessageKind kind, int32_t wParam, int32_t lParam);
BusMessage MakeCopyData(BusMessageKind kind, uint32_t id, std::span<const uint8_t> bytes);

} // namespace velkor
