#include "ui/qt/AudioRecord.h"

#include "ui/ControlClasses.h"

#include <QPainter>
#include <algorithm>

namespace velkor::ui {

AudioRecord::AudioRecord(QWidget* parent) : QWidget(parent), m_samples(kWaveformSamples, 0) {}

void AudioRecord::SetSamples(std::span<const int16_t> samples) {
    const size_t count = std::min(samples.size(), kWaveformSamples);
    m_samples.assign(kWaveformSamples, 0);
    for (size_t i = 0; i < count; ++i) {
        m_samples[i] = std::clamp<int16_t>(samples[i], 0, kFullScale);
    }
    update();
}

void AudioRecord::SetBackground(uint32_t argb) {
    m_background = argb;
    update();
}

void AudioRecord::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgba(m_background));
    painter.setPen(Qt::black);
    const int h = height();
    for (size_t i = 0; i < m_samples.size() && int(2 * i) < width(); ++i) {
        const int top = h - h * m_samples[i] / kFullScale;
        if (top < h) {
            painter.drawLine(int(2 * i), h - 1, int(2 * i), top);
        }
    }
}

} // namespace velkor::ui
