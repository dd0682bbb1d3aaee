#pragma once
// What the input hook passes on while it keeps a node from every other
// program: the pointer of a keyboard that is also a mouse (a touchpad or
// trackpoint built into the keyboard, or a receiver that serves both), and
// the three lock keys. Both go through virtual devices of uinput
// (/dev/uinput), which the hook never reads back.
//
// Any thread, one object at a time.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct libevdev;

namespace velkor {

struct PointerAxis {
    std::uint16_t code = 0; // ABS_*
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t fuzz = 0;
    std::int32_t flat = 0;
    std::int32_t resolution = 0;
    bool operator==(const PointerAxis&) const = default;
};

// The pointer half of a node: what its virtual twin must offer.
struct PointerCaps {
    std::string name; // the node's own name
    std::uint16_t bustype = 0;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::uint16_t version = 0;
    std::vector<std::uint16_t> relative;   // REL_*: motion and wheels
    std::vector<PointerAxis> absolute;     // ABS_*: a touchpad's position, fingers, pressure
    std::vector<std::uint16_t> buttons;    // the pointer's BTN_* (mouse buttons, touch and tool codes)
    std::vector<std::uint16_t> properties; // INPUT_PROP_*
};

// The pointer half of a node's libevdev device.
PointerCaps PointerCapsOf(const libevdev* device);
// Whether an event belongs to the pointer half (and is passed on while the
// node is kept): relative and absolute axes, and the pointer's buttons.
bool IsPointerEvent(std::uint16_t type, std::uint16_t code);

// Where the pointer half of a kept node goes.
class PointerPass {
public:
    virtual ~PointerPass() = default;
    // One event (SYN_REPORT ends a frame); false when it was not taken.
    virtual bool Write(std::uint16_t type, std::uint16_t code, std::int32_t value) = 0;
    // The sysfs path of the virtual device ("/sys/devices/virtual/input/input42"),
    // so that the hook never reads it; empty when there is none.
    virtual std::string Syspath() const { return {}; }
};

// Makes the pass for a node's pointer; on failure null and why in `reason`.
using PointerPassMaker =
    std::function<std::unique_ptr<PointerPass>(const PointerCaps& caps, std::string& reason)>;

// The real pass: a uinput mouse with `caps`, made through `uinputPath`. Null
// when that cannot be opened for writing (missing, no permission) or refuses
// the device; `reason` names the cause.
std::unique_ptr<PointerPass> MakeUinputPointerPass(const std::string& uinputPath, const PointerCaps& caps,
                                                   std::string& reason);

class UinputDevice;

// A uinput keyboard with only Caps, Num and Scroll Lock, which passes them on
// while the real keyboards are kept. Without uinput it does nothing (and
// traces why once).
class UinputLockKeys {
public:
    explicit UinputLockKeys(const std::string& uinputPath);
    ~UinputLockKeys();
    UinputLockKeys(const UinputLockKeys&) = delete;
    UinputLockKeys& operator=(const UinputLockKeys&) = delete;

    void Pass(std::uint16_t code, int value);
    // Whether a node under `syspath` belongs to this keyboard (so that it is never read).
    bool Owns(const std::string& syspath) const;

private:
    std::unique_ptr<UinputDevice> m_device; // null without uinput
};

// Whether `nodeSyspath` is a node of the virtual device at `deviceSyspath`.
bool IsNodeOf(const std::string& nodeSyspath, const std::string& deviceSyspath);

} // namespace velkor
