// The keyboard effects' state changes outside the frames: the random
// source, the reset and start steps, the ripple masks and the key events.
// The renderers and the effect table: KeyboardRenderers.cpp.
#include "devices/KeyboardEffects.h"

#include <algorithm>

namespace velkor {

void EffectRandom::Seed(uint64_t seed) {
    // A zero state would stay zero.
    m_state = seed != 0 ? seed : 0x9E3779B97F4A7C15ULL;
}

uint32_t EffectRandom::Below(uint32_t bound) {
    // xorshift64*: fast, no allocation, good enough for colours and picks.
    m_state ^= m_state >> 12;
    m_state ^= m_state << 25;
    m_state ^= m_state >> 27;
    const uint32_t high = uint32_t((m_state * 0x2545F4914F6CDD1DULL) >> 32);
    // Multiply-shift instead of a modulo: no bias towards small values worth speaking of.
    return uint32_t((uint64_t(high) * bound) >> 32);
}

namespace kbfx {

namespace {

constexpr uint8_t kMarkTop = 0x01;   // bit 0: grid row 0
constexpr uint8_t kMarkBelow = 0x40; // bit 6: the first row below the grid
constexpr uint8_t kColourPositions = 192;

void MarkColumn(KeyboardEffectState& state, int column, uint8_t bit) {
    for (KeyboardEffectState::Mask& mask : state.masks) {
        mask[size_t(column)] |= bit;
    }
}

// The keys that effect 25 lifts around a pressed key, with what they gain
// on a press and lose on a release.
struct Neighbour {
    int8_t dc;
    int8_t dr;
    uint8_t rise;
    uint8_t fall;
};
constexpr std::array<Neighbour, 12> kNeighbourhood = {{
    {0, -1, 150, 15},
    {0, 1, 150, 15},
    {-1, 0, 150, 15},
    {1, 0, 150, 15},
    {0, -2, 90, 90},
    {0, 2, 90, 90},
    {-1, -1, 90, 90},
    {1, -1, 90, 90},
    {-1, 1, 90, 90},
    {1, 1, 90, 90},
    {-2, 0, 60, 90},
    {2, 0, 60, 90},
}};

// True when a held key other than `except` stands in the neighbourhood of
// the cell (column, row), the cell itself included.
bool HeldNear(const KeyboardEffectState& state, int column, int row, int except) {
    auto heldAt = [&](int c, int r) {
        const uint8_t key = GridKey(c, r);
        return key != kNoKey && key != except && state.held[key] != 0;
    };
    if (heldAt(column, row)) {
        return true;
    }
    for (const Neighbour& n : kNeighbourhood) {
        if (heldAt(column + n.dc, row + n.dr)) {
            return true;
        }
    }
    return false;
}

void GlowNeighbourhood(LedFrame& frame, KeyboardEffectState& state, int key, int kind) {
    const GridCell cell = kGridCellOf[size_t(key)];
    if (cell.column == kNoCell) {
        return; // a key outside the grid has no neighbourhood
    }
    const int column = cell.column;
    const int row = cell.row;
    if (kind == kPress) {
        state.press[size_t(key)] = 1;
        state.held[size_t(key)] = 1;
        frame.keyLevels[size_t(key)] = 255;
        for (const Neighbour& n : kNeighbourhood) {
            const uint8_t other = GridKey(column + n.dc, row + n.dr);
            if (other != kNoKey) {
                frame.keyLevels[other] = uint8_t(std::min(255, frame.keyLevels[other] + n.rise));
                state.press[other] = 1;
            }
        }
        return;
    }
    for (const Neighbour& n : kNeighbourhood) {
        const int c = column + n.dc;
        const int r = row + n.dr;
        const uint8_t other = GridKey(c, r);
        if (other == kNoKey || HeldNear(state, c, r, key)) {
            continue;
        }
        state.press[other] = 2;
        frame.keyLevels[other] = uint8_t(std::max(0, frame.keyLevels[other] - n.fall));
    }
    if (!HeldNear(state, column, row, key)) {
        state.press[size_t(key)] = 2;
    }
    state.held[size_t(key)] = 0;
}

} // namespace

bool PlaysSteps(int effect) {
    return effect == 0 || effect == 20 || effect > 30;
}

bool RenderEffect(LedFrame& frame, KeyboardEffectState& state, int effect, uint32_t nowMs) {
    const Renderer render = EffectOf(effect).render;
    if (render == nullptr || frame.leds.empty()) {
        return false; // without LEDs no effect moves on
    }
    render(frame, state, nowMs);
    return true;
}

void ResetEffectState(LedFrame& frame, KeyboardEffectState& state) {
    leds::ResetEffect(frame, false);
    state.stage = 0;
    state.press.fill(0);
    for (KeyboardEffectState::Mask& mask : state.masks) {
        mask.fill(0);
    }
    ResetAudioState(state.audio);
}

void SeedColourPositions(LedFrame& frame) {
    uint8_t v = 0;
    for (uint8_t& position : frame.colourPositions) {
        v = uint8_t(v + (v < 160 || v > 222 ? 33 : 97));
        position = v;
    }
}

void RunStartStep(LedFrame& frame, KeyboardEffectState& state, int effect) {
    switch (EffectOf(effect).start) {
    case StartStep::SeedColours:
    case StartStep::CustomGroup:
        SeedColourPositions(frame);
        return;
    case StartStep::MarkColumn9:
        MarkColumn(state, 9, kMarkBelow);
        return;
    case StartStep::MarkColumn1:
        MarkColumn(state, 1, kMarkTop);
        return;
    case StartStep::PulseFromTables:
        for (int c = 0; c < kColumns; ++c) {
            for (int r = 0; r < kDiagonalRows; ++r) {
                const uint8_t key = kDiagonalGrid[size_t(c)][size_t(r)];
                if (key != kNoCell) {
                    // Row 6 reads the first value of the next column's group.
                    frame.keyLevels[key] = kPulseStart[size_t(6 * c + r)];
                    frame.colourPositions[key] = uint8_t(7 * c);
                }
            }
        }
        return;
    case StartStep::DiagonalPulse:
        for (int c = 0; c < kColumns; ++c) {
            int a = 192 - 8 * c;
            for (int r = 0; r < kDiagonalRows; ++r) {
                a -= 35;
                if (a < 0) {
                    a += 193;
                }
                const uint8_t key = kDiagonalGrid[size_t(c)][size_t(r)];
                if (key != kNoCell) {
                    state.pulse[key] = uint8_t(a);
                    frame.colourPositions[key] = uint8_t(7 * c);
                }
            }
        }
        return;
    }
}

uint8_t IsListedKey(int key) {
    return key >= 0 && key < kKeys && kListedKeys[size_t(key)] ? uint8_t(key) : kNoKey;
}

void SeedRipple(KeyboardEffectState& state, int key, int kind) {
    if (kind != kPress || key < 0 || key >= kKeys) {
        return;
    }
    const GridCell cell = kGridCellOf[size_t(key)];
    if (cell.column != kNoCell) {
        MarkColumn(state, cell.column, uint8_t(1u << cell.row));
    }
}

void LightMarkedKeys(LedFrame& frame, KeyboardEffectState& state) {
    const bool multi = frame.light.multiColor != 0;
    for (int c = 0; c < kColumns; ++c) {
        uint8_t marks = 0;
        for (const KeyboardEffectState::Mask& mask : state.masks) {
            marks |= mask[size_t(c)];
        }
        for (int r = 0; r < kGridRows; ++r) {
            const uint8_t key = kKeyGrid[size_t(c)][size_t(r)];
            if ((marks >> r & 1) == 0 || key == kNoKey) {
                continue;
            }
            frame.keyLevels[key] = 255;
            if (multi) {
                frame.colourPositions[key] = uint8_t(state.random.Below(kColourPositions));
            }
        }
    }
}

void SpreadRipple(KeyboardEffectState& state) {
    using D = KeyboardEffectState;
    constexpr size_t last = kColumns - 1;
    // Leftward masks read their right neighbour, so go left to right;
    // rightward ones read their left neighbour, so go right to left.
    D::Mask& upLeft = state.masks[D::UpLeft];
    D::Mask& downLeft = state.masks[D::DownLeft];
    for (size_t c = 0; c < last; ++c) {
        upLeft[c] = uint8_t(upLeft[c] >> 1 | upLeft[c + 1]);
        downLeft[c] = uint8_t(downLeft[c] << 1 | downLeft[c + 1]);
    }
    upLeft[last] = uint8_t(upLeft[last] >> 1);
    downLeft[last] = uint8_t(downLeft[last] << 1);
    D::Mask& upRight = state.masks[D::UpRight];
    D::Mask& downRight = state.masks[D::DownRight];
    for (size_t c = last; c > 0; --c) {
        upRight[c] = uint8_t(upRight[c] >> 1 | upRight[c - 1]);
        downRight[c] = uint8_t(downRight[c] << 1 | downRight[c - 1]);
    }
    upRight[0] = uint8_t(upRight[0] >> 1);
    downRight[0] = uint8_t(downRight[0] << 1);
}

void SlideRipple(KeyboardEffectState& state) {
    using D = KeyboardEffectState;
    state.masks[D::UpLeft].fill(0);
    state.masks[D::DownRight].fill(0);
    D::Mask& upRight = state.masks[D::UpRight];
    std::copy_backward(upRight.begin(), upRight.end() - 1, upRight.end());
    upRight[0] = 0;
    D::Mask& downLeft = state.masks[D::DownLeft];
    std::copy(downLeft.begin() + 1, downLeft.end(), downLeft.begin());
    downLeft[kColumns - 1] = 0;
}

void KeyEvent(LedFrame& frame, KeyboardEffectState& state, int key, int kind) {
    if (key < 0 || key >= kKeys || (kind != kPress && kind != kRelease)) {
        return;
    }
    switch (frame.light.selectItem) {
    case 7:
    case 9:
        SeedRipple(state, key, kind);
        return;
    case 8:
        state.press[size_t(key)] = uint8_t(kind);
        frame.keyLevels[size_t(key)] = 255;
        frame.colourPositions[size_t(key)] = uint8_t(state.random.Below(kColourPositions));
        return;
    case 25:
        GlowNeighbourhood(frame, state, key, kind);
        return;
    default:
        return;
    }
}

} // namespace kbfx

} // namespace velkor
