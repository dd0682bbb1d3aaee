#pragma once
// The keyboard's audio-reactive effect (29): the band hand-over between the
// user-interface thread and the light thread, the beat detector, and the
// seven styles that turn 25 band levels into a frame.
//
// Band levels run from 0 (silence) to 2000 (full level); any 32-bit value is
// taken without overflow (the scale is computed in 64 bits), and a value
// outside that range only lights more or less, never past a table.
//
// Threads: AudioInbox is the one place the two threads meet: the
// user-interface thread puts band blocks and beat ripples into it, the light
// thread takes and clears both at the start of a frame. BeatDetector belongs
// to the user-interface thread. The rest works on a frame and a state the
// caller holds under the device's LED lock, as the other keyboard effects do.
#include "devices/Guarded.h"
#include "devices/LedState.h"
#include "profiles/ProfileRecords.h"

#include <array>
#include <cstdint>
#include <span>

namespace velkor {

struct KeyboardEffectState;

namespace kbfx {
inline constexpr int kAudioBands = 25;
inline constexpr int kAudioStyles = 7;
inline constexpr int kAudioColumns = 23;
inline constexpr int64_t kFullLevel = 2000;
} // namespace kbfx

using AudioBandBlock = std::array<int32_t, kbfx::kAudioBands>;

// The audio effect's part of the keyboard's working state.
struct AudioEffectState {
    // The levels this frame shows (taken from the inbox at the frame start).
    AudioBandBlock bands{};
    // One latch per grid column (style 4): set while the column's drop runs.
    std::array<bool, kbfx::kAudioColumns> drops{};
    // The second and third phases: they survive a reset of the effect.
    uint8_t second = 0;
    uint8_t third = 0;
    // The audio lighting record: style and colours.
    AudioLightInfoRecord record{};
};

// The guarded slot between the feeds and the frames.
class AudioInbox {
public:
    struct Delivery {
        AudioBandBlock bands{};
        uint32_t ripples = 0; // beat ripples to start from the middle key
        bool news = false;    // a feed came since the last take
    };
    // Overwrites the block with the first 25 levels (a shorter span only its own).
    void PutBands(std::span<const int32_t> levels);
    // The block is used up (the beat detector read it): it reads as silence.
    void ClearBands();
    void AddRipple();
    // Whether a feed came since the last take (Take clears it).
    bool HasNews() const;
    // What the frame start takes: the block (when `takeBands`, which then
    // reads as silence until the next feed) and the ripples, which are cleared.
    Delivery Take(bool takeBands);

private:
    Guarded<Delivery> m_slot;
};

// When the light thread draws the audio effects (29, 30): at once when new
// audio came (the feeds wake the thread for it), else on the effect's own
// schedule; but while the audio keeps coming, a scheduled frame within
// kHoldMs of the last fed one is skipped, so that no frame without a feed
// (effect 29 reads it as silence) falls between two feeds. The feeds come
// every 32 ms or sooner, as often as effect 29's own schedule; so at steady
// sound the frames come as often as before, only in step with the sound.
// Light thread only.
class AudioFrameGate {
public:
    static constexpr uint32_t kHoldMs = 48; // three passes of 16 ms

    // `fed`: new audio came since the last frame; `due`: the schedule's
    // frame is due. True when a frame is to be drawn now.
    bool Draw(bool fed, bool due, uint32_t nowMs);

private:
    bool m_fedBefore = false;
    uint32_t m_fedAtMs = 0;
};

// Sums how loud each feed is; true when a beat ripple is due (the
// accumulator passes 70 and starts again). One per keyboard.
class BeatDetector {
public:
    bool Feed(const AudioBandBlock& bands);
    int32_t Accumulator() const { return m_accumulator; }

private:
    int32_t m_accumulator = 0;
};

namespace kbfx {

// How quiet a level is: 600 for 0, 0 for 2000, negative above 2000.
int64_t Quietness(int64_t level);
// The clamped styles' scale: a negative quietness reads as 500 (fairly quiet)
// and anything above 600 (a negative level) as 600.
int64_t ClampedQuietness(int64_t level);
// The audio step of an effect reset: no bands, every drop flag set; the
// phases and the record stay.
void ResetAudioState(AudioEffectState& audio);
// The first 25 levels of `levels` (the rest of the block as it was).
void CopyBands(AudioBandBlock& block, std::span<const int32_t> levels);
// One frame of the style in state.audio.record.audioMode; a style above 6
// draws nothing and moves nothing on.
void RenderAudio(LedFrame& frame, KeyboardEffectState& state);

} // namespace kbfx

} // namespace velkor
