#include "devices/MacroWrites.h"

#include "platform/Trace.h"

#include <array>

namespace velkor {

namespace {

// Information block: byte 5 the key positions N, byte 6 the macro slots.
constexpr std::size_t kInfoKeyPositions = 5;
constexpr std::size_t kInfoMacroSlots = 6;

struct Step {
    const KeyTableImage* table = nullptr;             // a key table write, or
    const std::vector<std::uint8_t>* block = nullptr; // the macro block
};

// The session's frames as they go, for the progress and the stop.
class FrameCount {
public:
    FrameCount(std::size_t planned, const MacroWriteProgress& progress)
        : m_planned(planned), m_progress(progress) {}
    bool Sent() {
        ++m_sent;
        return !m_progress || m_progress(m_sent, m_planned);
    }
    std::size_t SentSoFar() const { return m_sent; }

private:
    std::size_t m_planned;
    std::size_t m_sent = 0;
    const MacroWriteProgress& m_progress;
};

std::vector<Step> StepsOf(const MacroWriteRequest& request, const MacroPlan& plan, const MacroPlan& block) {
    const bool macros = !block.block.empty();
    // Renumbered keys may only name a block that is whole in the device.
    const bool blockInDevice = plan.usedMacros.empty() ||
                               (plan.status == MacroPlanStatus::Ready && plan.block == request.blockInDevice);
    switch (request.mode) {
    case MacroWriteMode::MacrosAndKeys:
        if (macros) {
            return {{&plan.guardTable, nullptr}, {nullptr, &block.block}, {&plan.finalTable, nullptr}};
        }
        return {{&plan.finalTable, nullptr}};
    case MacroWriteMode::KeysOnly:
        return {{blockInDevice ? &plan.finalTable : &plan.guardTable, nullptr}};
    case MacroWriteMode::MacrosOnly:
        if (macros) {
            return {{&plan.guardTable, nullptr}, {nullptr, &block.block}};
        }
        return {};
    }
    return {};
}

std::size_t PlannedFrames(const std::vector<Step>& steps, int positions, std::size_t chunk, bool checkLink) {
    std::size_t frames = 2; // BeginSession, EndSession
    for (const Step& step : steps) {
        frames += step.table != nullptr ? PagedFrames(std::size_t(positions) * kDeviceKeySize, chunk)
                                        : PagedFrames(step.block->size(), chunk);
    }
    return frames + (checkLink ? steps.size() + 2 : 0); // a link question before each step
}

// The session itself; fills the outcome's results and what reached the device.
void SendSteps(DeviceTransport& transport, const MacroWriteRequest& request, const std::vector<Step>& steps,
               int positions, FrameCount& count, MacroWriteOutcome& outcome) {
    const auto linkUp = [&] {
        if (!request.checkLink) {
            return true;
        }
        const bool up = transport.QueryLink();
        count.Sent();
        return up;
    };
    const ChunkObserver observer = [&] { return count.Sent(); };
    outcome.result = -1;
    if (!linkUp()) {
        return;
    }
    int result = transport.BeginSession();
    if (result != kResultOk) {
        outcome.keyResult = result;
        return;
    }
    bool goOn = count.Sent();
    for (std::size_t i = 0; i < steps.size() && result == kResultOk; ++i) {
        const Step& step = steps[i];
        if (!goOn || !linkUp()) {
            result = kResultNoReply;
            break;
        }
        if (step.table != nullptr) {
            result = transport.SetDataSize(std::uint16_t(positions * int(kDeviceKeySize)))
                         ? transport.WriteKeyTable(step.table->data(), request.bank, observer)
                         : kResultNoReply;
            if (result == kResultOk) {
                outcome.tableInDevice = *step.table;
            }
        } else {
            outcome.blockTouched = true;
            result =
                transport.WriteMacroData(step.block->data(), std::uint16_t(step.block->size()), observer);
            if (result == kResultOk) {
                outcome.block = *step.block;
            }
        }
    }
    // The last step's table is the one the caller asked for; a failure
    // before it is its result too.
    if (steps.back().table != nullptr) {
        outcome.keyResult = result;
    }
    // The device must not stay in the session, after a failure too.
    if (linkUp()) {
        const int ended = transport.EndSession(1);
        count.Sent();
        if (ended != kResultOk && result == kResultOk) {
            result = ended;
        }
    } else if (result == kResultOk) {
        result = kResultNoReply;
    }
    outcome.result = result == kResultOk ? 0 : -1;
}

} // namespace

MacroWriteOutcome RunMacroWrite(DeviceTransport& transport, const MacroWriteRequest& request,
                                const MacroWriteProgress& progress) {
    MacroWriteOutcome outcome;
    if (!transport.IsOpen()) {
        return outcome; // nothing to write to
    }
    if (!request.keyTableRead || (request.checkLink && !transport.QueryLink())) {
        outcome.result = -1;
        Trace(request.keyTableRead ? "macro write: the wireless device does not answer"
                                   : "macro write: the key table was not read since the device came");
        return outcome;
    }
    std::array<std::uint8_t, kDeviceInfoSize> info{};
    if (const int read = transport.ReadDeviceInfo(info.data()); read != kResultOk) {
        outcome.result = -1;
        outcome.keyResult = read;
        return outcome;
    }
    MacroPlanInput input = request.plan;
    input.keyPositions = info[kInfoKeyPositions];
    input.capacity = std::size_t(info[kInfoMacroSlots]) * kMacroSlotBytes;
    const CJsonFileHelper json;
    const MacroPlan plan = BuildMacroPlan(input, json);
    outcome.status = plan.status;
    outcome.usedMacros = plan.usedMacros;
    outcome.memory = plan.memory;
    if (plan.status == MacroPlanStatus::BadKeyTable) {
        TraceF("macro write: %d key positions do not fit the key table; nothing sent", input.keyPositions);
        outcome.result = -1;
        return outcome;
    }
    MacroPlan explicitBlock;
    if (request.mode == MacroWriteMode::MacrosOnly) {
        explicitBlock = BuildMacroBlock(input.macroFolder, request.macros, input.capacity, json);
        outcome.usedMacros = request.macros;
        outcome.memory = explicitBlock.memory;
    }
    const MacroPlan& block = request.mode == MacroWriteMode::MacrosOnly ? explicitBlock : plan;
    if (block.status == MacroPlanStatus::TooLarge && request.mode != MacroWriteMode::KeysOnly) {
        outcome.status = MacroPlanStatus::TooLarge;
        outcome.result = int(block.eventsToRemove);
        TraceF("macro write: %zu bytes for %zu of macro memory; nothing sent", block.memory.needed,
               block.memory.capacity);
        return outcome;
    }
    const std::vector<Step> steps = StepsOf(request, plan, block);
    if (steps.empty()) {
        return outcome; // no macro to send: the device keeps its macro memory
    }
    outcome.framesPlanned =
        PlannedFrames(steps, input.keyPositions, transport.ChunkSize(), request.checkLink);
    FrameCount count(outcome.framesPlanned, progress);
    SendSteps(transport, request, steps, input.keyPositions, count, outcome);
    outcome.framesSent = count.SentSoFar();
    TraceF("macro write: %zu records, %zu bytes, %zu of %zu frames, result %d", outcome.usedMacros.size(),
           block.block.size(), outcome.framesSent, outcome.framesPlanned, outcome.result);
    return outcome;
}

} // namespace velkor
