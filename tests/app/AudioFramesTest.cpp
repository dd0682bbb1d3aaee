// The audio capture tool's frames: group levels, the one-in-three hand-over,
// and frames of the wrong size.
#include "lighting/AudioFrames.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace velkor {
namespace {

std::vector<uint8_t> Frame(size_t samples, int32_t value) {
    std::vector<uint8_t> bytes(samples * 4);
    for (size_t i = 0; i < samples; ++i) {
        std::memcpy(bytes.data() + 4 * i, &value, 4);
    }
    return bytes;
}

TEST(AudioFrameLevels, LevelsFollowTheDifferencesAndEveryThirdFrameIsHandedOver) {
    AudioFrameLevels levels;
    AudioFrameLevels::Levels out;
    out.fill(-1);
    EXPECT_FALSE(levels.Feed(Frame(500, 8), out));
    EXPECT_EQ(levels.GroupLevels()[0], 8); // (0 + 4 * 8) / 4
    EXPECT_FALSE(levels.Feed(Frame(500, 0), out));
    EXPECT_EQ(levels.GroupLevels()[24], 10); // (8 + 32) / 4
    EXPECT_EQ(out[0], -1) << "nothing handed over yet";
    ASSERT_TRUE(levels.Feed(Frame(500, 8), out));
    for (size_t g = 0; g < 25; ++g) {
        EXPECT_EQ(out[g], 10) << g; // (10 + 32) / 4
    }
    for (size_t i = 25; i < 500; ++i) {
        ASSERT_EQ(out[i], 0) << i;
    }
    EXPECT_FALSE(levels.Feed(Frame(500, 8), out)) << "the count starts again";
}

TEST(AudioFrameLevels, OnlyFourSamplesOfEachOfTheFirstGroupsCount) {
    AudioFrameLevels levels;
    AudioFrameLevels::Levels out;
    std::vector<uint8_t> frame = Frame(500, 0);
    const int32_t loud = 1000;
    std::memcpy(frame.data() + 4 * 4, &loud, 4);   // the fifth of group 0
    std::memcpy(frame.data() + 4 * 200, &loud, 4); // beyond the groups
    std::memcpy(frame.data() + 4 * 6, &loud, 4);   // the second of group 1
    levels.Feed(frame, out);
    EXPECT_EQ(levels.GroupLevels()[0], 0);
    EXPECT_EQ(levels.GroupLevels()[1], 250);
    for (size_t g = 2; g < 25; ++g) {
        EXPECT_EQ(levels.GroupLevels()[g], 0) << g;
    }
}

TEST(AudioFrameLevels, LongFramesAreCutAndShortOnesOverwriteOnlyTheirBytes) {
    AudioFrameLevels levels;
    AudioFrameLevels::Levels out;
    levels.Feed(Frame(800, 8), out); // 3200 bytes: the excess is left out
    EXPECT_EQ(levels.GroupLevels()[24], 8);
    levels.Feed(Frame(1, 0), out); // only sample 0 changes
    EXPECT_EQ(levels.GroupLevels()[0], (8 + 8) / 4);
    EXPECT_EQ(levels.GroupLevels()[1], 8 / 4);
    // Extreme samples do not overflow the difference.
    levels.Feed(Frame(500, INT32_MIN), out);
    levels.Feed(Frame(500, INT32_MAX), out);
}

TEST(AudioBands, SixValuesAtMostAndShortFramesKeepTheRest) {
    AudioBands bands;
    std::vector<uint8_t> many = Frame(9, 5);
    std::span<const int32_t> values = bands.Store(many);
    ASSERT_EQ(values.size(), 6u);
    EXPECT_EQ(values[5], 5);
    values = bands.Store(Frame(1, 9));
    EXPECT_EQ(values[0], 9);
    EXPECT_EQ(values[1], 5);
    std::vector<uint8_t> odd = {1, 0, 0};
    values = bands.Store(odd);
    EXPECT_EQ(values[0], 1);
}

} // namespace
} // namespace velkor
