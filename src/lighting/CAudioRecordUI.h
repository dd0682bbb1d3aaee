#pragma once
// CAudioRecordUI: the waveform control "AudioRecord" of the audio page, fed
// with the capture tool's audio frames.
//
// What it promises: only every third frame it is given is considered; a
// frame is painted only while the control is really on screen (it and every
// container above it visible, each tab showing the page on the way, the
// window visible) and at least kMinPaintGapMs after the last paint, so it
// never repaints more than 30 times a second and costs nothing while hidden.
// Each sample is shown as its magnitude, at most 8192, so no value can draw
// outside the control. User-interface thread only.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace velkor {

namespace ui {
class Control;
}

class CAudioRecordUI {
public:
    static constexpr std::string_view kName = "AudioRecord";
    static constexpr int kSamples = 500;
    static constexpr int32_t kFullScale = 8192;
    static constexpr uint32_t kFramesPerPaint = 3;
    static constexpr uint32_t kMinPaintGapMs = 34; // 1000 / 30, rounded up

    // `control` must outlive this object.
    explicit CAudioRecordUI(ui::Control& control) : m_control(control) {}

    // One audio frame (up to 500 samples are used) at `nowMs`. True when it was painted.
    bool Feed(std::span<const int32_t> frame, uint32_t nowMs);
    const std::array<int16_t, kSamples>& Samples() const { return m_samples; }

    // The control and all its containers shown (a tab only through its current page).
    static bool IsShown(const ui::Control& control);

private:
    ui::Control& m_control;
    std::array<int16_t, kSamples> m_samples{};
    uint32_t m_frames = 0;
    bool m_painted = false;
    uint32_t m_lastPaintMs = 0;
};

} // namespace velkor
