#pragma once
// Shared by the discovery tests: the simulated family behind a back end that
// can add what the simulator has not (a second identical mouse, an unknown
// device, opens that fail, a failing enumeration), and a main window stand-in
// that routes the scan thread's messages and 3331 to the discovery.
#include "DeviceTestSupport.h"
#include "devices/DeviceDiscovery.h"
#include "devices/DeviceScanner.h"

#include <map>

namespace velkor::test {

// The slot (= row of the supported-device table) of a product's command or
// event interface in the built-in catalog; -1 when it has none.
inline int SlotOf(uint16_t productId, uint16_t role = kRoleCommand) {
    const auto table = SupportedDeviceTable();
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].productId == productId && table[i].role == role) {
            return int(i);
        }
    }
    return -1;
}

class FamilyBackend final : public HidBackend {
public:
    static constexpr std::string_view kTwinPrefix = "twin:";

    explicit FamilyBackend(sim::SimBackend& sim) : m_sim(sim) {}
    static std::string TwinPath(const std::string& path) { return std::string(kTwinPrefix) + path; }
    int OpenAttempts(const std::string& path) {
        std::lock_guard lock(m_mutex);
        return m_openAttempts[path];
    }
    int Enumerations() const { return m_enumerations; }

    // Set before the scan starts: a second mouse of the same model (the
    // simulated mouse's interfaces once more, under other paths); interfaces
    // listed besides the family, each opening as a simulator path (or not at
    // all); failures of the next opens of a path.
    bool twinMouse = false;
    std::map<std::string, std::string> foreign;
    std::map<std::string, int> failOpens;
    std::atomic<bool> enumerationFails{false};

    bool EnumeratePaths(std::vector<std::string>& paths) override {
        ++m_enumerations;
        if (enumerationFails || !m_sim.EnumeratePaths(paths)) {
            paths.clear();
            return false;
        }
        for (const auto& [path, target] : foreign) {
            paths.push_back(path);
        }
        if (twinMouse && m_sim.IsPlugged(sim::SimUnit::Mouse)) {
            paths.push_back(TwinPath(m_sim.CommandPath(sim::SimUnit::Mouse)));
            paths.push_back(TwinPath(m_sim.EventPath(sim::SimUnit::Mouse)));
        }
        return true;
    }
    std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenFlags& flags) override {
        std::lock_guard lock(m_mutex);
        ++m_openAttempts[path];
        if (int& failures = failOpens[path]; failures > 0) {
            --failures;
            return nullptr;
        }
        const std::string target = Resolve(path);
        return target.empty() ? nullptr : m_sim.Open(target, flags);
    }
    bool Probe(const std::string& path) override {
        const std::string target = Resolve(path);
        return !target.empty() && m_sim.Probe(target);
    }

private:
    // The simulator path behind a path of this back end; empty when there is none now.
    std::string Resolve(const std::string& path) const {
        if (path.starts_with(kTwinPrefix)) {
            return twinMouse ? path.substr(kTwinPrefix.size()) : std::string();
        }
        const auto found = foreign.find(path);
        return found != foreign.end() ? found->second : path;
    }

    sim::SimBackend& m_sim;
    std::mutex m_mutex; // the scan thread opens while the test reads the attempts
    std::map<std::string, int> m_openAttempts;
    std::atomic<int> m_enumerations{0};
};

// The main window as far as discovery goes. With a discovery, the messages
// reach it; without one they are only recorded.
class WindowRouter final : public DeviceScanListener, public DeviceMessageSink {
public:
    void DeviceAttached(int slot) override {
        attached.push_back(slot);
        if (onAttach) {
            onAttach(slot);
        }
        if (discovery != nullptr) {
            discovery->Attach(slot);
        }
    }
    void DeviceDetached(int slot) override {
        detached.push_back(slot);
        if (discovery != nullptr) {
            discovery->Detach(slot);
        }
    }
    void ScanAnnounced() override { ++announces; }
    void DeviceMessage(uint32_t message, int64_t wParam, int64_t lParam) override {
        if (message == kMessageShowDeviceItem && discovery != nullptr) {
            discovery->ShowDeviceItem(int(wParam), lParam != 0);
        }
    }
    int Attaches(int slot) const { return int(std::count(attached.begin(), attached.end(), slot)); }
    int Detaches(int slot) const { return int(std::count(detached.begin(), detached.end(), slot)); }

    DeviceDiscovery* discovery = nullptr;
    std::function<void(int)> onAttach;
    std::vector<int> attached;
    std::vector<int> detached;
    int announces = 0;
};

// Runs a plain dispatcher's queue (real time) until `done` holds.
inline bool PumpUntil(ui::Dispatcher& dispatcher, const std::function<bool()>& done, int timeoutMs = 3000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        dispatcher.ProcessPending();
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    dispatcher.ProcessPending();
    return done();
}

// The program's own skin folder (layouts of the main window and the devices).
inline std::string SkinFolder() {
    return (std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "skin").lexically_normal().string();
}

} // namespace velkor::test
