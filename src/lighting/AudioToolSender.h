#pragma once
// What the program sends the audio capture tool, as the lighting code sees
// it: parameter messages (6, 7, 8 the red, green and blue sliders; 2, 4, 5
// at shut-down) and copy-data (id 10 the selected style's colour). The link
// decides whether the tool is there to hear it; a sender without a tool drops
// everything, so every caller may send at any time. Never blocks.
// User-interface thread only.
#include <cstdint>
#include <span>

namespace velkor {

class AudioToolSender {
public:
    virtual ~AudioToolSender() = default;
    virtual void SendParameter(int32_t parameter, int32_t value) = 0;
    virtual void SendData(uint32_t copyDataId, std::span<const uint8_t> bytes) = 0;
};

// No tool: everything is dropped.
class NoAudioTool final : public AudioToolSender {
public:
    void SendParameter(int32_t, int32_t) override {}
    void SendData(uint32_t, std::span<const uint8_t>) override {}
};

// The tool's parameter numbers and copy-data ids the lighting code uses.
inline constexpr int32_t kToolParameterRed = 6;
inline constexpr int32_t kToolParameterGreen = 7;
inline constexpr int32_t kToolParameterBlue = 8;
inline constexpr uint32_t kToolStyleColourId = 10;

} // namespace velkor
