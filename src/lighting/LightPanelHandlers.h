#pragma once
// What the lighting panel's controls do to a device: each handler reads the
// device's light record, changes what the control stands for, and commits it
// (SetLightInfo, save the profile, ApplyLightState, SendSettings), keeping the
// panel in step. The synchronised-lighting flag is cleared by every change
// except a preset colour, the ZZCC sub-effect and a custom group.
//
// Every handler runs on the user-interface thread.
#include "devices/DeviceLinks.h"
#include "lighting/LightCommit.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velkor {

namespace ui {
class Control;
class Toolkit;
} // namespace ui
class CTolvanicUSBDevice;
class CLightControlUI;

// The value a colour edit stands for and the text it must show afterwards.
struct ColourEditValue {
    uint8_t value = 0;
    // The text to write back; nothing when the edit keeps what was typed.
    std::optional<std::string> rewrite;
};
// Leading decimal digits (after blanks) give the value; above 255 becomes 255
// shown "255"; empty (or blank) becomes 0 shown "0"; a minus sign before
// digits becomes 0 shown "0"; text without leading digits is 0 as typed.
ColourEditValue ParseColourEdit(std::string_view text);

// Sets a device's panel up: the device's kind, its mode list (the sliders'
// maxima 4 and 4) and its current light record.
void PrepareLightPanel(CLightControlUI& panel, const CTolvanicUSBDevice& device);
class LightPanelHandlers {
public:
    explicit LightPanelHandlers(const ScreenSize& screen) : m_screen(screen) {}

    // "itemselect" of the mode combo: the mode of the chosen row.
    void ModeChosen(CTolvanicUSBDevice& device, CLightControlUI& panel);
    // "valuechanged" of the brightness or speed slider.
    void BrightnessChanged(CTolvanicUSBDevice& device, CLightControlUI& panel);
    void SpeedChanged(CTolvanicUSBDevice& device, CLightControlUI& panel);
    // "killfocus" of the colour edit of channel 0, 1, 2 (red, green, blue).
    void ColourEditDone(CTolvanicUSBDevice& device, CLightControlUI& panel, int channel);
    // "colorchanged" of the palette with the colour picked (0xAARRGGBB).
    void PaletteColourChanged(CTolvanicUSBDevice& device, CLightControlUI& panel, uint32_t colour);
    // "click" of "color_option_" + n.
    void PresetColourChosen(CTolvanicUSBDevice& device, CLightControlUI& panel, int n);
    // "selectchanged" of the 7-colour check.
    void SevenColorChanged(CTolvanicUSBDevice& device, CLightControlUI& panel);
    // "selectchanged" of a direction check: left for deng_FXL_check.
    void DirectionChosen(CTolvanicUSBDevice& device, CLightControlUI& panel, bool left);
    // Keyboards only: "itemselect" of the ZZCC and the custom-group combos.
    void ZzccChosen(CTolvanicUSBDevice& device, CLightControlUI& panel);
    void CustomGroupChosen(CTolvanicUSBDevice& device, CLightControlUI& panel,
                           KeyboardLightingLink* keyboard);
    // Keyboards only: "custom_bright_color_btn" (lit) and "custom_off_color_btn".
    void PerKeyBrushChosen(CTolvanicUSBDevice& device, bool lit, KeyboardLightingLink* keyboard);

    const ScreenSize& Screen() const { return m_screen; }

private:
    // Bytes 5..7 = colour, byte 4 = 0, stored and applied; the edits show it and the 7-colour check clears.
    LightInfoRecord ApplyColour(CTolvanicUSBDevice& device, CLightControlUI& panel, uint32_t colour,
                                bool leaveSynchronised);

    ScreenSize m_screen;
};

} // namespace velkor
