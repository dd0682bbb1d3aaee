#include "platform/bus/BusMessage.h"

#include <array>

namespace velkor {
namespace {

constexpr std::array<BusMessageInfo, 13> kTable = {{
    {BusMessageKind::Announce, "Announce", "VELKOR01", false, false},
    {BusMessageKind::InstallerReport, "InstallerReport", "{4695579F-999A-41d4-9FAF-EFFCE93EBF15}", false,
     false},
    {BusMessageKind::LightingControlRequest, "LightingControlRequest",
     "{4695579F-999A-41d4-9FAF-EFFCE93EBF17}", false, false},
    {BusMessageKind::AudioToolLink, "AudioToolLink", "{4695579F-999A-41d4-9FAF-EFFCE93EBF18}", false, false},
    {BusMessageKind::GameStart, "GameStart", "Game_Start", false, false},
    {BusMessageKind::GameEnd, "GameEnd", "Game_End", false, false},
    {BusMessageKind::GameKill, "GameKill", "Game_Kill", false, false},
    {BusMessageKind::GameDeath, "GameDeath", "Game_Death", false, false},
    {BusMessageKind::CopyData, "CopyData", "copy-data", false, true},
    {BusMessageKind::AudioToolStatus, "AudioToolStatus", "audio tool status", false, false},
    {BusMessageKind::LightingControl, "LightingControl", "{4695579F-999A-41d4-9FAF-EFFCE93EBF16}", true,
     false},
    {BusMessageKind::AudioToolParameter, "AudioToolParameter", "{4695579F-999A-41d4-9FAF-EFFCE93EBE19}", true,
     false},
    {BusMessageKind::AudioToolData, "AudioToolData", "copy-data", true, true},
}};

// The table is indexed by kind; keep the two in step.
constexpr bool TableFollowsKinds() {
    for (size_t i = 0; i < kTable.size(); ++i) {
        if (static_cast<size_t>(kTable[i].kind) != i) {
            return false;
        }
    }
    return true;
}
static_assert(TableFollowsKinds());

bool KnownKind(BusMessageKind kind) {
    return static_cast<size_t>(kind) < kTable.size();
}

} // namespace

std::span<const BusMessageInfo> BusMessageTable() {
    return kTable;
}

const BusMessageInfo& BusMessageInfoOf(BusMessageKind kind) {
    return KnownKind(kind) ? kTable[static_cast<size_t>(kind)] : kTable[0];
}

const BusMessageInfo* FindBusMessage(std::string_view member) {
    for (const BusMessageInfo& info : kTable) {
        if (member == info.member) {
            return &info;
        }
    }
    return nullptr;
}

size_t CopyDataLimit(BusMessageKind kind, uint32_t id) {
    if (kind == BusMessageKind::CopyData) {
        if (id == kCopyDataAudioFrame) {
            return kAudioFrameBytes;
        }
        if (id == kCopyDataAudioBands) {
            return kAudioBandsBytes;
        }
    } else if (kind == BusMessageKind::AudioToolData) {
        if (id == kCopyDataToolLink) {
            return kToolLinkBytes;
        }
        if (id == kCopyDataToolStyle) {
            return kToolStyleBytes;
        }
    }
    return 0;
}

bool CheckCopyData(BusMessageKind kind, uint32_t id, size_t size, std::string& why) {
    const size_t limit = CopyDataLimit(kind, id);
    const char* member = BusMessageInfoOf(kind).member;
    if (limit == 0) {
        why = std::string(member) + ": copy-data id " + std::to_string(id) + " is not accepted";
        return false;
    }
    if (size == 0) {
        why = std::string(member) + ": copy-data id " + std::to_string(id) + " carries no bytes";
        return false;
    }
    if (size > limit) {
        why = std::string(member) + ": copy-data id " + std::to_string(id) + " carries at most " +
              std::to_string(limit) + " bytes, not " + std::to_string(size);
        return false;
    }
    return true;
}

bool ValidateBusMessage(const BusMessage& message, std::string& why) {
    if (!KnownKind(message.kind)) {
        why = "unknown message kind " + std::to_string(static_cast<int>(message.kind));
        return false;
    }
    const BusMessageInfo& info = BusMessageInfoOf(message.kind);
    if (info.carriesData) {
        return CheckCopyData(message.kind, message.copyDataId, message.data.size(), why);
    }
    if (!message.data.empty() || message.copyDataId != 0) {
        why = std::string(info.member) + " carries no copy-data";
        return false;
    }
    return true;
}

BusMessage MakeBusMessage(BusMessageKind kind, int32_t wParam, int32_t lParam) {
    BusMessage message;
    message.kind = kind;
    message.wParam = wParam;
    message.lParam = lParam;
    return message;
}

BusMessage MakeCopyData(BusMessageKind kind, uint32_t id, std::span<const uint8_t> bytes) {
    BusMessage message;
    message.kind = kind;
    message.copyDataId = id;
    message.data.assign(bytes.begin(), bytes.end());
    return message;
}

bool CheckSendable(const BusMessage& message, std::string& why) {
    if (!ValidateBusMessage(message, why)) {
        return false;
    }
    const BusMessageInfo& info = BusMessageInfoOf(message.kind);
    if (info.broadcast) {
        why = std::string(info.member) + " is a broadcast of the program";
        return false;
    }
    return true;
}

} // namespace velkor
