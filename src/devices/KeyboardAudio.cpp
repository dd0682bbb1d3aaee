// The audio effect's hand-over, beat detector and seven styles.
#include "devices/KeyboardAudio.h"

#include "devices/KeyboardEffects.h"

#include <algorithm>

namespace velkor {

void AudioInbox::PutBands(std::span<const int32_t> levels) {
    m_slot.With([&](Delivery& slot) {
        kbfx::CopyBands(slot.bands, levels);
        slot.news = true;
    });
}

void AudioInbox::ClearBands() {
    m_slot.With([](Delivery& slot) {
        slot.bands.fill(0);
        slot.news = true;
    });
}

void AudioInbox::AddRipple() {
    // Saturates: a light thread that stopped taking must not let it wrap to 0.
    m_slot.With([](Delivery& slot) {
        slot.ripples = std::min<uint32_t>(slot.ripples + 1, 0xFFFF);
        slot.news = true;
    });
}

bool AudioInbox::HasNews() const {
    return m_slot.With([](const Delivery& slot) { return slot.news; });
}

AudioInbox::Delivery AudioInbox::Take(bool takeBands) {
    return m_slot.With([&](Delivery& slot) {
        Delivery taken;
        if (takeBands) {
            taken.bands = slot.bands;
            slot.bands.fill(0);
        }
        taken.ripples = slot.ripples;
        taken.news = slot.news;
        slot.ripples = 0;
        slot.news = false;
        return taken;
    });
}

bool AudioFrameGate::Draw(bool fed, bool due, uint32_t nowMs) {
    if (fed) {
        m_fedBefore = true;
        m_fedAtMs = nowMs;
        return true;
    }
    return due && (!m_fedBefore || nowMs - m_fedAtMs >= kHoldMs);
}

bool BeatDetector::Feed(const AudioBandBlock& bands) {
    constexpr int32_t kBeatAt = 70;
    int64_t sum = 0;
    for (int32_t band : bands) {
        sum += kbfx::ClampedQuietness(band);
    }
    const int64_t average = sum / kbfx::kAudioBands;
    // 0 for silence, 25 at full level.
    m_accumulator += int32_t(25 - (average * 25) / 600);
    if (m_accumulator > kBeatAt) {
        m_accumulator = 0;
        return true;
    }
    return false;
}

namespace kbfx {

namespace {

constexpr uint8_t kWheel = 192;
constexpr uint8_t kTrailLevel = 10;
constexpr uint8_t kDropGate = 5;
constexpr int kAudioDecay = 29;
constexpr int kRows = kGridRows;

using leds::FrameLevel;
using leds::Scaled;

struct Colours {
    Rgb background;
    Rgb foreground;
    bool wheel; // the foreground runs along the colour wheel
};

Colours ColoursOf(const AudioLightInfoRecord& r) {
    return {{r.bkRed, r.bkGreen, r.bkBlue}, {r.fgRed, r.fgGreen, r.fgBlue}, r.sevenColorFlags != 0};
}

Rgb Foreground(const Colours& colours, uint8_t position) {
    return colours.wheel ? kColourWheel[position] : colours.foreground;
}

// One decay step of `key` unless the gate key is still lit (a gate outside
// the grid or an empty cell never holds it back).
void GatedDecay(LedFrame& frame, uint8_t key, int gateColumn, int gateRow, uint8_t threshold = kTrailLevel) {
    const uint8_t gate = GridKey(gateColumn, gateRow);
    if (gate == kNoKey || frame.keyLevels[gate] < threshold) {
        leds::StepKeyLevel(frame, key, kAudioDecay);
    }
}

// The shared bar rule, after the key's decay step. `position` is the
// foreground's wheel position, asked for only when the foreground is used.
template <class Position>
void BarCell(LedFrame& frame, uint8_t key, bool inside, const Colours& colours, Position&& position) {
    const uint8_t lv = FrameLevel(frame);
    uint8_t& level = frame.keyLevels[key];
    if (inside) {
        level = 255;
        frame.SetLed(key, PackLed(Foreground(colours, position()), Scaled(lv, 255)));
    } else if (level >= kTrailLevel) {
        frame.SetLed(key, PackLed(Foreground(colours, position()), Scaled(lv, level)));
    } else {
        frame.SetLed(key, PackLed(colours.background, lv));
    }
}

void StepFrame(LedFrame& frame, uint8_t amount = 1) {
    frame.position = StepPhase(frame.light.fx != 0, kWheel, frame.position, amount);
}

// Bar length on a scale of `cells` from a quietness.
int64_t Length(int64_t quiet, int64_t cells) {
    return ((quiet + 100) * cells) / 600;
}

// Group sums of consecutive bands in runs of the given lengths, each / 3.
template <size_t N>
std::array<int64_t, N> Groups(const AudioBandBlock& bands, const std::array<int, N>& runs) {
    std::array<int64_t, N> groups{};
    size_t band = 0;
    for (size_t g = 0; g < N; ++g) {
        int64_t sum = 0;
        for (int i = 0; i < runs[g]; ++i) {
            sum += bands[band++];
        }
        groups[g] = sum / 3;
    }
    return groups;
}

// Style 0: each column a bar rising from the bottom.
void RisingColumns(LedFrame& frame, const AudioBandBlock& bands, const Colours& colours) {
    StepFrame(frame);
    uint8_t q = frame.position;
    for (int c = 0; c < kAudioColumns; ++c) {
        const int64_t n = Length(Quietness(bands[size_t(c)]), 6);
        q = uint8_t((q + 10) % kWheel);
        for (int r = 0; r < kRows; ++r) {
            const uint8_t key = GridKey(c, r);
            if (key == kNoKey) {
                continue;
            }
            if (r == 0) {
                leds::StepKeyLevel(frame, key, kAudioDecay);
            } else {
                GatedDecay(frame, key, c, r - 1);
            }
            BarCell(frame, key, r >= n, colours, [q] { return q; });
        }
    }
}

// Style 1: each row two bars growing outwards from the middle.
void CentreBars(LedFrame& frame, AudioEffectState& audio, const AudioBandBlock& bands,
                const Colours& colours) {
    StepFrame(frame);
    audio.second = StepPhase(frame.light.fx != 0, kAudioBands, audio.second, 1);
    int b = audio.second;
    for (int r = 0; r < kRows; ++r) {
        b = (b + 3) % kAudioBands;
        const int64_t nLeft = Length(ClampedQuietness(bands[size_t(b)]), 12);
        const int64_t nRight = Length(ClampedQuietness(bands[size_t(2 * r + 1)]), 12);
        uint8_t q = frame.position;
        for (int c = 0; c < kAudioColumns; ++c) {
            q = uint8_t((q + 7) % kWheel);
            const uint8_t key = GridKey(c, r);
            if (key == kNoKey) {
                continue;
            }
            bool inside;
            if (c <= 8) {
                if (c == 0) {
                    leds::StepKeyLevel(frame, key, kAudioDecay);
                } else {
                    GatedDecay(frame, key, c - 1, r);
                }
                inside = c >= nLeft;
            } else {
                if (c >= 21) {
                    leds::StepKeyLevel(frame, key, kAudioDecay);
                } else {
                    GatedDecay(frame, key, c + 1, r);
                }
                inside = c - 9 <= 12 - nRight;
            }
            BarCell(frame, key, inside, colours, [q] { return q; });
        }
    }
}

// Style 2: ripples from the beat detector.
void BeatRipple(LedFrame& frame, KeyboardEffectState& state, const Colours& colours) {
    LightMarkedKeys(frame, state);
    SpreadRipple(state);
    const uint8_t lv = FrameLevel(frame);
    for (int k = 0; k < kKeys; ++k) {
        leds::StepKeyLevel(frame, k, kAudioDecay);
        uint8_t& position = frame.colourPositions[size_t(k)];
        position = StepPhase(true, kWheel, position, 9);
        const uint8_t level = frame.keyLevels[size_t(k)];
        if (level > 9) {
            frame.SetLed(k, PackLed(Foreground(colours, position), Scaled(lv, level)));
        } else {
            frame.SetLed(k, PackLed(colours.background, lv));
        }
    }
}

// Style 3: rings round the middle key, more of them the louder it is.
void Rings(LedFrame& frame, const AudioBandBlock& bands) {
    int64_t sum = 0;
    for (int32_t band : bands) {
        sum += ClampedQuietness(band);
    }
    const int m = int(((sum / kAudioBands) * 20) / 600); // 0..20
    StepFrame(frame, uint8_t(m));
    uint8_t q = frame.position;
    const uint8_t lv = FrameLevel(frame);
    for (int i = 0; i < kRings; ++i) {
        q = uint8_t((q + 9) % kWheel);
        for (uint8_t key : kRingMatrix[size_t(i)]) {
            if (key == kNoKey || !kListedKeys[key]) {
                continue;
            }
            Rgb colour{LedRed(frame.leds[key]), LedGreen(frame.leds[key]), LedBlue(frame.leds[key])};
            if (i < 20 - m) {
                frame.keyLevels[key] = 255;
                colour = kColourWheel[q];
            } else {
                leds::StepKeyLevel(frame, key, 0);
            }
            frame.SetLed(key, PackLed(colour, Scaled(lv, frame.keyLevels[key])));
        }
    }
}

// Style 4: each column drops from its band's height and latches until its
// bottom key has faded.
void LatchedColumns(LedFrame& frame, AudioEffectState& audio, const AudioBandBlock& bands,
                    const Colours& colours) {
    StepFrame(frame);
    if (audio.third > 10) {
        audio.third = 0;
        audio.second = StepPhase(frame.light.fx != 0, kAudioBands, audio.second, 0);
    }
    audio.third = uint8_t(audio.third + 1);
    const uint8_t lv = FrameLevel(frame);
    for (int c = 0; c < kAudioColumns; ++c) {
        const uint8_t bottom = GridKey(c, kRows - 1);
        if (bottom == kNoKey) {
            continue;
        }
        const int64_t n = Length(Quietness(bands[size_t((audio.second + 1 + c) % kAudioBands)]), 6);
        bool& drop = audio.drops[size_t(c)];
        for (int r = 0; r < kRows; ++r) {
            if (drop && frame.keyLevels[bottom] < kTrailLevel) {
                drop = false;
            }
            const uint8_t key = GridKey(c, r);
            if (key == kNoKey) {
                continue;
            }
            if (r == 0) {
                leds::StepKeyLevel(frame, key, kAudioDecay);
            } else {
                GatedDecay(frame, key, c, r - 1, kDropGate);
            }
            const uint8_t level = frame.keyLevels[key];
            if (level > 9) {
                const Rgb colour =
                    colours.wheel ? kColourWheel[frame.colourPositions[key]] : colours.foreground;
                frame.SetLed(key, PackLed(colour, Scaled(lv, level)));
            } else {
                frame.SetLed(key, PackLed(colours.background, lv));
            }
            if (r >= n && !drop) {
                frame.keyLevels[key] = 255; // shown from the next frame
                drop = true;
            }
        }
    }
}

// Style 5: each row a bar from the left, the top row the highest bands.
void RowBars(LedFrame& frame, const AudioBandBlock& bands, const Colours& colours) {
    const std::array<int64_t, 6> groups = Groups(bands, std::array<int, 6>{2, 3, 3, 4, 5, 7});
    StepFrame(frame);
    for (int r = 0; r < kRows; ++r) {
        const int64_t n = 23 - Length(ClampedQuietness(groups[size_t(5 - r)]), 23);
        uint8_t q = frame.position;
        for (int c = 0; c < kAudioColumns; ++c) {
            q = uint8_t((q + 3) % kWheel);
            const uint8_t key = GridKey(c, r);
            if (key == kNoKey) {
                continue;
            }
            if (c >= 21) {
                leds::StepKeyLevel(frame, key, kAudioDecay);
            } else {
                GatedDecay(frame, key, c + 1, r);
            }
            BarCell(frame, key, c <= n, colours, [q] { return q; });
        }
    }
}

// Style 6: rows alternately from the right and from the left.
void AlternatingRowBars(LedFrame& frame, const AudioBandBlock& bands, const Colours& colours) {
    const std::array<int64_t, 6> groups = Groups(bands, std::array<int, 6>{2, 2, 3, 4, 5, 5});
    StepFrame(frame);
    for (int r = 0; r < kRows; ++r) {
        const int64_t n = (ClampedQuietness(groups[size_t(r)]) * 23) / 600;
        const bool odd = r % 2 != 0;
        uint8_t q = frame.position;
        // The wheel position moves on only for keys that show the foreground.
        auto next = [&q, &colours] {
            if (colours.wheel) {
                q = uint8_t((q + 2) % kWheel);
            }
            return q;
        };
        for (int c = 0; c < kAudioColumns; ++c) {
            const uint8_t key = GridKey(c, r);
            if (key == kNoKey) {
                continue;
            }
            bool inside;
            if (odd) {
                if (c >= 21) {
                    leds::StepKeyLevel(frame, key, kAudioDecay);
                } else {
                    GatedDecay(frame, key, c + 1, r);
                }
                inside = c <= 23 - n;
            } else {
                if (c <= 1) {
                    leds::StepKeyLevel(frame, key, kAudioDecay);
                } else {
                    GatedDecay(frame, key, c - 1, r);
                }
                inside = c >= n;
            }
            BarCell(frame, key, inside, colours, next);
        }
    }
}

} // namespace

int64_t Quietness(int64_t level) {
    return 600 - (level * 600) / kFullLevel;
}

int64_t ClampedQuietness(int64_t level) {
    const int64_t quiet = Quietness(level);
    if (quiet < 0) {
        return 500;
    }
    return std::min<int64_t>(quiet, 600);
}

void ResetAudioState(AudioEffectState& audio) {
    audio.bands.fill(0);
    audio.drops.fill(true);
}

void CopyBands(AudioBandBlock& block, std::span<const int32_t> levels) {
    const size_t count = std::min(levels.size(), block.size());
    std::copy_n(levels.begin(), count, block.begin());
}

void RenderAudio(LedFrame& frame, KeyboardEffectState& state) {
    AudioEffectState& audio = state.audio;
    const uint8_t style = audio.record.audioMode;
    if (style >= kAudioStyles || frame.leds.empty()) {
        return;
    }
    const Colours colours = ColoursOf(audio.record);
    if (style == 2) {
        BeatRipple(frame, state, colours); // its levels went to the beat detector
        return;
    }
    // Each block of levels is shown once.
    const AudioBandBlock bands = audio.bands;
    audio.bands.fill(0);
    switch (style) {
    case 0:
        RisingColumns(frame, bands, colours);
        return;
    case 1:
        CentreBars(frame, audio, bands, colours);
        return;
    case 3:
        Rings(frame, bands);
        return;
    case 4:
        LatchedColumns(frame, audio, bands, colours);
        return;
    case 5:
        RowBars(frame, bands, colours);
        return;
    default:
        AlternatingRowBars(frame, bands, colours);
        return;
    }
}

} // namespace kbfx

} // namespace velkor
