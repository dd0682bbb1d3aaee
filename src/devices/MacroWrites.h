#pragma once
// Macros and key tables into a keyboard or mouse, in an order that never
// lets a key play a record that is not whole:
//
//   guard table (every macro key with its default function), macro block,
//   final table (macro keys renumbered) - one session, stopping at the
//   first failure; with no macro to send, the final table alone.
//
// A failure anywhere leaves each macro key either on its default function or
// naming a record of a block that was written whole. Every frame's result is
// checked.
//
// The work is split so that a long write can leave the user-interface thread:
// the kind takes a snapshot (PrepareMacroWrite, user-interface thread),
// RunMacroWrite does the reading and the transfer (any thread, one at a time
// per device), and the kind takes over what reached the device
// (FinishMacroWrite, user-interface thread).
#include "macros/MacroPlan.h"
#include "transport/DeviceTransport.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace velkor {

enum class MacroWriteMode {
    MacrosAndKeys, // the block of the keys' macros and the key table
    KeysOnly, // the key table; macro keys are renumbered only against a block known to be whole in the device
    MacrosOnly, // the block of an explicit list, after the guard table
};

struct MacroWriteRequest {
    MacroWriteMode mode = MacroWriteMode::MacrosAndKeys;
    int bank = 0;
    // A mouse behind its receiver: the link is asked before each step.
    bool checkLink = false;
    // The key table was read since the device came; without it nothing is sent.
    bool keyTableRead = false;
    // Keys, visited keys, base table and folder. N and the capacity are read
    // from the device by RunMacroWrite.
    MacroPlanInput plan;
    // MacrosOnly: the macro indexes of the block.
    std::vector<int> macros;
    // KeysOnly: the block this program last wrote whole into the device.
    std::vector<std::uint8_t> blockInDevice;
};

struct MacroWriteOutcome {
    // 0 done (or nothing to do), -1 not wholly done, n > 0: the block exceeds
    // the macro memory by n events and nothing was sent.
    int result = 0;
    // The key table step: 1 written, else the first failing result (0 when
    // nothing was sent).
    int keyResult = 0;
    MacroPlanStatus status = MacroPlanStatus::Ready;
    std::vector<int> usedMacros;
    MacroMemoryUse memory;
    // The key table now wholly in the device, when one was written whole.
    std::optional<KeyTableImage> tableInDevice;
    // Some of the macro memory was written; `block` is set when all of it was.
    bool blockTouched = false;
    std::optional<std::vector<std::uint8_t>> block;
    std::size_t framesPlanned = 0;
    std::size_t framesSent = 0;
};

// Told after every frame of the session (frames sent, frames planned);
// returning false stops the write at that frame.
using MacroWriteProgress = std::function<bool(std::size_t sent, std::size_t planned)>;

// Reads the information block, builds the plan and sends it. Nothing is sent
// when the transport is closed (result 0), when a wireless mouse does not
// answer or the key table was never read (-1), when the block is too large
// (n) or N does not fit the key table (-1).
MacroWriteOutcome RunMacroWrite(DeviceTransport& transport, const MacroWriteRequest& request,
                                const MacroWriteProgress& progress = {});

// Frames one paged transfer of `length` bytes takes in chunks of `chunk`.
constexpr std::size_t PagedFrames(std::size_t length, std::size_t chunk) {
    return chunk == 0 ? 0 : (length + chunk - 1) / chunk;
}

} // namespace velkor
