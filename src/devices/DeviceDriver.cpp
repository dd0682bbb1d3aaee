#include "devices/DeviceDriver.h"

namespace velkor {

DeviceDriver::DeviceDriver(HidBackend& backend, DeviceUiPost& ui)
    : m_ui(ui), m_command(backend), m_events(backend) {}

void DeviceDriver::Shutdown() {
    m_transfers.Shutdown();
    m_workers.Shutdown();
}

bool DeviceDriver::SetSynchronisedLighting(bool on) {
    if (m_command.SyncLighting() == on) {
        return false;
    }
    m_command.SetSyncLighting(on);
    return true;
}

bool DeviceDriver::RunTransfer(TransferJob job) {
    return m_transfers.Post([this, job = std::move(job)](const StopEvent& stop) {
        std::function<void()> then = job(stop);
        if (then && !stop.IsSet()) {
            PostToUi(std::move(then));
        }
    });
}

bool DeviceDriver::WriteRecord(uint32_t key, TransferWorker::Write write, std::function<void(int)> done) {
    std::shared_ptr<WriteTally> tally = m_tally;
    if (tally) {
        tally->Expect();
    }
    // Runs on the worker (or in Shutdown), while the device is still whole.
    auto finish = [this, tally, done = std::move(done)](int result) {
        if (done) {
            PostToUi([done, result] { done(result); }); // before the tally's answer
        }
        if (tally) {
            tally->Finish(result);
        }
    };
    if (!m_transfers.PostLatest(key, std::move(write), std::move(finish))) {
        if (tally) {
            tally->Finish(kResultNoReply);
        }
        return false;
    }
    return true;
}

} // namespace velkor
