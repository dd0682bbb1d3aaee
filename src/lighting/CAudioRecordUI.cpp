#include "lighting/CAudioRecordUI.h"

#include "ui/Control.h"
#include "ui/Window.h"

#include <algorithm>
#include <cstdlib>

namespace velkor {

bool CAudioRecordUI::IsShown(const ui::Control& control) {
    const ui::Control* child = &control;
    for (const ui::Control* parent = control.Parent(); parent != nullptr; parent = parent->Parent()) {
        if (!child->IsVisible()) {
            return false;
        }
        if (const ui::PageControl* pages = parent->AsPage();
            pages != nullptr && parent->ChildAt(pages->CurrentPage()) != child) {
            return false;
        }
        child = parent;
    }
    return child->IsVisible() && control.OwnerWindow().IsVisible() && !control.OwnerWindow().IsMinimized();
}

bool CAudioRecordUI::Feed(std::span<const int32_t> frame, uint32_t nowMs) {
    if (++m_frames < kFramesPerPaint) {
        return false;
    }
    m_frames = 0;
    // Unsigned difference: right across a wrap of the tick count.
    if ((m_painted && uint32_t(nowMs - m_lastPaintMs) < kMinPaintGapMs) || !IsShown(m_control)) {
        return false;
    }
    m_samples.fill(0);
    const size_t count = std::min(frame.size(), m_samples.size());
    for (size_t i = 0; i < count; ++i) {
        // In 64 bits: the magnitude of INT32_MIN does not fit 32.
        m_samples[i] = int16_t(std::min<int64_t>(std::llabs(int64_t(frame[i])), kFullScale));
    }
    if (ui::WaveformControl* waveform = m_control.AsWaveform()) {
        waveform->SetWaveform(m_samples);
    }
    m_painted = true;
    m_lastPaintMs = nowMs;
    return true;
}

} // namespace velkor
