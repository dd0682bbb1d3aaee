#include "app/LanguageFonts.h"

#include <array>

namespace velkor {
namespace {

constexpr std::array<FontSetEntry, 14> kFontSet = {{
    {-1, 10, false, false},
    {0, 15, false, false},
    {1, 14, false, true},
    {2, 18, false, false},
    {3, 30, false, false},
    {4, 16, false, false},
    {5, 20, false, false},
    {6, 22, false, false},
    {7, 11, false, false},
    {8, 12, false, false},
    {9, 11, false, false},
    {10, 10, false, false},
    {11, 28, false, false},
    {50, 18, true, false},
}};

bool HasOwnFace(int index) {
    return index == 0 || index == 2 || index == 15;
}

} // namespace

std::string TypefaceFor(int index, std::string_view simplifiedChinese) {
    switch (index) {
    case 0:
        return std::string(simplifiedChinese.empty() ? kSimplifiedChineseFallback : simplifiedChinese);
    case 2:
        return std::string(kTraditionalChineseFace);
    case 15:
        return std::string(kThaiFace);
    default:
        return std::string(kBrandFace);
    }
}

std::optional<std::string> TypefaceChange(int index, int current, std::string_view simplifiedChinese) {
    if (HasOwnFace(index) || HasOwnFace(current) || current == -1) {
        return TypefaceFor(index, simplifiedChinese);
    }
    return std::nullopt;
}

std::span<const FontSetEntry> LanguageFontSet() {
    return kFontSet;
}

void ApplyFontSet(ui::Window& window, const std::string& family) {
    window.RemoveAllFonts();
    for (const FontSetEntry& entry : kFontSet) {
        if (entry.id >= 0) {
            window.AddFont(entry.id,
                           ui::FontInfo{family, entry.pixelSize, entry.bold, entry.underline, false});
        }
    }
    const FontSetEntry& base = kFontSet.front();
    window.SetDefaultFont(ui::FontInfo{family, base.pixelSize, base.bold, base.underline, false});
}

void CopyFontSet(const ui::Window& from, ui::Window& to) {
    to.RemoveAllFonts();
    for (const FontSetEntry& entry : kFontSet) {
        if (entry.id < 0) {
            to.SetDefaultFont(from.DefaultFont());
        } else if (const std::optional<ui::FontInfo> font = from.Font(entry.id)) {
            to.AddFont(entry.id, *font);
        }
    }
}

} // namespace velkor
