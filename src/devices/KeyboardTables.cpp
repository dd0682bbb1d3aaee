// Compile-time proofs about the keyboard's effect tables: every cell is a key
// number or its table's empty marker (so the renderers index their 170-entry
// arrays without a check), and the counts and anchor values the effects rely
// on hold. A transcription slip fails the build, not a frame.
#include "devices/KeyboardTables.h"

namespace velkor::kbfx {

namespace {

template <class Table> constexpr bool CellsValid(const Table& rows, uint8_t empty) {
    for (const auto& row : rows) {
        for (uint8_t cell : row) {
            if (cell >= kKeys && cell != empty) {
                return false;
            }
        }
    }
    return true;
}

template <size_t N> constexpr bool ListValid(const std::array<uint8_t, N>& list, uint8_t empty) {
    for (uint8_t cell : list) {
        if (cell >= kKeys && cell != empty) {
            return false;
        }
    }
    return true;
}

template <size_t N> constexpr int CountKeys(const std::array<uint8_t, N>& list, uint8_t empty) {
    int count = 0;
    for (uint8_t cell : list) {
        count += cell != empty ? 1 : 0;
    }
    return count;
}

// No key stands twice in the key grid (a zero slipped into a row would).
constexpr bool GridKeysUnique() {
    std::array<int, kKeys> seen{};
    for (const GridColumn& column : kKeyGrid) {
        for (uint8_t key : column) {
            if (key != kNoKey && ++seen[key] > 1) {
                return false;
            }
        }
    }
    return true;
}

// No key stands twice in the key order list (starlight's odds rely on it).
constexpr bool OrderKeysUnique() {
    std::array<int, kKeys> seen{};
    for (uint8_t key : kKeyOrder) {
        if (key != kNoKey && ++seen[key] > 1) {
            return false;
        }
    }
    return true;
}

constexpr int GridKeyCount() {
    int count = 0;
    for (const GridColumn& column : kKeyGrid) {
        count += CountKeys(column, kNoKey);
    }
    return count;
}

constexpr int DropKeyCount() {
    int count = 0;
    for (const DropFrame& frame : kDropTable) {
        count += CountKeys(frame, kNoKey);
    }
    return count;
}

constexpr int StarPicksOf(uint8_t position) {
    int count = 0;
    for (uint8_t pick : kStarPickTable) {
        count += pick == position ? 1 : 0;
    }
    return count;
}

} // namespace

static_assert(CellsValid(kKeyGrid, kNoKey));
static_assert(CellsValid(kDiagonalGrid, kNoCell));
static_assert(CellsValid(kRingMatrix, kNoKey));
static_assert(CellsValid(kDropTable, kNoKey));
static_assert(CellsValid(kSweepTable, kNoCell));
static_assert(CellsValid(kPairTable, kNoKey));
static_assert(ListValid(kKeyOrder, kNoKey));
static_assert(ListValid(kSnakeOrder, kNoKey));

static_assert(GridKeysUnique());
static_assert(GridKeyCount() == 132);
static_assert(GridKey(10, 2) == 51 && GridKey(0, 5) == 124 && GridKey(22, 5) == 131);
static_assert(GridKey(-1, 0) == kNoKey && GridKey(0, 6) == kNoKey);
static_assert(kGridCellOf[51].column == 10 && kGridCellOf[51].row == 2);
static_assert(kGridCellOf[150].column == kNoCell);

static_assert(OrderKeysUnique());
static_assert(CountKeys(kKeyOrder, kNoKey) == 107 && kKeyOrder[0] == 15 && kKeyOrder[106] == 77);
static_assert(kListedKeys[51] && !kListedKeys[120] && !kListedKeys[17]);

static_assert(kSnakeOrder[0] == 0 && kSnakeOrder[109] == 105 && kSnakeOrder[66] == kNoKey &&
              kSnakeOrder[80] == kNoKey);
static_assert(kSnakeOrder[110] == kNoKey && kSnakeOrder[125] == kNoKey);
static_assert(kSnakeOrder[126] == 0 && kSnakeOrder[170] == 0);

static_assert(CountKeys(kRingMatrix[0], kNoKey) == 1 && kRingMatrix[0][0] == 51);
static_assert(CountKeys(kRingMatrix[11], kNoKey) == 3);

static_assert(kPulseCurve[24] == 255 && kPulseCurve[25] == 248 && kPulseCurve[87] == 1);
static_assert(kPulseCurve[88] == 0 && kPulseCurve[191] == 0);

static_assert(kPulseStart[0] == 72 && kPulseStart[132] == 192 && kPulseStart[137] == 32);
static_assert(kPulseStart[138] == 0);

static_assert(DropKeyCount() == 234);
static_assert(kDropTable[51][8] == 120 && kDropTable[51][9] == kNoKey);

static_assert(kSweepTable[10][5] == kNoCell && kSweepTable[16][5] == 71);

static_assert(StarPicksOf(0) == 16 && StarPicksOf(1) == 1 && StarPicksOf(110) == 1 && StarPicksOf(111) == 0);

} // namespace velkor::kbfx
