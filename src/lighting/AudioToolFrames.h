#pragma once
// What the audio capture tool sends the program, and when.
//
// AudioFrameEncoder builds the frames of copy-data id 1 so that the
// program's reduction (lighting/AudioFrames.h) reads the levels the tool
// wants. The program sets each group's level to (level + four differences
// with the previous frame) / 4; the encoder keeps the program's reduction
// fed with what it sent and picks each group's value so that the level lands
// on the wanted one in a single frame, or on a quarter of the present level
// when that is more (a level cannot fall faster). Left alone the reduction
// would smooth a sudden sound over several frames. All five values of a
// group carry that value (the waveform shows them), the rest of the frame
// is 0, and no value leaves -2000..2000 for levels within 0..2000. A frame
// that the program missed (the tool drops frames while the bus is busy), or
// a program that heard another tool first, puts the levels off; the error
// shrinks to a quarter with every frame after.
//
// FlushSchedule says when a hop's frames go out: every third hop, and at
// once when a hop brings more than was last sent: a level kLevelRise above
// the one sent, or a loudness kLoudnessRise above it. So a sound's onset
// leaves in the hop that holds it, while steady sound costs one flush in
// three hops; never more than one flush a hop.
#include "lighting/AudioAnalysis.h"
#include "lighting/AudioFrames.h"

#include <array>
#include <cstdint>

namespace velkor {

// The program's level (0..2000) that shows an analysis value m (0..750): a
// steady tone of m reads as 8m/3, which is what the program's reduction of
// alternating frames of m settles at.
int32_t LevelOfBand(int32_t m);

class AudioFrameEncoder {
public:
    using Frame = std::array<int32_t, AudioFrameLevels::kSamples>;
    using Levels = std::array<int32_t, kAnalysisBands>;
    static constexpr int32_t kLevelLimit = 2000;

    // The next frame, after which the program reads `levels` (each clamped to 0..2000).
    Frame Encode(const Levels& levels);
    // What the program's reduction reads now, as far as the encoder knows.
    const std::array<int32_t, AudioFrameLevels::kGroups>& ProgramLevels() const {
        return m_program.GroupLevels();
    }

private:
    AudioFrameLevels m_program;
    Levels m_values{}; // each group's value in the last frame
};

class FlushSchedule {
public:
    static constexpr int kHopsPerFlush = 3;
    static constexpr int32_t kLevelRise = 333; // of 2000: a row of the rising columns
    static constexpr float kLoudnessRise = 0.15f;

    // One hop's levels (0..2000) and loudness (0..1): true when its frames
    // go out now, which makes them the ones sent.
    bool Hop(const AudioFrameEncoder::Levels& levels, float loudness);

private:
    int m_hops = 0;
    AudioFrameEncoder::Levels m_sent{};
    float m_sentLoudness = 0;
};

} // namespace velkor
