#include "devices/RecoilUpload.h"

#include "macros/RecoilFiles.h"
#include "platform/JsonFileHelper.h"
#include "platform/Trace.h"

#include <array>

namespace velkor {

RecoilUploadOutcome RunRecoilUpload(DeviceTransport& transport, const std::string& folder, bool checkLink) {
    RecoilUploadOutcome outcome;
    // Refuse before any frame: a block beyond its 16-bit fields would wrap.
    const RecoilBlock block = BuildRecoilBlock(folder, CJsonFileHelper());
    if (!block.Ok()) {
        outcome.status = RecoilUploadStatus::Oversized;
        outcome.gun = block.oversizedGun;
        TraceF("recoil upload: gun %d holds more than %d events; nothing sent", block.oversizedGun,
               kMaxRecoilEvents);
        return outcome;
    }
    outcome.bytes = block.block.size();
    if (!transport.IsOpen()) {
        return outcome;
    }
    const auto linkUp = [&] { return !checkLink || transport.QueryLink(); };
    const auto fail = [&](int result) {
        outcome.status =
            result == kResultReceiverSilent ? RecoilUploadStatus::Unreachable : RecoilUploadStatus::Failed;
        outcome.result = result;
        TraceF("recoil upload: failed with %d", result);
        return outcome;
    };
    outcome.status = RecoilUploadStatus::Unreachable;
    if (!linkUp()) {
        return outcome;
    }
    std::array<std::uint8_t, kDeviceInfoSize> info{};
    if (const int read = transport.ReadDeviceInfo(info.data()); read != kResultOk) {
        return fail(read);
    }
    if (!linkUp()) {
        return outcome;
    }
    if (const int begun = transport.BeginSession(); begun != kResultOk) {
        return fail(begun);
    }
    int result = linkUp() ? transport.WriteRecoilData(block.block.data(), std::uint16_t(block.block.size()))
                          : kResultReceiverSilent;
    // The device must not stay in the session, after a failure too.
    if (linkUp()) {
        const int ended = transport.EndSession(1);
        if (result == kResultOk) {
            result = ended;
        }
    } else if (result == kResultOk) {
        result = kResultReceiverSilent;
    }
    if (result != kResultOk) {
        return fail(result);
    }
    outcome.status = RecoilUploadStatus::Sent;
    TraceF("recoil upload: %zu bytes sent", outcome.bytes);
    return outcome;
}

} // namespace velkor
