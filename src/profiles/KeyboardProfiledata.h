#pragma once
// CKeyboardProfiledata: the keyboard's sections on top of the common ones:
// "SystemStages" (keyboard options) and "CustomLightMode" (the colour groups
// of the user's per-key lighting).
#include "profiles/BasicProfiledata.h"

#include <cstdint>
#include <vector>

namespace velkor {

class CKeyboardProfiledata : public CBasicProfiledata {
public:
    // Bounds for the colour-group calls. Group indices and colour counts come
    // from files, and each filled-in colour grows the document, so larger
    // requests are refused instead of building huge arrays.
    static constexpr int32_t kMaxColourGroups = 64;
    static constexpr int32_t kMaxColoursPerGroup = 1024;

    // "SystemStages": all zeros when absent or malformed. Member-wise writer.
    KeyboardSystemRecord ReadKeyboardSystem();
    void WriteKeyboardSystem(const KeyboardSystemRecord& record);

    // `count` colours of "CustomLightMode"."LightColorInfo"[group]. A colour
    // that is missing (or malformed) reads as 0,0,0,0 and is written into the
    // active document as such, creating the group when needed, so the next
    // save stores a complete group. The result becomes the colour-list member.
    // Empty, with nothing changed, when group or count is out of bounds.
    std::vector<RgbaColour> ReadCustomColors(int32_t group, int32_t count);
    // Stores the list as the member and writes colour j into element j of the
    // group (other members of each colour object survive). False, with nothing
    // changed, when the group or the list size is out of bounds.
    bool WriteCustomColors(int32_t group, const std::vector<RgbaColour>& colours);

    // "CustomLightMode"."CustomLightModeGroupIndex": 0 when absent or malformed.
    int32_t ReadCustomGroupIndex();
    void WriteCustomGroupIndex(int32_t group);

    const std::vector<RgbaColour>& CustomColors() const { return m_colours; }

private:
    KeyboardSystemRecord m_system;
    std::vector<RgbaColour> m_colours;
    int32_t m_colourGroup = 0;
};

} // namespace velkor
