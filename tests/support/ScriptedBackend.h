#pragma once
// A HidBackend test double: interfaces whose replies a test scripts.
// Every written frame is recorded; a responder turns each request into zero,
// one or more queued replies. Reads block with their time-out and end at
// once on Cancel, like a real node.
#include "transport/HidBackend.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velkor::test {

// The family's vendor collection: usage page 0xFF1C, usage 0x92, report ID 4, 64-byte reports.
const std::vector<uint8_t>& VendorCollectionDescriptor();

using Report = std::vector<uint8_t>;
// Returns the replies to queue for a request (empty: the device stays silent).
using Responder = std::function<std::vector<Report>(const Report& request)>;

// A device that echoes byte 3 and answers status 0 with the request's data.
std::vector<Report> EchoResponder(const Report& request);

class ScriptedBackend : public HidBackend {
public:
    struct Interface {
        std::vector<uint8_t> descriptor = VendorCollectionDescriptor();
        int collection = 1;
        HidAttributes attributes{0x320F, 0x7070, 0x0100};
        Responder responder = EchoResponder;
        bool failWrites = false;
        bool present = true;
    };

    // Adds (or replaces) an interface under `path`.
    void Add(const std::string& path, Interface setup);
    void SetResponder(const std::string& path, Responder responder);
    void SetFailWrites(const std::string& path, bool fail);
    void SetPresent(const std::string& path, bool present);
    // Queues an unsolicited input report (an event, a stale reply).
    void Inject(const std::string& path, Report report);

    // Waits until a Read on `path` is blocked waiting for a report (so that
    // a test can close or cancel a read that really is in progress); false
    // when none is within `bound`.
    bool WaitForWaitingRead(const std::string& path, std::chrono::milliseconds bound) const;

    std::vector<Report> Written(const std::string& path) const;
    void ClearWritten();
    void SetEnumerationFails(bool fails) { m_enumerationFails = fails; }

    bool EnumeratePaths(std::vector<std::string>& paths) override;
    std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenFlags& flags) override;
    bool Probe(const std::string& path) override;

private:
    friend class ScriptedHandle;
    struct State {
        Interface setup;
        std::deque<Report> pending;
        std::vector<Report> written;
    };
    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    mutable std::condition_variable m_readWaiting;
    std::map<std::string, State> m_interfaces;
    std::map<std::string, int> m_waitingReads; // reads blocked per path
    bool m_enumerationFails = false;
};

} // namespace velkor::test
