// The SDK server's packet parser: a stream of bytes as a client would send
// them, cut into packets by their headers, each payload through every request
// reader and the controller reader; nothing may read past the bytes.
#include "sdk/SdkWire.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velkor::sdk;
    std::span<const uint8_t> rest(data, size);
    while (rest.size() >= kHeaderSize) {
        Header header;
        if (ReadHeader(rest, header) != HeaderCheck::Ok || rest.size() - kHeaderSize < header.size) {
            break;
        }
        const auto payload = rest.subspan(kHeaderSize, header.size);
        for (uint32_t version = 0; version <= kSdkProtocolVersion; ++version) {
            (void)ReadModeRequest(payload, version);
            (void)ReadController(payload, version);
        }
        (void)ReadLedsRequest(payload);
        (void)ReadZoneLedsRequest(payload);
        (void)ReadSingleLedRequest(payload);
        (void)ReadTextPayload(payload);
        rest = rest.subspan(kHeaderSize + header.size);
    }
    return 0;
}
