#pragma once
// What the program sends the audio capture tool, as the lighting code sees
// it: the slider parameters (6, 7, 8: red, green, blue) and the selected
// style's colour (levels 0..9; the link sends it as copy-data id 10). The link
// decides whether the tool is there to hear it; a sender without a tool drops
// everything, so every caller may send at any time. Never blocks.
// User-interface thread only.
#include "platform/bus/BusMessage.h" // the parameter numbers

#include <cstdint>

namespace velkor {

class AudioToolSender {
public:
    virtual ~AudioToolSender() = default;
    virtual void SendParameter(int32_t parameter, int32_t value) = 0;
    virtual void SendStyleColour(int32_t red, int32_t green, int32_t blue) = 0;
};

// No tool: everything is dropped.
class NoAudioTool final : public AudioToolSender {
public:
    void SendParameter(int32_t, int32_t) override {}
    void SendStyleColour(int32_t, int32_t, int32_t) override {}
};

} // namespace velkor
