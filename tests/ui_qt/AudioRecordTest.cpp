// The waveform: its background, then a black bar every second pixel whose
// height is the sample's share of 8192, and nothing past its width.
#include "ui/qt/AudioRecord.h"

#include <QImage>
#include <gtest/gtest.h>
#include <vector>

namespace velkor::ui {
namespace {

TEST(AudioRecord, DrawsEachSampleAsABarFromTheBottom) {
    AudioRecord wave;
    wave.resize(8, 64); // room for samples 0..3 only
    wave.SetBackground(0xFFE0E0E0u);
    const std::vector<int16_t> samples = {8192, 0, 4096, 30000, 8192};
    wave.SetSamples(samples);
    EXPECT_EQ(wave.Samples()[3], 8192) << "clamped";
    QImage image(wave.size(), QImage::Format_ARGB32);
    wave.render(&image);
    auto dark = [&](int x, int y) { return (image.pixel(x, y) & 0xFFFFFFu) == 0; };
    EXPECT_TRUE(dark(0, 0) && dark(0, 63)) << "full scale: the whole height";
    EXPECT_FALSE(dark(2, 63)) << "a zero sample draws nothing";
    EXPECT_TRUE(dark(4, 63) && dark(4, 33));
    EXPECT_FALSE(dark(4, 31)) << "half scale: half the height";
    EXPECT_FALSE(dark(1, 40)) << "odd columns show the background";
    EXPECT_EQ(image.pixel(1, 40), 0xFFE0E0E0u);
    EXPECT_EQ(wave.Samples().size(), 500u);
}

} // namespace
} // namespace velkor::ui
