// KDE Plasma on Wayland keeps the pointer settings per input device in KWin,
// which offers them on the session bus: the manager object lists the devices'
// system names, and each device object has its USB vendor and product and its
// settings as properties. Only the family's own mice are read and changed, so
// another mouse or a touchpad keeps what the user gave it. KWin has no
// double-click time and no page scrolling per device. On Plasma's X11 session
// KWin offers no input devices on the bus, and every setting is NotOffered.
#include "platform/desktop/PointerBackend.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <systemd/sd-bus.h>

namespace velkor {
namespace {

constexpr const char* kKwinService = "org.kde.KWin";
constexpr const char* kManagerPath = "/org/kde/KWin/InputDevice";
constexpr const char* kManagerInterface = "org.kde.KWin.InputDeviceManager";
constexpr const char* kDeviceInterface = "org.kde.KWin.InputDevice";
constexpr uint64_t kCallTimeoutUsec = 500'000;
// More names than any seat has input devices: a longer list is cut, not walked.
constexpr size_t kMaxDevices = 256;

constexpr const char* kAcceleration = "pointerAcceleration";                   // d, -1..1
constexpr const char* kProfileFlat = "pointerAccelerationProfileFlat";         // b
constexpr const char* kProfileAdaptive = "pointerAccelerationProfileAdaptive"; // b
constexpr const char* kScrollFactor = "scrollFactor";                          // d, 1.0 = three lines

// An sd_bus_error that frees itself.
class BusError {
public:
    BusError() = default;
    ~BusError() { sd_bus_error_free(&m_error); }
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;

    sd_bus_error* Get() { return &m_error; }
    bool HasName(std::initializer_list<const char*> names) const {
        for (const char* name : names) {
            if (sd_bus_error_has_name(&m_error, name)) {
                return true;
            }
        }
        return false;
    }
    std::string Message(int r) const {
        return m_error.message != nullptr ? m_error.message : std::strerror(-r);
    }

private:
    sd_bus_error m_error = SD_BUS_ERROR_NULL;
};

bool IsTimeout(int r, const BusError& error) {
    return r == -ETIMEDOUT || error.HasName({SD_BUS_ERROR_NO_REPLY, SD_BUS_ERROR_TIMEOUT});
}

// What a failed call means for the user. `what` names what was asked for ("the input devices").
PointerResult CallFailure(int r, const BusError& error, const std::string& what) {
    if (error.HasName({SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER})) {
        return PointerResult::NotOffered("KWin is not running on the session bus");
    }
    if (error.HasName({SD_BUS_ERROR_UNKNOWN_OBJECT, SD_BUS_ERROR_UNKNOWN_INTERFACE,
                       SD_BUS_ERROR_UNKNOWN_METHOD, SD_BUS_ERROR_UNKNOWN_PROPERTY})) {
        return PointerResult::NotOffered("KWin does not offer " + what +
                                         " on the session bus (it does only in a Wayland session)");
    }
    if (IsTimeout(r, error)) {
        return PointerResult::Failed("KWin did not answer within 500 ms (" + what + ")");
    }
    return PointerResult::Failed("KWin failed on " + what + ": " + error.Message(r));
}

std::string DevicePath(const std::string& sysName) {
    return std::string(kManagerPath) + "/" + sysName;
}

void FreeStrv(char** strv) {
    if (strv == nullptr) {
        return;
    }
    for (char** s = strv; *s != nullptr; ++s) {
        std::free(*s);
    }
    std::free(strv);
}

class KwinPointerBackend final : public PointerBackend {
public:
    KwinPointerBackend(std::string busAddress, std::vector<UsbProductId> mice)
        : m_address(std::move(busAddress)), m_mice(std::move(mice)) {}
    ~KwinPointerBackend() override { Disconnect(); }
    KwinPointerBackend(const KwinPointerBackend&) = delete;
    KwinPointerBackend& operator=(const KwinPointerBackend&) = delete;

    std::string Name() const override { return "KDE Plasma (KWin)"; }

    // With both a cable and a receiver mouse known to KWin, the first one's value.
    PointerResult Read(PointerSetting setting) override {
        if (PointerResult offered = Offered(setting); !offered.IsOk()) {
            return offered;
        }
        std::vector<std::string> devices;
        if (PointerResult found = FamilyDevices(devices); !found.IsOk()) {
            return found;
        }
        return ReadDevice(devices.front(), setting);
    }

    // Every family mouse KWin knows is changed and read back; the first
    // refusal or difference is reported, after the others had their turn.
    PointerResult Apply(PointerSetting setting, int value) override {
        if (PointerResult offered = Offered(setting); !offered.IsOk()) {
            return offered;
        }
        std::vector<std::string> devices;
        if (PointerResult found = FamilyDevices(devices); !found.IsOk()) {
            return found;
        }
        PointerResult outcome = PointerResult::Ok(value);
        for (const std::string& device : devices) {
            PointerResult result = WriteDevice(device, setting, value);
            if (result.IsOk()) {
                result = ReadDevice(device, setting);
                if (result.IsOk() && result.value != value) {
                    result =
                        PointerResult::Failed("KWin holds " + std::to_string(result.value) + " for " +
                                              device + " after " + std::to_string(value) + " was written");
                }
            }
            if (!result.IsOk() && outcome.IsOk()) {
                outcome = result;
            }
        }
        return outcome;
    }

private:
    static PointerResult Offered(PointerSetting setting) {
        switch (setting) {
        case PointerSetting::DoubleClick:
            return PointerResult::NotOffered("KWin has no double-click time setting");
        case PointerSetting::PageScroll:
            return PointerResult::NotOffered("KWin has no page scrolling setting");
        default:
            return PointerResult::Ok(0);
        }
    }

    bool Connect(std::string& why) {
        if (m_lost) {
            Disconnect();
            m_lost = false;
        }
        if (m_bus != nullptr) {
            return true;
        }
        if (m_address.empty()) {
            why = "there is no session bus: neither DBUS_SESSION_BUS_ADDRESS nor XDG_RUNTIME_DIR is set";
            return false;
        }
        int r = sd_bus_new(&m_bus);
        if (r >= 0) {
            r = sd_bus_set_address(m_bus, m_address.c_str());
        }
        if (r >= 0) {
            r = sd_bus_set_bus_client(m_bus, 1);
        }
        if (r >= 0) {
            // Before the start, so that the bus's greeting is bounded as well.
            r = sd_bus_set_method_call_timeout(m_bus, kCallTimeoutUsec);
        }
        if (r >= 0) {
            r = sd_bus_start(m_bus);
        }
        if (r < 0) {
            why = "cannot connect to the session bus at " + m_address + ": " + std::strerror(-r);
            Disconnect();
            return false;
        }
        return true;
    }

    void Disconnect() { m_bus = sd_bus_flush_close_unref(m_bus); }

    // A call that lost the connection makes the next operation connect again.
    void NoteLostConnection(int r) {
        if (r == -ENOTCONN || r == -ECONNRESET || r == -EPIPE) {
            m_lost = true;
        }
    }

    // The object paths of the family's mice that KWin knows, at least one when Ok.
    PointerResult FamilyDevices(std::vector<std::string>& devices) {
        std::string why;
        if (!Connect(why)) {
            return PointerResult::Failed(why);
        }
        BusError error;
        char** names = nullptr;
        const int r = sd_bus_get_property_strv(m_bus, kKwinService, kManagerPath, kManagerInterface,
                                               "devicesSysNames", error.Get(), &names);
        if (r < 0) {
            NoteLostConnection(r);
            return CallFailure(r, error, "the input devices");
        }
        PointerResult result = PointerResult::Ok(0);
        // sd-bus gives no list at all for an empty one.
        for (size_t i = 0; names != nullptr && names[i] != nullptr && i < kMaxDevices && result.IsOk(); ++i) {
            const std::string path = DevicePath(names[i]);
            bool family = false;
            // A name that makes no object path is not a device to ask about.
            if (sd_bus_object_path_is_valid(path.c_str())) {
                result = IsFamilyMouse(path, family);
            }
            if (family) {
                devices.push_back(path);
            }
        }
        FreeStrv(names);
        if (result.IsOk() && devices.empty()) {
            return PointerResult::NotOffered("no mouse of the family is known to KWin");
        }
        return result;
    }

    // Ok with `family` set; Failed only when KWin stopped answering. A device
    // that went away between the list and the question is simply not one.
    PointerResult IsFamilyMouse(const std::string& path, bool& family) {
        uint32_t ids[2] = {};
        const char* names[2] = {"vendor", "product"};
        for (int i = 0; i < 2; ++i) {
            BusError error;
            const int r = sd_bus_get_property_trivial(m_bus, kKwinService, path.c_str(), kDeviceInterface,
                                                      names[i], error.Get(), 'u', &ids[i]);
            if (r < 0) {
                NoteLostConnection(r);
                PointerResult failure = CallFailure(r, error, "the input device " + path);
                return failure.status == PointerStatus::Failed ? failure : PointerResult::Ok(0);
            }
        }
        for (const UsbProductId& mouse : m_mice) {
            if (ids[0] == mouse.vendorId && ids[1] == mouse.productId) {
                family = true;
            }
        }
        return PointerResult::Ok(0);
    }

    PointerResult ReadDevice(const std::string& path, PointerSetting setting) {
        if (setting == PointerSetting::Precision) {
            int flat = 0;
            if (PointerResult read = Get(path, kProfileFlat, 'b', &flat); !read.IsOk()) {
                return read;
            }
            return PointerResult::Ok(flat ? 0 : 1);
        }
        const bool speed = setting == PointerSetting::Speed;
        double raw = 0;
        if (PointerResult read = Get(path, speed ? kAcceleration : kScrollFactor, 'd', &raw); !read.IsOk()) {
            return read;
        }
        const std::optional<int> value = speed ? AccelerationToSpeed(raw) : ScrollFactorToWheelLines(raw);
        if (!value) {
            return PointerResult::Failed(std::string("KWin's ") + (speed ? kAcceleration : kScrollFactor) +
                                         " is not a number");
        }
        return PointerResult::Ok(*value);
    }

    PointerResult WriteDevice(const std::string& path, PointerSetting setting, int value) {
        BusError error;
        const char* property = nullptr;
        int r = 0;
        switch (setting) {
        case PointerSetting::Speed:
            property = kAcceleration;
            r = sd_bus_set_property(m_bus, kKwinService, path.c_str(), kDeviceInterface, property,
                                    error.Get(), "d", SpeedToAcceleration(value));
            break;
        case PointerSetting::Precision:
            // Choosing one profile drops the other; setting one to false would leave the choice to KWin.
            property = value != 0 ? kProfileAdaptive : kProfileFlat;
            r = sd_bus_set_property(m_bus, kKwinService, path.c_str(), kDeviceInterface, property,
                                    error.Get(), "b", 1);
            break;
        default:
            property = kScrollFactor;
            r = sd_bus_set_property(m_bus, kKwinService, path.c_str(), kDeviceInterface, property,
                                    error.Get(), "d", WheelLinesToScrollFactor(value));
            break;
        }
        if (r < 0) {
            NoteLostConnection(r);
            PointerResult failure = CallFailure(r, error, std::string(property) + " of " + path);
            if (failure.status == PointerStatus::Failed && !IsTimeout(r, error)) {
                return PointerResult::Failed("KWin refused " + std::string(property) + " for " + path + ": " +
                                             error.Message(r));
            }
            return failure;
        }
        return PointerResult::Ok(value);
    }

    PointerResult Get(const std::string& path, const char* property, char type, void* value) {
        BusError error;
        const int r = sd_bus_get_property_trivial(m_bus, kKwinService, path.c_str(), kDeviceInterface,
                                                  property, error.Get(), type, value);
        if (r < 0) {
            NoteLostConnection(r);
            return CallFailure(r, error, std::string(property) + " of " + path);
        }
        return PointerResult::Ok(0);
    }

    std::string m_address;
    std::vector<UsbProductId> m_mice;
    sd_bus* m_bus = nullptr;
    bool m_lost = false; // the connection broke; made again before the next operation
};

} // namespace

std::unique_ptr<PointerBackend> MakeKwinPointerBackend(std::string busAddress,
                                                       std::vector<UsbProductId> mice) {
    return std::make_unique<KwinPointerBackend>(std::move(busAddress), std::move(mice));
}

} // namespace velkor
