#pragma once
// What the main window makes of the audio capture tool's data (copy-data):
// frames of 500 signed 32-bit samples become 25 group levels for the first
// keyboard, one frame in three; band frames are six 32-bit values.
//
// A frame longer than its buffer is cut to the buffer; a shorter one
// overwrites only its own bytes and leaves the rest of the buffer as it was.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace velkor {

class AudioFrameLevels {
public:
    static constexpr size_t kSamples = 500;
    static constexpr size_t kGroups = 25;
    static constexpr size_t kGroupStride = 5;
    static constexpr size_t kSummed = 4; // of each group's five differences
    static constexpr uint32_t kFramesPerHandOver = 3;
    using Levels = std::array<int32_t, kSamples>;

    // Takes one frame. True when `out` was filled for the keyboard: the 25
    // levels followed by zeros (every third frame).
    bool Feed(std::span<const uint8_t> bytes, Levels& out);
    const std::array<int32_t, kGroups>& GroupLevels() const { return m_levels; }

private:
    std::array<int32_t, kSamples> m_frame{};
    std::array<int32_t, kSamples> m_previous{};
    std::array<int32_t, kGroups> m_levels{};
    uint32_t m_frames = 0;
};

class AudioBands {
public:
    static constexpr size_t kValues = 6;
    // Stores the values (cut to six, a shorter frame overwriting only its own bytes).
    std::span<const int32_t> Store(std::span<const uint8_t> bytes);
    std::span<const int32_t> Values() const { return m_values; }

private:
    std::array<int32_t, kValues> m_values{};
};

} // namespace velkor
