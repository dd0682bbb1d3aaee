#pragma once
// A waveform drawn by the program itself: its background colour, then for
// sample i (while 2i is less than its width) a one-pixel black bar at x = 2i
// from the bottom up to height - height * sample / 8192. Samples start at 0.
#include <QWidget>
#include <cstdint>
#include <span>
#include <vector>

namespace velkor::ui {

class AudioRecord final : public QWidget {
public:
    static constexpr int kFullScale = 8192;
    explicit AudioRecord(QWidget* parent = nullptr);

    // At most 500 samples are kept; each is clamped to 0..8192. Repaints.
    void SetSamples(std::span<const int16_t> samples);
    std::vector<int16_t> Samples() const { return m_samples; }
    void SetBackground(uint32_t argb);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int16_t> m_samples;
    uint32_t m_background = 0;
};

} // namespace velkor::ui
