#pragma once
// The keyboard's own lighting effects: the effect table (renderer and start
// step of every effect number), the keyboard's working state, the start
// steps, the ripple helpers and the key-event dispatcher.
//
// Everything here works on a LedFrame and a KeyboardEffectState that the
// caller holds under the device's LED lock (the keyboard keeps its state
// beside the frame and touches it only inside Leds().With), so a frame, a
// start step or a key event is never seen half done. One call renders one
// whole frame into the 170-key buffer: table lookups and 8-bit arithmetic,
// no allocation, no lock, no clock. A damaged light record (speed,
// brightness, flags out of range) never reads or writes past a table or the
// buffer.
#include "devices/KeyboardAudio.h"
#include "devices/KeyboardTables.h"
#include "devices/LedState.h"
#include "devices/LightTables.h"

#include <array>
#include <cstdint>

namespace velkor {

// The random source of the keyboard's effects (colour positions, starlight
// picks): a small seeded generator per device, so tests can fix its seed.
class EffectRandom {
public:
    explicit EffectRandom(uint64_t seed = 0x2545F4914F6CDD1DULL) { Seed(seed); }
    void Seed(uint64_t seed);
    // Uniform in 0..bound-1; 0 for a bound of 0.
    uint32_t Below(uint32_t bound);

private:
    uint64_t m_state = 0;
};

// The keyboard's working state beside the LedFrame (which holds the frame
// phase, the per-key levels and the per-key colour positions).
struct KeyboardEffectState {
    // The four direction masks: one byte per grid column, bit r = grid row
    // r; bits 6 and 7 are rows below the grid that travel but never show.
    enum Direction { UpLeft, UpRight, DownRight, DownLeft };
    using Mask = std::array<uint8_t, kbfx::kColumns>;

    uint8_t stage = 0;
    std::array<Mask, 4> masks{};
    // 0 idle, 1 rising, 2 falling (effects 8 and 25).
    std::array<uint8_t, kbfx::kKeys> press{};
    // 1 while a key is held (effect 25).
    std::array<uint8_t, kbfx::kKeys> held{};
    // Each key's place on the pulse curve (effect 22).
    std::array<uint8_t, kbfx::kKeys> pulse{};
    // What effect 30 shows: the low bytes of the first three band values,
    // and whether they came since its last frame.
    Rgb fed{};
    bool fedNews = false;
    // The audio effect (29): its bands, drop flags, phases and record.
    AudioEffectState audio;
    EffectRandom random;
};

namespace kbfx {

// Key-event kinds.
inline constexpr int kPress = 1;
inline constexpr int kRelease = 2;

// What an effect does when it is applied, before its first frame.
enum class StartStep : uint8_t {
    SeedColours,     // SeedColourPositions
    PulseFromTables, // per-key levels from the pulse start table (15)
    DiagonalPulse,   // per-key pulse phases along the diagonals (22)
    MarkColumn9,     // bit 6 of column 9 in all four masks (13)
    MarkColumn1,     // bit 0 of column 1 in all four masks (16)
    CustomGroup,     // the device loads the custom group, then SeedColours (19)
};

// One frame of an effect; `nowMs` paces the blinking ones.
using Renderer = void (*)(LedFrame& frame, KeyboardEffectState& state, uint32_t nowMs);

struct EffectEntry {
    // Null: the custom effect step player renders it (0, 20, above 30).
    Renderer render;
    StartStep start;
};

// The entry of an effect number; numbers past the table are custom effects.
EffectEntry EffectOf(int effect);
// The custom effect step player renders this effect (0, 20, above 30).
bool PlaysSteps(int effect);
// Renders one frame of `effect`; false (nothing drawn, nothing moves on)
// when it has no renderer here or the frame has no LEDs.
bool RenderEffect(LedFrame& frame, KeyboardEffectState& state, int effect, uint32_t nowMs);

// Back to the start of an effect: frame phase, stage counter, colour
// positions, press states, per-key levels and the masks to 0 (with the
// shared phases, ring and flash states of the frame), and the audio step
// (ResetAudioState). Held flags, pulse phases and the audio phases stay.
void ResetEffectState(LedFrame& frame, KeyboardEffectState& state);
// Runs the start step of `effect` (for CustomGroup only the seeding: the
// device loads the group first).
void RunStartStep(LedFrame& frame, KeyboardEffectState& state, int effect);
// Colour position of key k from a running value that steps by 33, or by 97
// while it lies within 160..222 (8-bit): 33, 66, 99, 132, 165, 6, 39, ...
void SeedColourPositions(LedFrame& frame);

// `key` when it stands in the key order list, else 170.
uint8_t IsListedKey(int key);
// A press (kind 1) of `key` marks its grid cell in all four masks; other
// kinds and keys outside the grid change nothing.
void SeedRipple(KeyboardEffectState& state, int key, int kind);
// Every marked grid cell holding a key lights it (level 255; with
// MultiColor a random colour position).
void LightMarkedKeys(LedFrame& frame, KeyboardEffectState& state);
// Every mask keeps and spreads its marks one step, so a seed grows a diamond.
void SpreadRipple(KeyboardEffectState& state);
// Up-left and down-right are cleared; up-right moves one column right and
// down-left one column left.
void SlideRipple(KeyboardEffectState& state);

// A key (number 0..169) pressed (1) or released (2), by the selected
// effect: 7 and 9 seed a ripple, 8 lights the key, 25 applies the
// neighbourhood rule; other effects, kinds and keys change nothing.
void KeyEvent(LedFrame& frame, KeyboardEffectState& state, int key, int kind);

// The renderers with a name of their own in the device (5 and 6); nothing
// moves on without LEDs.
void ColumnBreathing(LedFrame& frame, KeyboardEffectState& state, uint32_t nowMs);
void StaticRingRainbow(LedFrame& frame, KeyboardEffectState& state, uint32_t nowMs);

} // namespace kbfx

} // namespace velkor
