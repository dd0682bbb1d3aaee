#pragma once
// The key geometry and curves the keyboard's grid effects walk: the key
// grid, the diagonal grid, the key order list, the snake order, the rings
// around key 51, the pulse curve and pulse start values, and the frames of
// the drop, sweep, pair and starlight effects.
//
// Fixed data, any thread. Every cell is a key number 0..169 or the empty
// marker of its table (kNoKey, or kNoCell for the diagonal grid and the
// sweep rows); KeyboardTables.cpp proves that at compile time, so a walk
// that skips the marker can index any 170-entry per-key array directly.
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace velkor::kbfx {

inline constexpr int kKeys = 170;
// Empty cell of the grid, order, snake, ring and drop tables.
inline constexpr uint8_t kNoKey = 170;
// Empty cell of the diagonal grid and the sweep rows.
inline constexpr uint8_t kNoCell = 255;

inline constexpr int kColumns = 23;
inline constexpr int kGridRows = 6;
inline constexpr int kDiagonalRows = 7;

namespace detail {
// A row of `N` cells from at most N keys, the rest `empty`. With `count`,
// the list must hold exactly that many values. Either rule broken does not
// compile in a constant expression.
template <size_t N>
constexpr std::array<uint8_t, N> Row(std::initializer_list<int> keys, uint8_t empty, size_t count = 0) {
    if (keys.size() > N || (count != 0 && keys.size() != count)) {
        throw "wrong number of values for the row";
    }
    std::array<uint8_t, N> row{};
    row.fill(empty);
    size_t i = 0;
    for (int key : keys) {
        row[i++] = uint8_t(key);
    }
    return row;
}
} // namespace detail

using GridColumn = std::array<uint8_t, kGridRows>;
using DiagonalColumn = std::array<uint8_t, kDiagonalRows>;
inline constexpr int kSnakeLength = 171;

namespace detail {
inline constexpr uint8_t _ = kNoKey;
inline constexpr uint8_t x = kNoCell;

// Three columns a line, column 0 first.
inline constexpr std::array<GridColumn, kColumns> kKeyGrid = {{
    {_, 120, 121, 122, 123, 124}, {_, 21, 42, 63, 84, 105},   {0, 22, 43, 64, 102, 106},
    {1, 23, 44, 65, 85, 20},      {2, 24, 45, 66, 86, 107},   {3, 25, 46, 67, 87, 126},
    {4, 26, 47, 68, 88, 127},     {18, 27, 48, 69, 89, 108},  {5, 28, 49, 70, 90, 128},
    {6, 29, 50, 71, 91, 129},     {7, 30, 51, 72, 92, 109},   {8, 31, 52, 73, 93, 125},
    {9, 32, 53, 74, 94, 110},     {10, 33, 54, 62, 100, 111}, {11, 34, 55, 75, 19, 130},
    {12, 101, 103, 79, 95, 112},  {13, 35, 56, 82, 80, 113},  {14, 36, 57, 83, 96, 114},
    {15, 37, 58, 17, 81, 115},    {_, 38, 59, 76, 97, 116},   {_, 39, 60, 77, 98, 104},
    {_, 40, 61, 78, 99, 117},     {_, 41, 16, 119, 118, 131},
}};

// Three columns a line, column 0 first.
inline constexpr std::array<DiagonalColumn, kColumns> kDiagonalGrid = {{
    {x, x, x, x, x, x, 105},      {x, x, 21, 42, 63, 84, 106},  {x, 0, 22, 43, 64, 85, 107},
    {x, 1, 23, 44, 65, 86, x},    {x, 2, 24, 45, 66, 87, x},    {x, 3, 25, 46, 67, 88, x},
    {x, 4, 26, 47, 68, 89, 108},  {x, x, 27, 48, 69, 90, x},    {x, 5, 28, 49, 70, 91, x},
    {x, 6, 29, 50, 71, 92, 109},  {x, 7, 30, 51, 72, 93, 109},  {x, 8, 31, 52, 73, 94, 110},
    {x, 9, 32, 53, 74, x, 111},   {x, 10, 33, 54, 75, x, x},    {x, 11, 34, 55, x, 95, 112},
    {x, 12, 34, 55, x, 95, 112},  {x, 13, 35, 56, x, x, 113},   {x, 14, 36, 57, x, 96, 114},
    {x, 15, 37, 58, x, x, 115},   {x, 17, 38, 59, 76, 97, 116}, {125, 18, 39, 60, 77, 98, 116},
    {x, 19, 40, 61, 78, 99, 117}, {x, 20, 41, x, 119, 118, x},
}};

constexpr std::array<uint8_t, kSnakeLength> BuildSnake() {
    std::array<uint8_t, kSnakeLength> snake = Row<kSnakeLength>(
        {0,  1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14, 15, 17, 18, 19,
         20, 41,  40,  39,  38,  37,  36,  35,  34,  33,  32,  31,  30,  29,  28, 27, 26, 25, 24,
         23, 22,  21,  42,  43,  44,  45,  46,  47,  48,  49,  50,  51,  52,  53, 54, 55, 56, 57,
         58, 59,  60,  61,  119, 78,  77,  76,  75,  _,   74,  73,  72,  71,  70, 69, 68, 67, 66,
         65, 64,  63,  84,  _,   85,  86,  87,  88,  89,  90,  91,  92,  93,  94, 95, 96, 97, 98,
         99, 118, 117, 116, 115, 114, 113, 112, 111, 110, 109, 108, 107, 106, 105},
        kNoKey, 110);
    for (size_t i = 126; i < snake.size(); ++i) {
        snake[i] = 0;
    }
    return snake;
}
} // namespace detail

// Key grid: column 0 is the left edge, row 0 the top row.
inline constexpr const std::array<GridColumn, kColumns>& kKeyGrid = detail::kKeyGrid;
// Diagonal grid of the pulse start steps.
inline constexpr const std::array<DiagonalColumn, kColumns>& kDiagonalGrid = detail::kDiagonalGrid;

// Key order list: 107 keys, then empty positions.
inline constexpr int kOrderLength = 126;
inline constexpr std::array<uint8_t, kOrderLength> kKeyOrder = detail::Row<kOrderLength>(
    {15,  14,  13,  12,  11,  10,  9,   8,   7,   6,   5,   4,   3,   2,   1,   0,  21, 42, 63, 84, 105, 106,
     107, 108, 109, 125, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 41,  40, 39, 38, 37, 36, 35,  34,
     33,  32,  31,  30,  29,  28,  27,  26,  25,  24,  23,  22,  43,  64,  102, 85, 86, 87, 88, 89, 90,  91,
     92,  93,  94,  95,  96,  97,  98,  99,  78,  61,  60,  59,  58,  57,  56,  55, 54, 53, 52, 51, 50,  49,
     48,  47,  46,  45,  44,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  62, 75, 76, 77},
    kNoKey, 107);

// Snake order: 110 keys (two empty positions among them), 16 empty
// positions, then key 0 at every position from 126 on.
inline constexpr std::array<uint8_t, kSnakeLength> kSnakeOrder = detail::BuildSnake();

// Rings of keys around key 51, innermost first.
inline constexpr int kRings = 12;
inline constexpr int kRingCells = 12;
using RingRow = std::array<uint8_t, kRingCells>;
inline constexpr std::array<RingRow, kRings> kRingMatrix = {{
    detail::Row<kRingCells>({51}, kNoKey),
    detail::Row<kRingCells>({30, 50, 71, 72, 52, 31}, kNoKey),
    detail::Row<kRingCells>({8, 29, 49, 70, 91, 92, 93, 73, 53, 32}, kNoKey),
    detail::Row<kRingCells>({7, 28, 48, 69, 90, 109, 94, 74, 54, 33, 9, 62}, kNoKey),
    detail::Row<kRingCells>({6, 27, 47, 68, 89, 110, 95, 75, 55, 34, 10, 11}, kNoKey),
    detail::Row<kRingCells>({5, 26, 46, 67, 88, 108, 111, 112, 56, 35, 12, 125}, kNoKey),
    detail::Row<kRingCells>({4, 25, 45, 66, 87, 113, 96, 57, 36, 13}, kNoKey),
    detail::Row<kRingCells>({3, 24, 44, 65, 86, 114, 115, 58, 37, 15, 14}, kNoKey),
    detail::Row<kRingCells>({2, 23, 43, 64, 85, 107, 97, 76, 59, 38}, kNoKey),
    detail::Row<kRingCells>({1, 22, 42, 63, 84, 106, 116, 98, 77, 60, 39, 102}, kNoKey),
    detail::Row<kRingCells>({0, 21, 105, 117, 99, 78, 61, 40}, kNoKey),
    detail::Row<kRingCells>({118, 119, 41}, kNoKey),
}};

// Pulse curve: a rise over entries 0..24, a fall over 25..87, then dark.
inline constexpr int kPulseLength = 192;
inline constexpr int kPulseLitEntries = 88;
inline constexpr std::array<uint8_t, kPulseLength> kPulseCurve = detail::Row<kPulseLength>(
    {0,   4,   8,   14,  22,  33,  45,  61,  77,  84,  100, 110, 120, 130, 140, 150, 158, 166,
     175, 182, 191, 204, 220, 234, 255, 248, 241, 234, 227, 220, 213, 206, 200, 194, 188, 182,
     176, 170, 164, 158, 152, 146, 140, 134, 129, 124, 119, 114, 109, 104, 99,  94,  89,  85,
     81,  77,  73,  69,  65,  61,  57,  53,  49,  45,  42,  39,  36,  33,  30,  27,  24,  22,
     20,  18,  16,  14,  12,  10,  9,   8,   7,   6,   5,   4,   3,   2,   2,   1},
    0, kPulseLitEntries);

// Pulse start values: six per column, then one more 0 (read by column 22 row 6).
inline constexpr int kPulseStartLength = 139;
inline constexpr std::array<uint8_t, kPulseStartLength> kPulseStart = detail::Row<kPulseStartLength>(
    {72,  52,  32,  12,  182, 162, 72,  52,  32, 12,  182, 162, 120, 100, 80,  60,  40, 20, 92,  82,
     72,  62,  52,  42,  160, 140, 120, 100, 80, 60,  80,  70,  60,  50,  20,  10,  90, 30, 0,   160,
     130, 100, 50,  30,  10,  180, 160, 140, 32, 22,  12,  2,   182, 172, 120, 100, 80, 60, 40,  20,
     20,  5,   185, 170, 155, 140, 60,  35,  15, 180, 155, 130, 120, 110, 100, 90,  80, 70, 192, 162,
     132, 102, 72,  32,  80,  70,  60,  50,  20, 10,  100, 95,  90,  85,  80,  75,  90, 80, 70,  60,
     50,  40,  140, 110, 80,  50,  20,  180, 70, 55,  40,  25,  10,  190, 120, 100, 80, 60, 40,  20,
     92,  82,  72,  62,  52,  42,  60,  50,  40, 30,  20,  10,  192, 162, 132, 102, 72, 32, 0},
    0, kPulseStartLength);

// Drop frames: up to 12 keys each.
inline constexpr int kDropFrames = 52;
inline constexpr int kDropCells = 12;
using DropFrame = std::array<uint8_t, kDropCells>;
constexpr DropFrame Drop(std::initializer_list<int> keys) {
    return detail::Row<kDropCells>(keys, kNoKey);
}
inline constexpr std::array<DropFrame, kDropFrames> kDropTable = {{
    Drop({25, 26, 50, 51}),
    Drop({0, 26, 27, 50, 51}),
    Drop({27, 28, 50, 51}),
    Drop({1, 27, 50, 51}),
    Drop({2, 27, 50, 51}),
    Drop({3, 28, 51}),
    Drop({4, 29, 51}),
    Drop({29, 51}),
    Drop({5, 29, 51}),
    Drop({6, 30, 51}),
    Drop({7, 30, 51}),
    Drop({8, 51}),
    Drop({31, 52}),
    Drop({9, 32, 52}),
    Drop({10, 32, 52}),
    Drop({11, 33, 52}),
    Drop({12, 34, 53, 52}),
    Drop({13, 34, 53, 52}),
    Drop({14, 34, 53, 52}),
    Drop({15, 35, 52}),
    Drop({36, 52}),
    Drop({37, 52}),
    Drop({38, 52}),
    Drop({39, 52}),
    Drop({41, 40, 38, 52, 54, 53, 55, 39}),
    Drop({119, 61, 60, 59, 58, 57, 56, 62, 54, 53, 52}),
    Drop({52, 53, 76, 78, 77, 54, 55}),
    Drop({73, 74, 75, 97, 98, 99, 118}),
    Drop({73, 74, 96, 117, 116}),
    Drop({73, 95, 96, 75, 116, 117}),
    Drop({73, 74, 95, 115, 116}),
    Drop({73, 95, 115, 114}),
    Drop({73, 95, 114, 113}),
    Drop({73, 95, 113}),
    Drop({73, 95, 112}),
    Drop({73, 94, 111}),
    Drop({73, 94, 125, 110}),
    Drop({73, 93, 109}),
    Drop({72, 92, 108}),
    Drop({72, 92, 108}),
    Drop({108, 91, 72}),
    Drop({108, 90, 91, 72}),
    Drop({108, 90, 71, 72}),
    Drop({108, 89, 90, 71, 72}),
    Drop({107, 88, 89, 71, 72}),
    Drop({106, 107, 87, 88, 89, 70, 71, 72}),
    Drop({105, 106, 87, 88, 70, 72}),
    Drop({124, 105, 86, 87, 88, 70, 71, 72}),
    Drop({123, 84, 85, 69, 70, 71, 72, 86, 102}),
    Drop({122, 63, 64, 65, 68, 66, 67, 50, 51}),
    Drop({121, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51}),
    Drop({51, 21, 22, 23, 24, 48, 49, 50, 120}),
}};

// Sweep rows of the sequence effect: up to six keys each.
inline constexpr int kSweepRows = 20;
inline constexpr int kSweepCells = 6;
using SweepRow = std::array<uint8_t, kSweepCells>;
constexpr SweepRow Sweep(std::initializer_list<int> keys) {
    return detail::Row<kSweepCells>(keys, kNoCell);
}
inline constexpr std::array<SweepRow, kSweepRows> kSweepTable = {{
    Sweep({0, 118}),
    Sweep({1, 117}),
    Sweep({2, 116}),
    Sweep({3, 115, 21, 118}),
    Sweep({4, 114, 22, 99}),
    Sweep({5, 113, 23, 98}),
    Sweep({6, 112, 24, 97, 42, 119}),
    Sweep({7, 111, 25, 96, 43, 78}),
    Sweep({8, 125, 26, 95, 44, 77}),
    Sweep({9, 109, 27, 94, 45, 76}),
    Sweep({33, 92, 28, 93, 46, kNoCell}),
    Sweep({54, 71, 29, 92, 47, 75}),
    Sweep({74, 50, 30, 71, 48, 62}),
    Sweep({94, 30, 31, 50, 49, 74}),
    Sweep({93, 31, 52, 30, 50, 73}),
    Sweep({92, 32, 72, 31, 51, 72}),
    Sweep({71, 33, 71, 52, 52, 71}),
    Sweep({50, 54, 50, 72, 53, kNoCell}),
    Sweep({30, 74}),
    Sweep({31, 94}),
}};

// Key pairs of the sequence effect.
inline constexpr int kPairs = 16;
inline constexpr std::array<std::array<uint8_t, 2>, kPairs> kPairTable = {{
    {30, 94},
    {31, 93},
    {32, 92},
    {33, 71},
    {54, 50},
    {74, 30},
    {94, 31},
    {93, 32},
    {92, 33},
    {71, 54},
    {50, 74},
    {51, 73},
    {52, 72},
    {53, 51},
    {73, 52},
    {72, 53},
}};

// Starlight picks: a random index 0..125 names a position of the key order
// list; position 0 stands sixteen times, positions 1..110 once each.
inline constexpr int kStarPicks = 126;
constexpr std::array<uint8_t, kStarPicks> BuildStarPicks() {
    std::array<uint8_t, kStarPicks> picks{};
    for (size_t i = 16; i < picks.size(); ++i) {
        picks[i] = uint8_t(i - 15);
    }
    return picks;
}
inline constexpr std::array<uint8_t, kStarPicks> kStarPickTable = BuildStarPicks();

// Where a key first stands in the key grid (searching column by column, top
// to bottom), for every key 0..169; column and row 255 for a key not in it.
struct GridCell {
    uint8_t column = kNoCell;
    uint8_t row = kNoCell;
};
constexpr std::array<GridCell, kKeys> BuildGridCells() {
    std::array<GridCell, kKeys> cells{};
    for (int c = kColumns - 1; c >= 0; --c) {
        for (int r = kGridRows - 1; r >= 0; --r) {
            const uint8_t key = kKeyGrid[size_t(c)][size_t(r)];
            if (key != kNoKey) {
                cells[key] = {uint8_t(c), uint8_t(r)};
            }
        }
    }
    return cells;
}
inline constexpr std::array<GridCell, kKeys> kGridCellOf = BuildGridCells();

// True for the keys that stand in the key order list.
constexpr std::array<bool, kKeys> BuildListed() {
    std::array<bool, kKeys> listed{};
    for (uint8_t key : kKeyOrder) {
        if (key != kNoKey) {
            listed[key] = true;
        }
    }
    return listed;
}
inline constexpr std::array<bool, kKeys> kListedKeys = BuildListed();

// The key at a grid cell; kNoKey outside the grid.
constexpr uint8_t GridKey(int column, int row) {
    if (column < 0 || column >= kColumns || row < 0 || row >= kGridRows) {
        return kNoKey;
    }
    return kKeyGrid[size_t(column)][size_t(row)];
}

} // namespace velkor::kbfx
