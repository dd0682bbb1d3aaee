#include "lighting/AudioFrames.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace velkor {

bool AudioFrameLevels::Feed(std::span<const uint8_t> bytes, Levels& out) {
    std::memcpy(m_frame.data(), bytes.data(), std::min(bytes.size(), sizeof(m_frame)));
    ++m_frames;
    std::array<uint32_t, kSamples> differences{};
    for (size_t i = 0; i < kSamples; ++i) {
        // In 64 bits: the difference of two extreme samples does not fit 32.
        differences[i] = uint32_t(std::llabs(int64_t(m_frame[i]) - int64_t(m_previous[i])));
    }
    m_previous = m_frame;
    for (size_t g = 0; g < kGroups; ++g) {
        uint32_t sum = uint32_t(m_levels[g]);
        for (size_t k = 0; k < kSummed; ++k) {
            sum += differences[kGroupStride * g + k];
        }
        m_levels[g] = int32_t(sum / 4u);
    }
    if (m_frames < kFramesPerHandOver) {
        return false;
    }
    out.fill(0);
    std::copy(m_levels.begin(), m_levels.end(), out.begin());
    m_frames = 0;
    return true;
}

std::span<const int32_t> AudioBands::Store(std::span<const uint8_t> bytes) {
    std::memcpy(m_values.data(), bytes.data(), std::min(bytes.size(), sizeof(m_values)));
    return m_values;
}

} // namespace velkor
