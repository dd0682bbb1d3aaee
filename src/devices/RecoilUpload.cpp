#include "devices/RecoilUpload.h"

#include "macros/RecoilFiles.h"
#include "platform/JsonFileHelper.h"
#include "platform/Trace.h"

#include <algorithm>
#include <array>
#include <functional>

namespace velkor {

namespace {

// Information block: byte 5 the key positions N.
constexpr std::size_t kInfoKeyPositions = 5;

bool IsGunKey(const std::optional<KeyFunction>& function) {
    return function && function->category == KeyCategory::GunKey;
}

// What the session sends after BeginSession; the first failing result, or kResultOk.
class RecoilSteps {
public:
    RecoilSteps(DeviceTransport& transport, const std::function<bool()>& linkUp, int positions,
                RecoilUploadOutcome& outcome)
        : m_transport(transport), m_linkUp(linkUp), m_size(std::uint16_t(positions * int(kDeviceKeySize))),
          m_positions(positions), m_outcome(outcome) {}

    int Run(const std::vector<std::uint8_t>& block, const std::vector<RecoilKey>& keys) {
        KeyTableImage read{};
        if (m_size > 0) {
            if (!m_linkUp()) {
                return kResultReceiverSilent;
            }
            if (!m_transport.SetDataSize(m_size)) {
                return kResultNoReply;
            }
            if (const int got = m_transport.ReadKeyTable(read.data()); got != kResultOk) {
                return got;
            }
        }
        const RecoilKeyTables tables = BuildRecoilKeyTables(read, m_positions, keys);
        const bool guard = Differ(tables.guard, read);
        const bool final = Differ(tables.final, guard ? tables.guard : read);
        if (guard) {
            if (const int written = WriteTable(tables.guard); written != kResultOk) {
                return written;
            }
        }
        if (!m_linkUp()) {
            return kResultReceiverSilent;
        }
        if (const int written = m_transport.WriteRecoilData(block.data(), std::uint16_t(block.size()));
            written != kResultOk) {
            return written;
        }
        return final ? WriteTable(tables.final) : kResultOk;
    }

private:
    bool Differ(const KeyTableImage& a, const KeyTableImage& b) const {
        return !std::equal(a.begin(), a.begin() + m_size, b.begin());
    }
    int WriteTable(const KeyTableImage& table) {
        if (!m_linkUp()) {
            return kResultReceiverSilent;
        }
        if (!m_transport.SetDataSize(m_size)) {
            return kResultNoReply;
        }
        const int written = m_transport.WriteKeyTable(table.data(), 0);
        if (written == kResultOk) {
            m_outcome.tableInDevice = table;
        }
        return written;
    }

    DeviceTransport& m_transport;
    const std::function<bool()>& m_linkUp;
    const std::uint16_t m_size;
    const int m_positions;
    RecoilUploadOutcome& m_outcome;
};

} // namespace

RecoilKeyTables BuildRecoilKeyTables(const KeyTableImage& read, int positions,
                                     const std::vector<RecoilKey>& keys) {
    RecoilKeyTables tables{read, read};
    const std::size_t used = std::size_t(std::clamp(positions, 0, int(read.size() / kDeviceKeySize)));
    const auto buttonAt = [&](std::size_t position) {
        return std::find_if(keys.begin(), keys.end(),
                            [&](const RecoilKey& key) { return key.position == position; });
    };
    for (std::size_t p = 0; p < used; ++p) {
        const auto button = buttonAt(p);
        if (button != keys.end() && IsGunKey(button->gun)) {
            WriteDeviceKey(tables.final, p, *button->gun);
        }
        if (IsGunKey(ReadDeviceKey(read, p))) {
            // A macro names a record by its place in the device's block, not in the library.
            const bool fallback =
                button != keys.end() && !IsGunKey(button->fallback) && !IsMacro(button->fallback);
            WriteDeviceKey(tables.guard, p, fallback ? button->fallback : KeyFunction{});
        }
    }
    return tables;
}

RecoilUploadOutcome RunRecoilUpload(DeviceTransport& transport, const RecoilUploadRequest& request) {
    RecoilUploadOutcome outcome;
    // Refuse before any frame: a block beyond its 16-bit fields would wrap.
    const RecoilBlock block = BuildRecoilBlock(request.folder, CJsonFileHelper());
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
    const std::function<bool()> linkUp = [&] { return !request.checkLink || transport.QueryLink(); };
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
    const int positions = info[kInfoKeyPositions];
    if (std::size_t(positions) * kDeviceKeySize > kKeyTableImageSize) {
        TraceF("recoil upload: %d key positions do not fit the key table; nothing sent", positions);
        return fail(kResultNoReply);
    }
    if (!linkUp()) {
        return outcome;
    }
    if (const int begun = transport.BeginSession(); begun != kResultOk) {
        return fail(begun);
    }
    int result = RecoilSteps(transport, linkUp, positions, outcome).Run(block.block, request.keys);
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
