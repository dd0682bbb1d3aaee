#include "lighting/AudioToolFrames.h"

#include <algorithm>
#include <cstring>

namespace velkor {

int32_t LevelOfBand(int32_t m) {
    return (std::clamp(m, 0, kBandFullScale) * 8 + 1) / 3;
}

AudioFrameEncoder::Frame AudioFrameEncoder::Encode(const Levels& levels) {
    Frame frame{};
    const auto& present = m_program.GroupLevels();
    for (size_t g = 0; g < kAnalysisBands; ++g) {
        const int32_t wanted = std::clamp(levels[g], 0, kLevelLimit);
        // The program's unsigned division, and the step that lands on `wanted`.
        const auto quarter = int32_t(uint32_t(present[g]) / 4u);
        const int32_t step = std::max(0, wanted - quarter);
        // Towards zero, so that values stay within the step or the last value.
        int32_t& value = m_values[g];
        value = value >= 0 ? value - step : value + step;
        for (size_t i = 0; i < AudioFrameLevels::kGroupStride; ++i) {
            frame[AudioFrameLevels::kGroupStride * g + i] = value;
        }
    }
    std::array<uint8_t, sizeof(Frame)> bytes{};
    std::memcpy(bytes.data(), frame.data(), bytes.size()); // as the program reads its copy-data
    AudioFrameLevels::Levels ignored{};
    m_program.Feed(bytes, ignored);
    return frame;
}

bool FlushSchedule::Hop(const AudioFrameEncoder::Levels& levels, float loudness) {
    ++m_hops;
    bool rise = loudness >= m_sentLoudness + kLoudnessRise;
    for (size_t g = 0; g < levels.size() && !rise; ++g) {
        rise = levels[g] >= m_sent[g] + kLevelRise;
    }
    if (!rise && m_hops < kHopsPerFlush) {
        return false;
    }
    m_hops = 0;
    m_sent = levels;
    m_sentLoudness = loudness;
    return true;
}

} // namespace velkor
