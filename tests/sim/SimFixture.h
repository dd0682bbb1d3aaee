#pragma once
// A simulated family with a command transport on one of its units.
#include "sim/SimBackend.h"
#include "transport/DeviceTransport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace velkor::sim::test {

class SimFixture : public ::testing::Test {
protected:
    // Opens the unit's command collection on the matching channel of the
    // transport (receivers on the receiver channel) and selects it.
    void Attach(SimUnit unit) {
        const bool receiver = IsReceiver(unit);
        const ChannelType channel = receiver ? ChannelType::Receiver : ChannelType::Wired;
        ASSERT_TRUE(m_transport.Open(channel, m_backend.CommandPath(unit)))
            << m_transport.Channel(channel).LastOpenError();
    }

    // (length, offset) of every request frame written to `unit`.
    std::vector<std::pair<int, int>> RequestChunks(SimUnit unit, uint8_t command) const {
        std::vector<std::pair<int, int>> out;
        for (const SimFrame& f : m_backend.Frames()) {
            if (f.unit == unit && f.direction == SimDirection::ToDevice && f.bytes.size() == 64 &&
                f.bytes[3] == command) {
                out.emplace_back(f.bytes[4], f.bytes[5] | (f.bytes[6] << 8));
            }
        }
        return out;
    }

    std::vector<uint8_t> MemorySlice(SimModel model, SimMemory memory, size_t offset, size_t length) const {
        const std::vector<uint8_t> all = m_backend.Memory(model, memory);
        return {all.begin() + long(offset), all.begin() + long(offset + length)};
    }

    static std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
        std::vector<uint8_t> bytes(length);
        for (size_t i = 0; i < length; ++i) {
            bytes[i] = uint8_t(seed + i * 7);
        }
        return bytes;
    }

    SimBackend m_backend{1234};
    DeviceTransport m_transport{m_backend};
};

} // namespace velkor::sim::test
