#pragma once
// The main window with the simulated wireless keyboard attached and its light
// thread running, and the live-colour frames the keyboard was sent.
#include "MainWndFixture.h"
#include "devices/TolvanicKeyboardDevice.h"

#include <vector>

namespace velkor::test {

class LiveKeyboardFixture : public MainWndFixture {
protected:
    static constexpr int kWirelessRow = 1; // 0x50B7
    static constexpr uint8_t kLiveColours = 0x12;

    LiveKeyboardFixture() { m_folder.AddDefaultData(); }

    // Plugs the keyboard and starts the window; the keyboard once its keys are
    // known and its light thread runs, else null.
    CTolvanicKeyboardDevice* Attach() {
        m_sim.Plug(sim::SimUnit::Keyboard);
        if (!Start(true, 1)) {
            return nullptr;
        }
        CTolvanicKeyboardDevice* keyboard = nullptr;
        const bool ready = Until(
            [&] {
                keyboard = m_main->Discovery() == nullptr
                               ? nullptr
                               : dynamic_cast<CTolvanicKeyboardDevice*>(
                                     m_main->Discovery()->DeviceOfModel(kWirelessRow));
                return keyboard != nullptr && keyboard->KeyPositions() > 0 &&
                       keyboard->Driver().LightThreadRunning();
            },
            10);
        return ready ? keyboard : nullptr;
    }
    // The live-colour reports sent to the keyboard so far.
    std::vector<sim::SimFrame> LiveChunks() const {
        std::vector<sim::SimFrame> chunks;
        for (sim::SimFrame& frame : m_sim.Frames()) {
            if (frame.direction == sim::SimDirection::ToDevice && frame.unit == sim::SimUnit::Keyboard &&
                frame.bytes.size() >= 64 && frame.bytes[0] == 0x04 && frame.bytes[3] == kLiveColours) {
                chunks.push_back(std::move(frame));
            }
        }
        return chunks;
    }
    // The whole frames (colour bytes of every position) sent so far, put together from their chunks.
    std::vector<std::vector<uint8_t>> LiveFrames(int positions) const {
        std::vector<std::vector<uint8_t>> frames;
        std::vector<uint8_t> frame;
        for (const sim::SimFrame& chunk : LiveChunks()) {
            const uint8_t* report = chunk.bytes.data();
            const size_t offset = size_t(report[5] | report[6] << 8);
            const size_t length = report[4];
            if (offset == 0) {
                frame.assign(size_t(positions) * 3, 0);
            }
            if (frame.empty() || offset + length > frame.size()) {
                continue;
            }
            std::copy(report + 8, report + 8 + length, frame.begin() + std::ptrdiff_t(offset));
            if (offset + length == frame.size()) {
                frames.push_back(frame);
                frame.clear();
            }
        }
        return frames;
    }
};

} // namespace velkor::test
