#include "platform/input/UinputPass.h"

#include "platform/Trace.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <linux/input-event-codes.h>
#include <unistd.h>

namespace velkor {

// One uinput device made from a libevdev model; destroyed with the object.
class UinputDevice {
public:
    // Null `Get()` and why in `reason` when it cannot be made.
    UinputDevice(const std::string& path, const libevdev* model, std::string& reason) {
        m_fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (m_fd < 0) {
            reason = path + ": " + std::strerror(errno);
            return;
        }
        const int rc = libevdev_uinput_create_from_device(model, m_fd, &m_uinput);
        if (rc < 0) {
            m_uinput = nullptr;
            reason = path + " refused the device: " + std::strerror(-rc);
            return;
        }
        const char* syspath = libevdev_uinput_get_syspath(m_uinput);
        m_syspath = syspath != nullptr ? syspath : "";
    }
    ~UinputDevice() {
        if (m_uinput != nullptr) {
            libevdev_uinput_destroy(m_uinput);
        }
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    UinputDevice(const UinputDevice&) = delete;
    UinputDevice& operator=(const UinputDevice&) = delete;

    libevdev_uinput* Get() const { return m_uinput; }
    const std::string& Syspath() const { return m_syspath; }

private:
    int m_fd = -1;
    libevdev_uinput* m_uinput = nullptr;
    std::string m_syspath;
};

namespace {

bool IsPointerButton(std::uint16_t code) {
    return (code >= BTN_MOUSE && code < BTN_JOYSTICK) || (code >= BTN_DIGI && code < BTN_WHEEL);
}

class UinputPointerPass final : public PointerPass {
public:
    explicit UinputPointerPass(std::unique_ptr<UinputDevice> device) : m_device(std::move(device)) {}
    bool Write(std::uint16_t type, std::uint16_t code, std::int32_t value) override {
        return libevdev_uinput_write_event(m_device->Get(), type, code, value) == 0;
    }
    std::string Syspath() const override { return m_device->Syspath(); }

private:
    std::unique_ptr<UinputDevice> m_device;
};

} // namespace

bool IsPointerEvent(std::uint16_t type, std::uint16_t code) {
    return type == EV_REL || type == EV_ABS || (type == EV_KEY && IsPointerButton(code));
}

PointerCaps PointerCapsOf(const libevdev* device) {
    PointerCaps caps;
    const char* name = libevdev_get_name(device);
    caps.name = name != nullptr ? name : "";
    caps.bustype = static_cast<std::uint16_t>(libevdev_get_id_bustype(device));
    caps.vendor = static_cast<std::uint16_t>(libevdev_get_id_vendor(device));
    caps.product = static_cast<std::uint16_t>(libevdev_get_id_product(device));
    caps.version = static_cast<std::uint16_t>(libevdev_get_id_version(device));
    for (unsigned code = 0; code <= REL_MAX; ++code) {
        if (libevdev_has_event_code(device, EV_REL, code)) {
            caps.relative.push_back(static_cast<std::uint16_t>(code));
        }
    }
    for (unsigned code = 0; code <= ABS_MAX; ++code) {
        const input_absinfo* info = libevdev_get_abs_info(device, code);
        if (info != nullptr && libevdev_has_event_code(device, EV_ABS, code)) {
            caps.absolute.push_back(PointerAxis{static_cast<std::uint16_t>(code), info->minimum,
                                                info->maximum, info->fuzz, info->flat, info->resolution});
        }
    }
    for (unsigned code = BTN_MISC; code < BTN_TRIGGER_HAPPY; ++code) {
        if (IsPointerButton(static_cast<std::uint16_t>(code)) &&
            libevdev_has_event_code(device, EV_KEY, code)) {
            caps.buttons.push_back(static_cast<std::uint16_t>(code));
        }
    }
    for (unsigned property = 0; property <= INPUT_PROP_MAX; ++property) {
        if (libevdev_has_property(device, property)) {
            caps.properties.push_back(static_cast<std::uint16_t>(property));
        }
    }
    return caps;
}

std::unique_ptr<PointerPass> MakeUinputPointerPass(const std::string& uinputPath, const PointerCaps& caps,
                                                   std::string& reason) {
    libevdev* model = libevdev_new();
    libevdev_set_name(model, (caps.name + " (pointer passed on)").c_str());
    libevdev_set_id_bustype(model, caps.bustype);
    libevdev_set_id_vendor(model, caps.vendor);
    libevdev_set_id_product(model, caps.product);
    libevdev_set_id_version(model, caps.version);
    for (std::uint16_t code : caps.relative) {
        libevdev_enable_event_code(model, EV_REL, code, nullptr);
    }
    for (const PointerAxis& axis : caps.absolute) {
        const input_absinfo info{0, axis.minimum, axis.maximum, axis.fuzz, axis.flat, axis.resolution};
        libevdev_enable_event_code(model, EV_ABS, axis.code, &info);
    }
    for (std::uint16_t code : caps.buttons) {
        libevdev_enable_event_code(model, EV_KEY, code, nullptr);
    }
    for (std::uint16_t property : caps.properties) {
        libevdev_enable_property(model, property);
    }
    auto device = std::make_unique<UinputDevice>(uinputPath, model, reason);
    libevdev_free(model);
    if (device->Get() == nullptr) {
        return nullptr;
    }
    return std::make_unique<UinputPointerPass>(std::move(device));
}

UinputLockKeys::UinputLockKeys(const std::string& uinputPath) {
    libevdev* model = libevdev_new();
    libevdev_set_name(model, "velkor lock keys");
    for (unsigned code : {KEY_CAPSLOCK, KEY_NUMLOCK, KEY_SCROLLLOCK}) {
        libevdev_enable_event_code(model, EV_KEY, code, nullptr);
    }
    std::string reason;
    m_device = std::make_unique<UinputDevice>(uinputPath, model, reason);
    libevdev_free(model);
    if (m_device->Get() == nullptr) {
        TraceF("input hook: no uinput keyboard (%s): Caps, Num and Scroll Lock do not toggle while keys are "
               "kept",
               reason.c_str());
        m_device.reset();
    }
}

UinputLockKeys::~UinputLockKeys() = default;

void UinputLockKeys::Pass(std::uint16_t code, int value) {
    if (m_device && (libevdev_uinput_write_event(m_device->Get(), EV_KEY, code, value) < 0 ||
                     libevdev_uinput_write_event(m_device->Get(), EV_SYN, SYN_REPORT, 0) < 0)) {
        TraceF("input hook: lock key %u not passed on", code);
    }
}

bool UinputLockKeys::Owns(const std::string& syspath) const {
    return m_device && IsNodeOf(syspath, m_device->Syspath());
}

bool IsNodeOf(const std::string& nodeSyspath, const std::string& deviceSyspath) {
    return !deviceSyspath.empty() && nodeSyspath.rfind(deviceSyspath + "/", 0) == 0;
}

} // namespace velkor
