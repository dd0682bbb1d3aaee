#pragma once
// The typeface a language's script needs, and the font set the windows draw
// their texts with.
//
// Four scripts have faces of their own: index 0 (Simplified Chinese), 2
// (Traditional Chinese), 15 (Thai); every other language uses the brand face
// "Nightjar". The font set is rebuilt only when the new language needs a
// different face than the one in use: for the indices 0, 2 and 15, and when
// leaving 15, 2, 0 or no language (-1); between two other indices it stays.
// A face the system lacks is no error: the toolkit's font configuration
// falls back to a face that has the script's characters.
#include "ui/Window.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velkor {

// Used for index 0 when the program's own Simplified Chinese face is not loaded
// (Debian's fonts-noto-cjk).
inline constexpr std::string_view kSimplifiedChineseFallback = "Noto Sans CJK SC";
inline constexpr std::string_view kTraditionalChineseFace = "Noto Sans CJK TC Regular";
inline constexpr std::string_view kThaiFace = "Noto Sans Thai";
inline constexpr std::string_view kBrandFace = "Nightjar";

// The face for `index`; `simplifiedChinese` is the family of the loaded
// Simplified Chinese face (empty when it is not loaded).
std::string TypefaceFor(int index, std::string_view simplifiedChinese);

// The face to install when the language changes from `current` to `index`;
// nothing when the font set stays.
std::optional<std::string> TypefaceChange(int index, int current, std::string_view simplifiedChinese);

struct FontSetEntry {
    int id; // -1: the default font
    int pixelSize;
    bool bold;
    bool underline;
};

// The default font and fonts 0-11 and 50, sizes in pixels at 96 DPI.
std::span<const FontSetEntry> LanguageFontSet();

// Replaces the window's font set with LanguageFontSet() in `family`.
void ApplyFontSet(ui::Window& window, const std::string& family);

// Gives `to` the font set of `from` (a window opened after the language was applied).
void CopyFontSet(const ui::Window& from, ui::Window& to);

} // namespace velkor
