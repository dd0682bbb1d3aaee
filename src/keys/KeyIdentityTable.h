#pragma once
// The on-screen key table of the keyboard page: for each of the 170 key
// numbers, the key function (category, modifier mask, usage) that the
// keyboard reports for that key in its factory key table.
//
// The key number indexes the LED colour buffer, the key pictures and the
// keyboard's "LightList"; matching a device's key list against these rows
// tells where each on-screen key sits on that device. Keys 18, 19, 20, 104
// and 126..169 have no key behind them and read 20 00 00, which never matches
// a device position. Fixed data; any thread may read it.
#include "keys/KeyFunction.h"

#include <cstddef>

namespace velkor {

constexpr std::size_t kScreenKeyCount = 170;

// A keyboard key with neither modifier nor usage: the function of an
// on-screen key that has no key behind it.
constexpr KeyFunction kNoKeyFunction = MakeKeyboardKey(0, 0);

// The factory function of on-screen key `key` (code 0); kNoKeyFunction for
// numbers outside 0..169, so an unchecked index cannot read past the table.
KeyFunction KeyIdentity(int key);

// True for the "no key" function 20 00 00; the code is ignored.
constexpr bool IsNoKey(const KeyFunction& function) {
    return function.SameFunction(kNoKeyFunction);
}
// True when on-screen key `key` has no key behind it, and for every number
// outside 0..169.
bool IsNoKey(int key);

} // namespace velkor
