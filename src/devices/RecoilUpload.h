#pragma once
// The four recoil patterns of a folder into a mouse's recoil memory, as one
// block in 56-byte chunks, in an order that never lets a gun key play a
// pattern that is not whole:
//
//   key table read, guard table (every gun key on its button's default),
//   recoil block, final table (the gun keys back) - one session, stopping at
//   the first failure; without a gun key before or after, the block alone.
//
// A cut anywhere leaves each gun key either off (on its default) or playing a
// block written whole. Any thread (the mouse runs it on its transfer worker);
// every frame's result is checked.
#include "keys/KeyFunction.h"
#include "macros/MacroPlan.h"
#include "transport/DeviceTransport.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace velkor {

enum class RecoilUploadStatus {
    Sent,        // the whole block reached the device and the session ended
    Closed,      // the transport is not open; nothing sent
    Unreachable, // a mouse behind its receiver did not answer a link question
    Oversized,   // a file holds more events than 30 bullets; nothing sent
    Failed,      // a frame failed; part of the block may be in the device, no gun key plays it
};

// A button of the mouse, for the key tables written around the block.
struct RecoilKey {
    std::size_t position = 0; // its key position
    KeyFunction fallback;     // what it does while the block goes in: its default
    // The gun key the profile gives it, which the final table gives it too.
    std::optional<KeyFunction> gun;
};

struct RecoilUploadRequest {
    std::string folder; // ends in '/'
    // A mouse behind its receiver: the link is asked before each step.
    bool checkLink = false;
    // Empty: gun keys found in the device go off during the upload and come back as they were.
    std::vector<RecoilKey> keys;
};

struct RecoilUploadOutcome {
    RecoilUploadStatus status = RecoilUploadStatus::Closed;
    // Oversized: the gun whose file is too long.
    int gun = -1;
    // Failed: the failing frame's result.
    int result = kResultOk;
    std::size_t bytes = 0;
    // The key table last written whole (guard or final), when one was.
    std::optional<KeyTableImage> tableInDevice;
    bool Ok() const { return status == RecoilUploadStatus::Sent; }
};

struct RecoilKeyTables {
    KeyTableImage guard{}; // as read, with no position naming a gun key
    KeyTableImage final{}; // as read, with every gun key the profile gives a button
};

// The tables around the block, from the table read and its first `positions`
// positions. In the guard a gun key gives way to its button's default (to no
// function where no button is, or where the default is a gun key or a macro).
RecoilKeyTables BuildRecoilKeyTables(const KeyTableImage& read, int positions,
                                     const std::vector<RecoilKey>& keys);

// ReadDeviceInfo, BeginSession, ReadKeyTable, the guard table, WriteRecoilData,
// the final table, EndSession; with `checkLink` the link is asked before each
// step. A session that began is ended whenever the link allows, after a
// failure too.
RecoilUploadOutcome RunRecoilUpload(DeviceTransport& transport, const RecoilUploadRequest& request);

} // namespace velkor
