#pragma once
// The fixed lists of functions that the key assignment panel offers on its
// table pages. Each list is in the order of its combo's items, so an item
// index is a list position.
#include "keys/KeyFunction.h"

#include <span>

namespace velkor {

// Result of a lookup that found nothing (also "no combo item selected").
constexpr int kKeyNotFound = -1;

// keyset_mousekey_combo: left, middle, right, fifth, fourth button.
std::span<const KeyFunction> MouseButtonChoices();
// keyset_mousedpi_combo: the DPI step kinds 1, 2, 3.
std::span<const KeyFunction> DpiChoices();
// keyset_system_combo: power, sleep, wake.
std::span<const KeyFunction> SystemChoices();
// keyset_media_combo: the 18 consumer-usage functions.
std::span<const KeyFunction> MediaChoices();
// keyset_combokey_combo: the 11 shortcuts (O, N, Z, S, C, X, V, F, A, minus, equals).
std::span<const KeyFunction> ShortcutChoices();

// Position of the first entry of `choices` with the same function as `value`
// (codes are ignored), or kKeyNotFound.
int FindChoice(std::span<const KeyFunction> choices, const KeyFunction& value);

} // namespace velkor
