#pragma once
// The driver of one device: its two transports (commands; events), its
// transfer worker, which runs every exchange the page, the bus API, a timer
// or an event asks for one at a time in the order asked, and its light and
// event threads.
//
// Threads: the exchanges themselves run on the transfer worker (RunTransfer,
// WriteRecord) or on the device's own threads; their results come back to the
// user-interface thread through the device's post. Every operation here may
// be called from the user-interface thread; the transports' flags and the
// idle checks from any thread. The protocol's waits happen on the worker.
#include "devices/DeviceUiPost.h"
#include "devices/DeviceWorkers.h"
#include "devices/TransferWorker.h"
#include "transport/DeviceTransport.h"

#include <functional>
#include <memory>
#include <string>

namespace velkor {

class DeviceDriver {
public:
    // `ui` must outlive the driver.
    DeviceDriver(HidBackend& backend, DeviceUiPost& ui);
    // Expects Shutdown() to have run.
    ~DeviceDriver() = default;
    DeviceDriver(const DeviceDriver&) = delete;
    DeviceDriver& operator=(const DeviceDriver&) = delete;

    // Stops the transfer worker and every thread within its bounds; later
    // starts are refused. Idempotent.
    void Shutdown();

    // ---- Transports ----

    DeviceTransport& CommandTransport() { return m_command; }
    DeviceTransport& EventTransport() { return m_events; }
    bool TransportOpen() const { return m_command.IsOpen(); }
    bool OnReceiver() const { return m_command.OnReceiver(); }
    // Synchronised lighting drives the LEDs; the light thread parks while it does.
    bool SynchronisedLighting() const { return m_command.SyncLighting(); }
    // True when the flag changed.
    bool SetSynchronisedLighting(bool on);

    // ---- Exchanges on the transfer worker ----

    // Runs `job` on the transfer worker (TransferWorker.h) after the jobs
    // before it; the function it returns then runs on the user-interface
    // thread, unless the device is gone by then. False (nothing runs) after Shutdown.
    using TransferJob = std::function<std::function<void()>(const StopEvent& stop)>;
    bool RunTransfer(TransferJob job);
    // Runs `read` (the exchanges only, nothing shown) on the transfer worker
    // after the jobs before it, then `show` with what it read on the
    // user-interface thread, unless the device is gone by then. False
    // (nothing runs) after Shutdown.
    template <class Read, class Show> bool ReadThenShow(Read read, Show show) {
        return RunTransfer(
            [read = std::move(read), show = std::move(show)](const StopEvent&) -> std::function<void()> {
                return [show, value = read()] { show(value); };
            });
    }
    // Runs `show` on the user-interface thread once the jobs queued before it
    // have ended (and shown what they read), unless the device is gone by
    // then. Any thread. False (nothing runs) after Shutdown.
    bool ShowInTurn(std::function<void()> show) {
        return RunTransfer([show = std::move(show)](const StopEvent&) { return show; });
    }
    bool TransferBusy() const { return m_transfers.Busy(); }
    // Nothing runs or waits on the transfer worker. Any thread.
    bool WorkerIdle() const { return m_transfers.Idle(); }
    // Queues `write` of one record of the device (`key`: the kind's own
    // numbering of its records) after the jobs before it; a write of the same
    // record that has not started yet is replaced by it (TransferWorker::PostLatest).
    // `done` then runs on the user-interface thread with the device's result,
    // unless the device is gone by then, and the tally set with WatchWrites
    // hears it. False (nothing runs) after Shutdown.
    bool WriteRecord(uint32_t key, TransferWorker::Write write, std::function<void(int result)> done = {});
    // While set, every record write queued also counts in `tally` (the bus API
    // answers once the writes of a call have ended). Null: no more.
    void WatchWrites(std::shared_ptr<WriteTally> tally) { m_tally = std::move(tally); }
    // Runs `work` on the user-interface thread later, unless the device is gone by then. Any thread.
    void PostToUi(std::function<void()> work) { m_ui.Post(std::move(work)); }
    bool OnUiThread() const { return m_ui.OnUiThread(); }

    // ---- Threads ----

    // Starts the light thread (a running one is stopped first); see DeviceWorkers.
    bool StartLightThread(DeviceWorkers::LightWork work) { return m_workers.StartLight(std::move(work)); }
    ThreadStopOutcome StopLightThread() { return m_workers.StopLight(); }
    bool LightThreadRunning() const { return m_workers.LightRunning(); }
    // Wakes a parked or sleeping light thread. Any thread.
    void WakeLight() { m_workers.WakeLight(); }
    // Passes the light thread has run (tests of the parking).
    uint64_t LightPasses() const { return m_workers.LightPasses(); }
    // Opens `path` on a channel of the event transport (closing it first) and
    // starts that channel's event thread, also when the open failed. True when opened.
    bool OpenEventChannel(const std::string& path, ChannelType channel, DeviceWorkers::EventWork work) {
        return m_workers.OpenEventChannel(channel, path, std::move(work));
    }
    // Stops the channel's event thread and waits until it has ended, then closes the channel.
    void CloseEventChannel(ChannelType channel) { m_workers.CloseEventChannel(channel); }
    bool StartEventThread(ChannelType channel, DeviceWorkers::EventWork work) {
        return m_workers.StartEvents(channel, std::move(work));
    }
    ThreadStopOutcome StopEventThread(ChannelType channel) { return m_workers.StopEvents(channel); }
    bool EventThreadRunning(ChannelType channel) const { return m_workers.EventsRunning(channel); }

private:
    DeviceUiPost& m_ui;
    DeviceTransport m_command;
    DeviceTransport m_events;
    std::shared_ptr<WriteTally> m_tally;
    // Last: the threads go before anything they use.
    TransferWorker m_transfers;
    DeviceWorkers m_workers{m_command, m_events};
};

} // namespace velkor
