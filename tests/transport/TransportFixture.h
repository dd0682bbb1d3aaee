#pragma once
// A transport on a scripted wired and receiver channel.
#include "support/ScriptedBackend.h"
#include "transport/DeviceTransport.h"

#include <gtest/gtest.h>

namespace velkor::test {

inline const std::string kWiredPath = "test:wired#vid_320f&pid_7070&mi_01&col04";
inline const std::string kReceiverPath = "test:receiver#vid_320f&pid_221d&mi_01&col04";

class TransportFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_backend.Add(kWiredPath, {});
        m_backend.Add(kReceiverPath, {});
    }
    // Opens the channel of the given type and selects it.
    void OpenChannel(ChannelType type) { ASSERT_TRUE(m_transport.Open(type, PathOf(type))); }
    const std::string& PathOf(ChannelType type) const {
        return type == ChannelType::Receiver ? kReceiverPath : kWiredPath;
    }
    static Report MakeReply(uint8_t command, uint8_t status = 0, uint8_t reportId = 0x04) {
        Report reply(64, 0);
        reply[0] = reportId;
        reply[3] = command;
        reply[7] = status;
        return reply;
    }

    ScriptedBackend m_backend;
    DeviceTransport m_transport{m_backend};
};

// (length, offset) of every frame written.
inline std::vector<std::pair<int, int>> Chunks(const std::vector<Report>& frames) {
    std::vector<std::pair<int, int>> out;
    for (const Report& f : frames) {
        out.emplace_back(f[4], f[5] | (f[6] << 8));
    }
    return out;
}

} // namespace velkor::test
