#include "platform/hidraw/HidrawBackend.h"

#include "platform/Trace.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkor {
namespace {

constexpr std::string_view kPathPrefix = "hidraw:";
constexpr std::string_view kNodePrefix = "/dev/hidraw";
constexpr size_t kMaxReportBytes = 16384; // the kernel's HID_MAX_BUFFER_SIZE
constexpr const char* kUdevRule = "packaging/70-velkor.rules";

struct UdevUnref {
    void operator()(udev* p) const { udev_unref(p); }
    void operator()(udev_device* p) const { udev_device_unref(p); }
    void operator()(udev_enumerate* p) const { udev_enumerate_unref(p); }
    void operator()(udev_monitor* p) const { udev_monitor_unref(p); }
};
using UdevPtr = std::unique_ptr<udev, UdevUnref>;
using UdevDevicePtr = std::unique_ptr<udev_device, UdevUnref>;
using UdevEnumeratePtr = std::unique_ptr<udev_enumerate, UdevUnref>;
using UdevMonitorPtr = std::unique_ptr<udev_monitor, UdevUnref>;
// Events taken from the monitor per wake; the rest wait for the next call.
constexpr int kMaxEventsPerWake = 64;

bool ParseHex(std::string_view text, uint32_t& value) {
    if (text.empty() || text.size() > 8) {
        return false;
    }
    value = 0;
    for (char c : text) {
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return false;
        }
        value = (value << 4) | digit;
    }
    return true;
}

// A sysfs attribute in hex ("01", "0105\n"); false when absent or malformed.
bool HexAttribute(udev_device* device, const char* name, uint32_t& value) {
    const char* text = device ? udev_device_get_sysattr_value(device, name) : nullptr;
    if (!text) {
        return false;
    }
    std::string_view view(text);
    while (!view.empty() && (view.back() == '\n' || view.back() == ' ')) {
        view.remove_suffix(1);
    }
    return ParseHex(view, value);
}

// Whole small file; false when it cannot be read or is longer than `limit`.
bool ReadSmallFile(const std::string& path, size_t limit, std::vector<uint8_t>& out) {
    out.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    std::vector<uint8_t> data(limit + 1);
    size_t used = 0;
    bool ok = true;
    while (used < data.size()) {
        const ssize_t n = read(fd, data.data() + used, data.size() - used);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) {
            break;
        }
        used += static_cast<size_t>(n);
    }
    close(fd);
    if (!ok || used > limit) {
        return false;
    }
    data.resize(used);
    out = std::move(data);
    return true;
}

// What sysfs says about the device behind one hidraw node.
struct NodeInfo {
    HidAttributes attributes;
    uint16_t interfaceNumber = 0;
    std::vector<uint8_t> descriptor;
};

bool ReadNodeInfo(udev_device* hidraw, NodeInfo& info) {
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    if (!hid) {
        return false;
    }
    const char* hidId = udev_device_get_property_value(hid, "HID_ID");
    uint32_t bus = 0;
    if (!hidId || !ParseHidId(hidId, bus, info.attributes.vendorId, info.attributes.productId)) {
        return false;
    }
    const char* hidPath = udev_device_get_syspath(hid);
    // Read as a file: the udev attribute accessor stops at the first 0 byte.
    if (!hidPath || !ReadSmallFile(std::string(hidPath) + "/report_descriptor", kMaxReportDescriptorSize,
                                   info.descriptor)) {
        return false;
    }
    // Devices on other buses than USB have no interface (0) and no release number.
    uint32_t value = 0;
    udev_device* usbInterface = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_interface");
    info.interfaceNumber =
        HexAttribute(usbInterface, "bInterfaceNumber", value) ? static_cast<uint16_t>(value) : 0;
    udev_device* usbDevice = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device");
    info.attributes.versionNumber =
        HexAttribute(usbDevice, "bcdDevice", value) ? static_cast<uint16_t>(value) : 0;
    return true;
}

// The udev device of a node, found by its device number.
UdevDevicePtr DeviceOfNode(udev* context, const std::string& node) {
    struct stat st {};
    if (stat(node.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
        return nullptr;
    }
    return UdevDevicePtr(udev_device_new_from_devnum(context, 'c', st.st_rdev));
}

bool IdentityMatches(const std::string& path, const HidAttributes& attributes) {
    const uint16_t vendorId = PathVendorId(path);
    const uint16_t productId = PathProductId(path);
    return (vendorId == 0 || vendorId == attributes.vendorId) &&
           (productId == 0 || productId == attributes.productId);
}

std::string OpenErrorText(int error, const std::string& node) {
    if (error == EACCES || error == EPERM) {
        return "permission denied: " + node + " (install the udev rule " + kUdevRule +
               " and plug the device in again)";
    }
    if (error == ENOENT || error == ENODEV || error == ENXIO) {
        return "no such device: " + node;
    }
    return node + ": " + std::strerror(error);
}

} // namespace

// ---- Paths -------------------------------------------------------------------

bool ParseHidrawPath(std::string_view path, std::string& node) {
    if (!path.starts_with(kPathPrefix)) {
        return false;
    }
    std::string_view rest = path.substr(kPathPrefix.size());
    rest = rest.substr(0, rest.find('#'));
    // Only /dev/hidrawN: a path is never a way to open an arbitrary file.
    if (!rest.starts_with(kNodePrefix) || rest.size() == kNodePrefix.size() ||
        rest.size() > kNodePrefix.size() + 5 ||
        !std::all_of(rest.begin() + kNodePrefix.size(), rest.end(),
                     [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    node.assign(rest);
    return true;
}

bool ParseHidId(std::string_view text, uint32_t& bus, uint16_t& vendorId, uint16_t& productId) {
    const size_t first = text.find(':');
    const size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos) {
        return false;
    }
    uint32_t vendor = 0;
    uint32_t product = 0;
    if (!ParseHex(text.substr(0, first), bus) ||
        !ParseHex(text.substr(first + 1, second - first - 1), vendor) ||
        !ParseHex(text.substr(second + 1), product) || vendor > 0xFFFF || product > 0xFFFF) {
        return false;
    }
    vendorId = static_cast<uint16_t>(vendor);
    productId = static_cast<uint16_t>(product);
    return true;
}

// ---- Handle --------------------------------------------------------------------

std::unique_ptr<HidrawHandle> HidrawHandle::Create(int fd, bool canRead, bool canWrite,
                                                   std::vector<uint8_t> descriptor,
                                                   HidReportDescriptor parsed, int collectionNumber,
                                                   const HidAttributes& attributes) {
    if (fd < 0) {
        return nullptr;
    }
    if (collectionNumber < 1 || static_cast<size_t>(collectionNumber) > parsed.collections.size()) {
        close(fd);
        return nullptr;
    }
    const int cancelFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (cancelFd < 0) {
        close(fd);
        return nullptr;
    }
    const int interruptFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (interruptFd < 0) {
        close(cancelFd);
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<HidrawHandle>(new HidrawHandle(fd, cancelFd, interruptFd, canRead, canWrite,
                                                          std::move(descriptor), std::move(parsed),
                                                          collectionNumber, attributes));
}

HidrawHandle::HidrawHandle(int fd, int cancelFd, int interruptFd, bool canRead, bool canWrite,
                           std::vector<uint8_t> descriptor, HidReportDescriptor parsed, int collectionNumber,
                           const HidAttributes& attributes)
    : m_fd(fd), m_cancelFd(cancelFd), m_interruptFd(interruptFd), m_canRead(canRead), m_canWrite(canWrite),
      m_descriptor(std::move(descriptor)), m_parsed(std::move(parsed)), m_collectionNumber(collectionNumber),
      m_attributes(attributes) {}

HidrawHandle::~HidrawHandle() {
    close(m_fd);
    close(m_cancelFd);
    close(m_interruptFd);
}

void HidrawHandle::Cancel() {
    const uint64_t one = 1;
    // Never read back: the event stays signalled. A full counter is signalled too.
    [[maybe_unused]] ssize_t n = write(m_cancelFd, &one, sizeof one);
}

void HidrawHandle::InterruptRead() {
    const uint64_t one = 1;
    // Taken back by the read it ends; several before a read end that one read.
    [[maybe_unused]] ssize_t n = write(m_interruptFd, &one, sizeof one);
}

namespace {

// Milliseconds left until `deadline` for poll(), -1 for no deadline.
int RemainingMs(bool infinite, std::chrono::steady_clock::time_point deadline) {
    if (infinite) {
        return -1;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
}

bool DeviceGone(int error) {
    return error == ENODEV || error == EIO || error == EPIPE || error == ESHUTDOWN;
}

} // namespace

HidIoStatus HidrawHandle::WaitFor(short events, bool interruptible, bool infinite,
                                  std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        // A write leaves the interrupt event to the reader: fd -1 is skipped.
        pollfd fds[3] = {
            {m_cancelFd, POLLIN, 0}, {interruptible ? m_interruptFd : -1, POLLIN, 0}, {m_fd, events, 0}};
        const int ready = poll(fds, 3, RemainingMs(infinite, deadline));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return HidIoStatus::Failed;
        }
        // The cancel event is looked at first, as the wait order promises.
        if (fds[0].revents != 0) {
            return HidIoStatus::Cancelled;
        }
        if (fds[1].revents != 0) {
            uint64_t count = 0;
            // Taken back (non-blocking), so the next read waits again.
            [[maybe_unused]] ssize_t n = read(m_interruptFd, &count, sizeof count);
            return HidIoStatus::Interrupted;
        }
        if (fds[2].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            return HidIoStatus::Gone;
        }
        return ready == 0 ? HidIoStatus::TimedOut : HidIoStatus::Ok;
    }
}

HidIoStatus HidrawHandle::Read(std::span<uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) {
    transferred = 0;
    if (!m_canRead || buffer.empty()) {
        return HidIoStatus::Failed;
    }
    std::lock_guard lock(m_readMutex);
    if (m_scratch.empty()) {
        m_scratch.resize(1 + kMaxReportBytes);
    }
    const HidTopCollection& collection = m_parsed.collections[static_cast<size_t>(m_collectionNumber - 1)];
    const bool infinite = timeoutMs == kHidInfinite;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
    for (;;) {
        const HidIoStatus waited = WaitFor(POLLIN, true, infinite, deadline);
        if (waited != HidIoStatus::Ok) {
            return waited;
        }
        // Byte 0 stays free for the 0 an unnumbered report gets in front.
        const ssize_t n = read(m_fd, m_scratch.data() + 1, m_scratch.size() - 1);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                continue;
            }
            return DeviceGone(errno) ? HidIoStatus::Gone : HidIoStatus::Failed;
        }
        if (n == 0) {
            return HidIoStatus::Gone; // end of file: nothing will ever come again
        }
        std::span<const uint8_t> report;
        if (m_parsed.usesReportIds) {
            report = std::span<const uint8_t>(m_scratch).subspan(1, static_cast<size_t>(n));
            if (!CollectionHasInputReport(collection, report[0])) {
                continue; // another collection's report on the same node
            }
        } else {
            m_scratch[0] = 0;
            report = std::span<const uint8_t>(m_scratch).first(static_cast<size_t>(n) + 1);
        }
        const size_t copied = std::min(report.size(), buffer.size());
        std::copy_n(report.begin(), copied, buffer.begin());
        const size_t padded = std::max(copied, std::min<size_t>(collection.inputReportLength, buffer.size()));
        std::fill(buffer.begin() + static_cast<ptrdiff_t>(copied),
                  buffer.begin() + static_cast<ptrdiff_t>(padded), 0);
        transferred = padded;
        return HidIoStatus::Ok;
    }
}

HidIoStatus HidrawHandle::Write(std::span<const uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) {
    transferred = 0;
    if (!m_canWrite || buffer.empty()) {
        return HidIoStatus::Failed;
    }
    const bool infinite = timeoutMs == kHidInfinite;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
    for (;;) {
        const HidIoStatus waited = WaitFor(POLLOUT, false, infinite, deadline);
        if (waited != HidIoStatus::Ok) {
            return waited;
        }
        const ssize_t n = write(m_fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                continue;
            }
            return DeviceGone(errno) ? HidIoStatus::Gone : HidIoStatus::Failed;
        }
        transferred = static_cast<size_t>(n);
        return transferred == buffer.size() ? HidIoStatus::Ok : HidIoStatus::Failed;
    }
}

// ---- Back end ------------------------------------------------------------------

struct HidrawBackend::Monitor {
    UdevPtr context;
    UdevMonitorPtr monitor;
    int fd = -1;
};

HidrawBackend::HidrawBackend(UdevPresence udev) : m_udev(udev) {}

HidrawBackend::~HidrawBackend() = default;

bool HidrawBackend::UdevRunning() const {
    switch (m_udev) {
    case UdevPresence::Running:
        return true;
    case UdevPresence::Absent:
        return false;
    default:
        return access("/run/udev/control", F_OK) == 0;
    }
}

void HidrawBackend::SetLastError(std::string text) {
    if (!text.empty()) {
        TraceF("hidraw: %s", text.c_str());
    }
    std::lock_guard lock(m_errorMutex);
    m_lastError = std::move(text);
}

std::string HidrawBackend::LastError() const {
    std::lock_guard lock(m_errorMutex);
    return m_lastError;
}

bool HidrawBackend::EnumeratePaths(std::vector<std::string>& paths) {
    paths.clear();
    UdevPtr context(udev_new());
    UdevEnumeratePtr enumerate(context ? udev_enumerate_new(context.get()) : nullptr);
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "hidraw") < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0) {
        return false;
    }
    // Without a udev daemon nothing ever finishes setting a node up.
    const bool requireInitialised = UdevRunning();
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        UdevDevicePtr device(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!device || (requireInitialised && !udev_device_get_is_initialized(device.get()))) {
            continue;
        }
        const char* node = udev_device_get_devnode(device.get());
        NodeInfo info;
        HidReportDescriptor parsed;
        if (!node) {
            continue;
        }
        // A node skipped is named in the trace, so that a device missing from
        // the list can be explained.
        if (!ReadNodeInfo(device.get(), info)) {
            TraceF("hidraw: %s skipped, no HID ID or report descriptor to read", node);
            continue;
        }
        if (const HidParseResult result = ParseReportDescriptor(info.descriptor, parsed); !result) {
            TraceF("hidraw: %s skipped, report descriptor refused: %s", node,
                   DescribeParseResult(result).c_str());
            continue;
        }
        const size_t count = parsed.collections.size();
        for (size_t i = 0; i < count; ++i) {
            const uint16_t collection = count == 1 ? 0 : static_cast<uint16_t>(i + 1);
            paths.push_back(std::string(kPathPrefix) + node + "#" +
                            MakePathIdentity(info.attributes.vendorId, info.attributes.productId,
                                             info.interfaceNumber, collection));
        }
    }
    return true;
}

std::unique_ptr<HidHandle> HidrawBackend::Open(const std::string& path, const HidOpenFlags& flags) {
    SetLastError({});
    std::string node;
    if (!ParseHidrawPath(path, node)) {
        SetLastError("not a hidraw interface path: " + path);
        return nullptr;
    }
    int mode = O_PATH; // no access asked: only make sure the node is there
    if (flags.wantRead || flags.wantWrite) {
        mode = flags.wantRead && flags.wantWrite ? O_RDWR : flags.wantRead ? O_RDONLY : O_WRONLY;
        mode |= O_NONBLOCK;
    }
    const int fd = open(node.c_str(), mode | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(OpenErrorText(errno, node));
        return nullptr;
    }
    auto fail = [&](std::string text) -> std::unique_ptr<HidHandle> {
        close(fd);
        SetLastError(std::move(text));
        return nullptr;
    };

    UdevPtr context(udev_new());
    UdevDevicePtr device = context ? DeviceOfNode(context.get(), node) : nullptr;
    NodeInfo info;
    if (!device || !ReadNodeInfo(device.get(), info)) {
        return fail("no such device: " + node);
    }
    // The node itself is the first source; sysfs stands in where the ioctls are
    // not available (an O_PATH descriptor, test beds).
    int size = 0;
    hidraw_report_descriptor raw{};
    if (ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size >= 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
        raw.size = static_cast<uint32_t>(size);
        if (ioctl(fd, HIDIOCGRDESC, &raw) == 0) {
            info.descriptor.assign(raw.value, raw.value + raw.size);
        }
    }
    hidraw_devinfo devinfo{};
    if (ioctl(fd, HIDIOCGRAWINFO, &devinfo) == 0) {
        info.attributes.vendorId = static_cast<uint16_t>(devinfo.vendor);
        info.attributes.productId = static_cast<uint16_t>(devinfo.product);
    }

    HidReportDescriptor parsed;
    if (const HidParseResult result = ParseReportDescriptor(info.descriptor, parsed); !result) {
        return fail("malformed report descriptor: " + node + ": " + DescribeParseResult(result));
    }
    if (!IdentityMatches(path, info.attributes)) {
        return fail("another device is now at " + node);
    }
    const int collection = std::max<int>(1, PathCollectionNumber(path));
    if (static_cast<size_t>(collection) > parsed.collections.size()) {
        return fail("no collection " + std::to_string(collection) + " on " + node);
    }
    auto handle = HidrawHandle::Create(fd, flags.wantRead, flags.wantWrite, std::move(info.descriptor),
                                       std::move(parsed), collection, info.attributes);
    if (!handle) {
        SetLastError("cannot create the cancel event");
    }
    return handle;
}

bool HidrawBackend::Probe(const std::string& path) {
    std::string node;
    if (!ParseHidrawPath(path, node)) {
        return false;
    }
    UdevPtr context(udev_new());
    UdevDevicePtr device = context ? DeviceOfNode(context.get(), node) : nullptr;
    if (!device) {
        return false;
    }
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device.get(), "hid", nullptr);
    const char* hidId = hid ? udev_device_get_property_value(hid, "HID_ID") : nullptr;
    HidAttributes attributes;
    uint32_t bus = 0;
    return hidId && ParseHidId(hidId, bus, attributes.vendorId, attributes.productId) &&
           IdentityMatches(path, attributes);
}

// ---- Change monitor ---------------------------------------------------------

HidrawBackend::Monitor* HidrawBackend::OpenMonitor() {
    if (m_monitorTried) {
        return m_monitor.get();
    }
    m_monitorTried = true;
    auto monitor = std::make_unique<Monitor>();
    monitor->context.reset(udev_new());
    // "udev" events come after the rules ran (node created, access set); the
    // kernel's come earlier and are all there is without a daemon.
    const char* source = UdevRunning() ? "udev" : "kernel";
    if (monitor->context) {
        monitor->monitor.reset(udev_monitor_new_from_netlink(monitor->context.get(), source));
    }
    if (!monitor->monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor->monitor.get(), "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor->monitor.get()) < 0 ||
        (monitor->fd = udev_monitor_get_fd(monitor->monitor.get())) < 0) {
        TraceF("hidraw: no %s device monitor; changes are seen by polling only", source);
        return nullptr;
    }
    m_monitor = std::move(monitor);
    return m_monitor.get();
}

bool HidrawBackend::WaitForChange(uint32_t timeoutMs, const HidWaitCancel& cancel) {
    std::unique_lock lock(m_monitorMutex, std::try_to_lock);
    Monitor* monitor = lock.owns_lock() ? OpenMonitor() : nullptr;
    if (monitor == nullptr) {
        return HidBackend::WaitForChange(timeoutMs, cancel);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cancel.IsSet()) {
        const int left = RemainingMs(false, deadline);
        if (left <= 0) {
            return false;
        }
        pollfd fds{monitor->fd, POLLIN, 0};
        const int ready = poll(&fds, 1, std::min<int>(left, static_cast<int>(kChangeWaitSliceMs)));
        if (ready < 0 && errno != EINTR) {
            // A broken monitor must not turn the caller's wait into a spin.
            return HidBackend::WaitForChange(static_cast<uint32_t>(left), cancel);
        }
        if (ready > 0 && (fds.revents & POLLIN) != 0) {
            // Take what queued up, so that one burst of events gives one wake.
            for (int i = 0; i < kMaxEventsPerWake; ++i) {
                UdevDevicePtr device(udev_monitor_receive_device(monitor->monitor.get()));
                if (!device) {
                    break;
                }
            }
            return true;
        }
        if (ready > 0) {
            return HidBackend::WaitForChange(static_cast<uint32_t>(left), cancel);
        }
    }
    return false;
}

} // namespace velkor
