#include "support/ScriptedBackend.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace velkor::test {

const std::vector<uint8_t>& VendorCollectionDescriptor() {
    static const std::vector<uint8_t> descriptor = {
        0x06, 0x1C, 0xFF, // usage page 0xFF1C
        0x09, 0x92,       // usage 0x92
        0xA1, 0x01,       // collection (application)
        0x85, 0x04,       //   report ID 4
        0x09, 0x01,       //   usage 1
        0x15, 0x00,       //   logical minimum 0
        0x26, 0xFF, 0x00, //   logical maximum 255
        0x75, 0x08,       //   report size 8
        0x95, 0x3F,       //   report count 63
        0x81, 0x02,       //   input (data, variable, absolute)
        0x09, 0x01,       //   usage 1
        0x91, 0x02,       //   output (data, variable, absolute)
        0xC0,             // end collection
    };
    return descriptor;
}

std::vector<Report> EchoResponder(const Report& request) {
    Report reply(64, 0);
    std::copy_n(request.begin(), std::min<size_t>(request.size(), 64), reply.begin());
    reply[7] = 0;
    return {reply};
}

class ScriptedHandle : public HidHandle {
public:
    ScriptedHandle(ScriptedBackend& backend, std::string path, ScriptedBackend::Interface setup)
        : m_backend(backend), m_path(std::move(path)), m_setup(std::move(setup)) {}

    const HidAttributes& Attributes() const override { return m_setup.attributes; }
    std::span<const uint8_t> ReportDescriptor() const override { return m_setup.descriptor; }
    int CollectionNumber() const override { return m_setup.collection; }

    HidIoStatus Read(std::span<uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) override {
        transferred = 0;
        std::unique_lock lock(m_backend.m_mutex);
        auto ready = [&] {
            auto it = m_backend.m_interfaces.find(m_path);
            return m_cancelled || m_interrupted || it == m_backend.m_interfaces.end() ||
                   !it->second.setup.present || !it->second.pending.empty();
        };
        // Counted under the lock the wait releases: a test that sees the count
        // knows the read is blocked, not merely about to start.
        int& waiting = m_backend.m_waitingReads[m_path];
        ++waiting;
        m_backend.m_readWaiting.notify_all();
        bool arrived = true;
        if (timeoutMs == kHidInfinite) {
            m_backend.m_arrived.wait(lock, ready);
        } else {
            arrived = m_backend.m_arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        }
        --waiting;
        if (!arrived) {
            return HidIoStatus::TimedOut;
        }
        if (m_cancelled) {
            return HidIoStatus::Cancelled;
        }
        auto it = m_backend.m_interfaces.find(m_path);
        if (it == m_backend.m_interfaces.end() || !it->second.setup.present) {
            return HidIoStatus::Gone;
        }
        if (std::exchange(m_interrupted, false)) {
            return HidIoStatus::Interrupted;
        }
        Report report = std::move(it->second.pending.front());
        it->second.pending.pop_front();
        transferred = std::min(buffer.size(), report.size());
        std::copy_n(report.begin(), transferred, buffer.begin());
        return HidIoStatus::Ok;
    }

    HidIoStatus Write(std::span<const uint8_t> buffer, size_t& transferred, uint32_t) override {
        transferred = 0;
        Responder responder;
        Report request(buffer.begin(), buffer.end());
        {
            std::lock_guard lock(m_backend.m_mutex);
            if (m_cancelled) {
                return HidIoStatus::Cancelled;
            }
            auto it = m_backend.m_interfaces.find(m_path);
            if (it == m_backend.m_interfaces.end() || !it->second.setup.present) {
                return HidIoStatus::Gone;
            }
            it->second.written.push_back(request);
            if (it->second.setup.failWrites) {
                return HidIoStatus::Failed;
            }
            responder = it->second.setup.responder;
        }
        std::vector<Report> replies = responder ? responder(request) : std::vector<Report>{};
        {
            std::lock_guard lock(m_backend.m_mutex);
            auto it = m_backend.m_interfaces.find(m_path);
            if (it != m_backend.m_interfaces.end()) {
                for (Report& reply : replies) {
                    it->second.pending.push_back(std::move(reply));
                }
            }
        }
        m_backend.m_arrived.notify_all();
        transferred = buffer.size();
        return HidIoStatus::Ok;
    }

    void Cancel() override {
        {
            std::lock_guard lock(m_backend.m_mutex);
            m_cancelled = true;
        }
        m_backend.m_arrived.notify_all();
    }

    void InterruptRead() override {
        {
            std::lock_guard lock(m_backend.m_mutex);
            m_interrupted = true;
        }
        m_backend.m_arrived.notify_all();
    }

private:
    ScriptedBackend& m_backend;
    std::string m_path;
    ScriptedBackend::Interface m_setup;
    bool m_cancelled = false;   // guarded by the backend's mutex
    bool m_interrupted = false; // likewise
};

void ScriptedBackend::Add(const std::string& path, Interface setup) {
    std::lock_guard lock(m_mutex);
    m_interfaces[path] = State{std::move(setup), {}, {}};
}

void ScriptedBackend::SetResponder(const std::string& path, Responder responder) {
    std::lock_guard lock(m_mutex);
    m_interfaces.at(path).setup.responder = std::move(responder);
}

void ScriptedBackend::SetFailWrites(const std::string& path, bool fail) {
    std::lock_guard lock(m_mutex);
    m_interfaces.at(path).setup.failWrites = fail;
}

void ScriptedBackend::SetPresent(const std::string& path, bool present) {
    {
        std::lock_guard lock(m_mutex);
        m_interfaces.at(path).setup.present = present;
    }
    m_arrived.notify_all();
}

void ScriptedBackend::Inject(const std::string& path, Report report) {
    {
        std::lock_guard lock(m_mutex);
        m_interfaces.at(path).pending.push_back(std::move(report));
    }
    m_arrived.notify_all();
}

bool ScriptedBackend::WaitForWaitingRead(const std::string& path, std::chrono::milliseconds bound) const {
    std::unique_lock lock(m_mutex);
    return m_readWaiting.wait_for(lock, bound, [&] {
        auto it = m_waitingReads.find(path);
        return it != m_waitingReads.end() && it->second > 0;
    });
}

std::vector<Report> ScriptedBackend::Written(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    auto it = m_interfaces.find(path);
    return it == m_interfaces.end() ? std::vector<Report>{} : it->second.written;
}

void ScriptedBackend::ClearWritten() {
    std::lock_guard lock(m_mutex);
    for (auto& [path, state] : m_interfaces) {
        state.written.clear();
    }
}

bool ScriptedBackend::EnumeratePaths(std::vector<std::string>& paths) {
    std::lock_guard lock(m_mutex);
    if (m_enumerationFails) {
        return false;
    }
    paths.clear();
    for (const auto& [path, state] : m_interfaces) {
        if (state.setup.present) {
            paths.push_back(path);
        }
    }
    return true;
}

std::unique_ptr<HidHandle> ScriptedBackend::Open(const std::string& path, const HidOpenFlags&) {
    std::lock_guard lock(m_mutex);
    auto it = m_interfaces.find(path);
    if (it == m_interfaces.end() || !it->second.setup.present) {
        return nullptr;
    }
    it->second.pending.clear();
    return std::make_unique<ScriptedHandle>(*this, path, it->second.setup);
}

bool ScriptedBackend::Probe(const std::string& path) {
    std::lock_guard lock(m_mutex);
    auto it = m_interfaces.find(path);
    return it != m_interfaces.end() && it->second.setup.present;
}

} // namespace velkor::test
