#pragma once
// EvdevInputHook: the keys and mouse buttons pressed anywhere on the desktop,
// read from the kernel's keyboard and mouse nodes (InputNodes.h).
//
// Start opens the nodes of the classes asked for and starts one reader thread;
// the reader hands every press and release (repeats dropped) to the sink on the
// user-interface thread through the dispatcher, in the order of their times.
// Nodes that appear later are added, nodes that vanish are dropped.
//
// While keys are kept (swallowKeys), each keyboard node is grabbed, so that
// no other program sees its keys, but only once none of its keys and buttons
// is down: a key grabbed while held would stay down for everyone else. The
// grabs end at Stop, and also when a report waits untaken on the
// user-interface thread for `releaseAfter` (a hung window must not keep the
// keyboard); they come back once the reports are taken again. Caps, Num and
// Scroll Lock are passed on through a uinput keyboard of our own when
// /dev/uinput is writable; else they do not toggle while grabbed. A node that
// is a keyboard and a mouse (a keyboard with a touchpad, a receiver serving
// both) is grabbed only with a pointer pass (UinputPass.h): a uinput mouse
// with its pointer's axes and buttons, which gets its pointer events while it
// is grabbed and goes with the grab; without one it is not grabbed, as the
// trace says. The hook never reads its own uinput devices. A refused grab
// leaves the node read only. Mice are never grabbed. Every such event is
// traced.
//
// Start, Stop and the destructor run on the user-interface thread; Stop ends
// the reader (its waits end at once) and returns when it has ended.
#include "keys/KeyTable.h"
#include "platform/input/InputNodes.h"
#include "platform/input/UinputPass.h"
#include "ui/Dispatcher.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velkor {

struct InputReport {
    enum class Kind { Key, Button };
    Kind kind = Kind::Key;
    std::uint16_t code = 0; // KEY_* or BTN_* of <linux/input-event-codes.h>
    bool down = true;
    std::optional<ScanCode> scan;       // keys: the key table's scan code, if it has one
    std::optional<std::uint8_t> button; // buttons: kMouseLeft ... kMouseFifth, if one of those
    // CLOCK_MONOTONIC microseconds: the event's own time, or the time it was
    // read when the node refused the monotonic clock.
    std::int64_t timeUs = 0;
    bool operator==(const InputReport&) const = default;
};

struct EvdevHookOptions {
    bool keys = true;    // read the keyboards
    bool buttons = true; // read the mice
    // Keep the keys from every other program (grab the keyboards).
    bool swallowKeys = true;
    std::chrono::milliseconds releaseAfter{2000};
    std::string uinputPath = "/dev/uinput";
    // Makes the pointer pass of a kept keyboard and mouse; empty: the uinput
    // one through uinputPath. Called on the reader thread.
    PointerPassMaker pointerPass;
};

struct EvdevServes {
    bool keys = false;    // a keyboard node is readable
    bool buttons = false; // a mouse node is readable
};

class EvdevInputHook {
public:
    // User-interface thread; `report` may Stop the hook.
    using Sink = std::function<void(const InputReport& report)>;

    // The dispatcher must outlive the hook.
    explicit EvdevInputHook(ui::Dispatcher& dispatcher);
    ~EvdevInputHook();
    EvdevInputHook(const EvdevInputHook&) = delete;
    EvdevInputHook& operator=(const EvdevInputHook&) = delete;

    // Stops a running hook first. Returns the classes with a readable node;
    // only those are read from then on (also from nodes that come later).
    // When none is, nothing runs.
    EvdevServes Start(const EvdevHookOptions& options, Sink sink);
    // Releases every grab and ends the reader; reports not yet delivered are dropped.
    void Stop();
    bool IsRunning() const { return m_reader != nullptr; }
    // The nodes Start found for the classes asked, each readable or with its reason.
    const std::vector<InputNodeInfo>& Nodes() const { return m_nodes; }

private:
    struct Shared;
    class Reader;

    ui::Dispatcher& m_dispatcher;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<Reader> m_reader;
    std::vector<InputNodeInfo> m_nodes;
};

} // namespace velkor
