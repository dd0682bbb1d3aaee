#pragma once
// The platform side of HidInterface: a back end enumerates interface paths and
// opens one interface (one top-level collection of one HID device) by path.
//
// Paths carry the four identity tokens "vid_", "pid_", "&mi_" and "&col"
// followed by hexadecimal digits, e.g. "hidraw:/dev/hidraw3#vid_320f&pid_7070&mi_01&col04";
// every back end accepts its own paths back in Open.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

struct HidAttributes {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t versionNumber = 0; // bcdDevice: the firmware release the update check reads
};

struct HidOpenFlags {
    bool wantRead = false;
    bool wantWrite = false;
    bool overlapped = false;
    bool shareReadOnly = false;
};

// Outcome of one transfer on a handle.
enum class HidIoStatus {
    Ok,          // a whole report moved
    TimedOut,    // nothing within the time-out
    Cancelled,   // Cancel() was called while waiting
    Interrupted, // InterruptRead() ended this read (nothing is lost)
    Gone,        // the device disappeared (unplugged)
    Failed,      // any other error
};

constexpr uint32_t kHidInfinite = 0xFFFFFFFFu;

// One open interface. Read and Write may run on two threads at once;
// Cancel may be called from any thread and ends a waiting transfer promptly.
class HidHandle {
public:
    virtual ~HidHandle() = default;

    virtual const HidAttributes& Attributes() const = 0;
    // The report descriptor of the whole device and the 1-based number of this
    // interface's top-level collection in it.
    virtual std::span<const uint8_t> ReportDescriptor() const = 0;
    virtual int CollectionNumber() const = 0;

    // Reads one input report that belongs to this collection into `buffer`
    // (byte 0 is the report ID, 0 for unnumbered reports). Reports of other
    // collections of the same device are skipped. `transferred` receives the
    // bytes stored (also on failure: what arrived, usually 0).
    virtual HidIoStatus Read(std::span<uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) = 0;
    // Writes one output report (byte 0 is the report ID).
    virtual HidIoStatus Write(std::span<const uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) = 0;
    // Makes every waiting and every later transfer return Cancelled.
    virtual void Cancel() = 0;
    // Ends the Read waiting now with Interrupted, or the next Read when none
    // waits: one read per call, unlike Cancel; reports stay queued. Lets a
    // reader that waits without a time-out be woken (to see its stop event).
    // Safe from any thread.
    virtual void InterruptRead() = 0;
};

// What ends a HidBackend::WaitForChange early: the waiting thread's stop event.
class HidWaitCancel {
public:
    virtual ~HidWaitCancel() = default;
    virtual bool IsSet() const = 0;
    // Waits up to `ms` for the event; true when it is set (at once if it already was).
    virtual bool WaitFor(uint32_t ms) const = 0;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;

    // All present HID interfaces, one path per top-level collection.
    // False when the platform enumeration itself failed.
    virtual bool EnumeratePaths(std::vector<std::string>& paths) = 0;
    // Opens an interface by path; null when it does not exist or cannot be opened.
    virtual std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenFlags& flags) = 0;
    // The presence probe: true while the interface behind `path` exists
    // (opened with no access rights and closed at once).
    virtual bool Probe(const std::string& path) = 0;
    // A short text saying why the last Open failed ("permission denied", ...);
    // empty when unknown.
    virtual std::string LastError() const { return {}; }
    // Waits until the set of present interfaces may have changed (an interface
    // came or went), at most `timeoutMs`, and ends early once `cancel` is set.
    // True when the back end saw a change (it may be one that does not matter),
    // false after the time-out or on cancel. A back end that cannot tell waits
    // out the time-out on `cancel`, as this default does; callers therefore
    // keep polling and use this only to notice changes sooner.
    virtual bool WaitForChange(uint32_t timeoutMs, const HidWaitCancel& cancel) {
        cancel.WaitFor(timeoutMs);
        return false;
    }
};

// Identity numbers of a path (the digits after the tokens, case-insensitive);
// 0 when a token is absent. Only the low 16 bits count.
uint16_t PathVendorId(std::string_view path);
uint16_t PathProductId(std::string_view path);
uint16_t PathInterfaceNumber(std::string_view path);
uint16_t PathCollectionNumber(std::string_view path);

// Builds the identity suffix "vid_320f&pid_7070&mi_01&col04" (the "&col" part
// is left out when collection is 0).
std::string MakePathIdentity(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber,
                             uint16_t collection);

} // namespace velkor
