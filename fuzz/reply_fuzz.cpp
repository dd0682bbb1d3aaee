// Feeds arbitrary device replies (short, foreign report IDs, garbage status
// bytes) to the transport's commands on both channels.
#include "support/ScriptedBackend.h"
#include "transport/DeviceTransport.h"

#include <cstddef>
#include <cstdint>
#include <memory>

using velkor::test::Report;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Input: a series of replies, each a length byte then that many bytes.
    auto replies = std::make_shared<std::vector<Report>>();
    size_t pos = 0;
    while (pos < size) {
        size_t length = data[pos++] % 80;
        length = std::min(length, size - pos);
        replies->emplace_back(data + pos, data + pos + length);
        pos += length;
    }
    auto next = std::make_shared<size_t>(0);
    velkor::test::ScriptedBackend backend;
    // Two replies per request, so that no read waits for its time-out.
    auto responder = [replies, next](const Report&) {
        std::vector<Report> out;
        for (int i = 0; i < 2; ++i) {
            out.push_back(replies->empty() ? Report{} : (*replies)[(*next)++ % replies->size()]);
        }
        return out;
    };
    for (const char* path : {"fuzz:wired", "fuzz:receiver"}) {
        velkor::test::ScriptedBackend::Interface setup;
        setup.responder = responder;
        backend.Add(path, setup);
    }
    velkor::DeviceTransport transport(backend);
    transport.Open(velkor::ChannelType::Wired, "fuzz:wired", false);
    transport.Open(velkor::ChannelType::Receiver, "fuzz:receiver", false);
    for (int type : {1, 2}) {
        transport.SelectChannel(type);
        uint8_t info[34];
        transport.ReadDeviceInfo(info);
        uint8_t params[200];
        transport.ReadParams(params, sizeof params, 0);
        transport.SetDataSize(info[5] * 3 <= 512 ? info[5] * 3 : 512);
        uint8_t keys[512];
        transport.ReadKeyTable(keys);
        transport.ReadKeyLightMap(keys);
        uint8_t power[6];
        transport.ReadPowerStatus(power, sizeof power, 0);
        transport.QueryLink();
        transport.WriteParams(params, 100, 28);
        transport.SendLiveColours(keys, 300);
    }
    return 0;
}
