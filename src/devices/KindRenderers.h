#pragma once
// The mouse's and the mouse pad's own lighting effects, one frame per call,
// on a LedFrame (the caller holds its lock). Levels follow the record's
// brightness; directions its Fx; colours its colour or, with MultiColor, the
// colour wheel. No allocation.
#include "devices/LedState.h"

#include <cstdint>
#include <span>

namespace velkor::leds {

// Mouse effect 0: a wave over the mouse's seven LED rows.
void MouseWave(LedFrame& frame);
// Mouse effect 5: the ring marks travel round the rows, leaving a decaying trail.
void MouseFlowingRing(LedFrame& frame);
// Mouse effect 6: every LED flashed by StartFlash rises to full and falls back.
void MouseFlash(LedFrame& frame);
// A click: every LED starts a flash with the colour position `colour` (0..191).
void StartFlash(LedFrame& frame, uint8_t colour);

// Pad effect 0: the wave, LED by LED.
void PadWave(LedFrame& frame);
// Pad effect 7: the marks travel along the pad's facing LED pairs.
void PadPairedRing(LedFrame& frame);
// Pad effect 6: the marks chase round every LED of the pad's edge.
void PadChasingRing(LedFrame& frame);

// Headset effect 0: the wheel 16 places apart per LED with MultiColor, else
// the record's colour along the wave curve 10 places apart, 3 places a step.
void HeadsetWave(LedFrame& frame);

// One frame of an effect; `nowMs` paces the blinking ones.
using EffectRenderer = void (*)(LedFrame& frame, uint32_t nowMs);
// The mouse's effects 0..9 and the pad's 0..8 by number; null where the
// number is no effect of the kind.
std::span<const EffectRenderer> MouseEffects();
std::span<const EffectRenderer> PadEffects();
// The pad's effects with the headset's wave as effect 0.
std::span<const EffectRenderer> HeadsetEffects();
// Renders effect `effect` of `effects`; false (nothing drawn) for a number it lacks.
bool RenderEffect(std::span<const EffectRenderer> effects, LedFrame& frame, int effect, uint32_t nowMs);

} // namespace velkor::leds
