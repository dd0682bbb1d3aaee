#pragma once
// The four recoil patterns of a folder into a mouse's recoil memory, as one
// block in 56-byte chunks. Any thread (the mouse runs it on its transfer
// worker); every frame's result is checked.
#include "transport/DeviceTransport.h"

#include <cstddef>
#include <string>

namespace velkor {

enum class RecoilUploadStatus {
    Sent,        // the whole block reached the device and the session ended
    Closed,      // the transport is not open; nothing sent
    Unreachable, // a mouse behind its receiver did not answer a link question
    Oversized,   // a file holds more events than 30 bullets; nothing sent
    Failed,      // a frame failed; part of the block may be in the device
};

struct RecoilUploadOutcome {
    RecoilUploadStatus status = RecoilUploadStatus::Closed;
    // Oversized: the gun whose file is too long.
    int gun = -1;
    // Failed: the failing frame's result.
    int result = kResultOk;
    std::size_t bytes = 0;
    bool Ok() const { return status == RecoilUploadStatus::Sent; }
};

// ReadDeviceInfo, BeginSession, WriteRecoilData, EndSession; with
// `checkLink` the link is asked before each of them. A session that began is
// ended whenever the link allows, after a failure too. `folder` ends in '/'.
RecoilUploadOutcome RunRecoilUpload(DeviceTransport& transport, const std::string& folder, bool checkLink);

} // namespace velkor
