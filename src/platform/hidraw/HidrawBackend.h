#pragma once
// The Linux back end of HidInterface: libudev finds the hidraw nodes, and each
// node is read and written as /dev/hidrawN.
//
// Linux has one hidraw node per USB interface, while the rest of the system
// works on top-level collections (one Windows HID interface each). So every
// top-level collection of a node's report descriptor is a path of its own:
//   "hidraw:/dev/hidraw3#vid_320f&pid_7070&mi_01&col04"
// with the collection number being its 1-based position in the descriptor.
// A node whose descriptor has exactly one top-level collection gets no "&col"
// token (collection number 0), as a Windows HID stack names such an interface.
// An open collection only sees the input reports whose IDs belong to it.
#include "transport/HidBackend.h"
#include "transport/HidDescriptor.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// One open collection of a hidraw node. Its I/O core works on any file
// descriptor that behaves like a hidraw node (one report per read and write),
// which lets tests put a socket pair in place of the device.
class HidrawHandle : public HidHandle {
public:
    // Takes ownership of `fd` (closed also when null is returned). Null when
    // the cancel or interrupt event cannot be created or `collectionNumber` is not a
    // collection of `parsed` (1-based).
    static std::unique_ptr<HidrawHandle> Create(int fd, bool canRead, bool canWrite,
                                                std::vector<uint8_t> descriptor, HidReportDescriptor parsed,
                                                int collectionNumber, const HidAttributes& attributes);
    ~HidrawHandle() override;
    HidrawHandle(const HidrawHandle&) = delete;
    HidrawHandle& operator=(const HidrawHandle&) = delete;

    const HidAttributes& Attributes() const override { return m_attributes; }
    std::span<const uint8_t> ReportDescriptor() const override { return m_descriptor; }
    int CollectionNumber() const override { return m_collectionNumber; }

    // Waits for an input report of this collection (kHidInfinite: no limit).
    // On a numbered device, reports of other collections are dropped and the
    // wait goes on for what is left of the time-out; on an unnumbered one a 0
    // is put in front. A report shorter than the collection's input report
    // length is padded with zeros to that length (within `buffer`), as a
    // Windows HID stack delivers it; a longer one is cut to `buffer`.
    // Gone as soon as the node reports a hang-up or error, or the device is
    // removed; Cancelled once Cancel() was called; Interrupted when an
    // InterruptRead came (before or during the wait).
    HidIoStatus Read(std::span<uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) override;
    // Writes `buffer` as one report, unchanged: byte 0 is the report ID, 0 on
    // an unnumbered device (the kernel drops that byte before sending). A
    // partial write is Failed.
    HidIoStatus Write(std::span<const uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) override;
    // Signals the cancel event; it stays signalled, so every waiting and every
    // later transfer returns Cancelled. Safe from any thread.
    void Cancel() override;
    // Signals the interrupt event, which the next (or the waiting) Read
    // takes back. Safe from any thread.
    void InterruptRead() override;

private:
    HidrawHandle(int fd, int cancelFd, int interruptFd, bool canRead, bool canWrite,
                 std::vector<uint8_t> descriptor, HidReportDescriptor parsed, int collectionNumber,
                 const HidAttributes& attributes);
    // Polls the node for `events`, the cancel event and (for a read) the
    // interrupt event until `deadline`. Ok when the node is ready; otherwise
    // the status that ends the transfer.
    HidIoStatus WaitFor(short events, bool interruptible, bool infinite,
                        std::chrono::steady_clock::time_point deadline);

    int m_fd;
    int m_cancelFd;
    int m_interruptFd;
    bool m_canRead;
    bool m_canWrite;
    std::vector<uint8_t> m_descriptor;
    HidReportDescriptor m_parsed;
    int m_collectionNumber;
    HidAttributes m_attributes;
    std::mutex m_readMutex;         // one reader at a time uses the scratch buffer
    std::vector<uint8_t> m_scratch; // one raw report and the room for a leading 0
};

// Whether devices must have been set up by udev before they are used.
enum class UdevPresence {
    Detect,  // look for a running udev daemon (its control socket)
    Running, // only nodes udev has finished setting up are enumerated
    Absent,  // no udev daemon: every node counts as set up (containers, test beds)
};

class HidrawBackend : public HidBackend {
public:
    // Longest single wait of WaitForChange, so that its cancel is seen soon.
    static constexpr uint32_t kChangeWaitSliceMs = 25;

    explicit HidrawBackend(UdevPresence udev = UdevPresence::Detect);
    ~HidrawBackend() override;
    HidrawBackend(const HidrawBackend&) = delete;
    HidrawBackend& operator=(const HidrawBackend&) = delete;

    // One path per top-level collection of every hidraw node that has a HID
    // parent with a readable, well-formed report descriptor. Nodes udev is
    // still setting up are skipped (they come in a later enumeration). False
    // only when udev itself cannot be queried.
    bool EnumeratePaths(std::vector<std::string>& paths) override;
    // Opens the node of `path` with the access the flags ask for (none: the
    // node is only checked and the descriptor comes from sysfs; Read and Write
    // then fail). Refuses paths of other back ends, nodes whose device no longer
    // matches the path's vendor and product, and collection numbers the
    // descriptor does not have. Share modes do not exist on Linux and are ignored.
    std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenFlags& flags) override;
    // True while the node exists and its device still has the path's vendor and product.
    bool Probe(const std::string& path) override;
    std::string LastError() const override;
    // Wakes on a udev event of the hidraw subsystem: with a udev daemon the
    // event comes once udev has finished setting the node up (or it is gone),
    // so an enumeration right after it finds the node ready; without one the
    // kernel's event is taken. The monitor is opened on the first call and kept.
    // When no monitor can be opened, or another thread is waiting already, it
    // waits out the time-out on `cancel` like the default.
    bool WaitForChange(uint32_t timeoutMs, const HidWaitCancel& cancel) override;

private:
    struct Monitor;
    bool UdevRunning() const;
    void SetLastError(std::string text);
    // The monitor, opened on first use; null when it cannot be (tried once).
    Monitor* OpenMonitor();

    UdevPresence m_udev;
    mutable std::mutex m_errorMutex;
    std::string m_lastError;
    std::mutex m_monitorMutex; // held by the one waiter
    std::unique_ptr<Monitor> m_monitor;
    bool m_monitorTried = false;
};

// The node of a hidraw path ("/dev/hidrawN"); false for any other path.
bool ParseHidrawPath(std::string_view path, std::string& node);

// Reads "bus:vendor:product" as a HID_ID udev property gives it
// ("0003:0000320F:00007070"); false when malformed.
bool ParseHidId(std::string_view text, uint32_t& bus, uint16_t& vendorId, uint16_t& productId);

} // namespace velkor
