#pragma once
// CLightControlUI: a device's lighting panel, the container built from
// "XML\CustomControlXML\LightControl.xml" inside the device page's
// "LightSetControlUI". It shows the device's mode list and light record and
// switches its control groups by (device kind, mode) (LightRulesFor).
//
// Named controls are looked up inside the panel on first use and kept; a
// missing control makes its getter return the neutral value (-1 for combos,
// 0 for sliders, checks and preset colours, 0xFF000000 for the palette) and
// its setter do nothing.
//
// The mode combo holds one row per visible mode: the toolkits cannot hide a
// single row, so hidden modes get no row. Mode numbers stay the positions in
// the device's mode list; a hidden mode can still be selected (by a profile or
// a game event), the combo then shows no row and CurrentMode still reports it.
//
// The palette keeps its selected colour as its background colour.
//
// Every operation runs on the user-interface thread. The panel's window must
// outlive this object.
#include "devices/DeviceModels.h"
#include "lighting/CAudioRecordUI.h"
#include "lighting/LightModel.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkor {

namespace ui {
class Control;
}

class CLightControlUI {
public:
    // The control class the layouts write, the class name the panel reports,
    // the page's name for it and its layout.
    static constexpr std::string_view kControlClass = "LightControl";
    static constexpr std::string_view kRegisteredClass = "CLightControlUI";
    static constexpr std::string_view kItemName = "LightSetControlUI";
    static constexpr std::string_view kLayout = "XML\\CustomControlXML\\LightControl.xml";
    static constexpr std::string_view kPresetPrefix = "color_option_";
    static constexpr uint32_t kMissingPaletteColour = 0xFF000000u;

    // `panel` is the container the layout was built into (or its top control).
    explicit CLightControlUI(ui::Control& panel) : m_panel(panel) {}
    CLightControlUI(const CLightControlUI&) = delete;
    CLightControlUI& operator=(const CLightControlUI&) = delete;

    ui::Control& Panel() const { return m_panel; }

    // Stored; every enabling decision uses it.
    void SetDeviceKind(DeviceClass kind) { m_deviceKind = kind; }
    DeviceClass DeviceKind() const { return m_deviceKind; }

    // Empties the mode combo and adds one row per mode whose flag is not 0
    // (text and user data = the name, a language key); then sets the maximum
    // of the brightness and speed sliders (minimum 0). A missing flag counts as visible.
    void FillModeList(const std::vector<std::string>& names, const std::vector<int32_t>& visible,
                      int brightnessMax, int speedMax);
    // Mode, brightness, speed, colour edits, palette and swatch, 7-colour
    // check, ZZCC combo, direction checks, then the enabling rules of the current mode.
    void ShowLightInfo(const LightInfoRecord& record);
    // Selects the mode's row without an event and applies the enabling rules for it.
    void SelectMode(int mode);
    // Applies the enabling rules of (device kind, mode); the groups they
    // disable are hidden too and the shown bands close up.
    void ApplyRules(int mode);

    // Getters (neutral values when a control is missing).
    int CurrentMode();
    int Brightness();
    int Speed();
    // The palette's selected colour (0xFF000000 without a palette).
    uint32_t PaletteColour();
    bool SevenColor();
    int ZzccIndex();
    int CustomGroupIndex();
    // Background colour of "color_option_" + n; 0 when it does not exist.
    uint32_t PresetColour(int n);
    // The mode of a row of the mode combo; -1 outside the rows.
    int ModeOfRow(int row) const;
    // The row of a mode; -1 when the mode is hidden or outside the list.
    int RowOfMode(int mode) const;

    // Setters (nothing when the control is missing). None raises a notification.
    void SetBrightness(int value);
    void SetSpeed(int value);
    void SetSevenColor(bool on);
    void SetDirection(bool left);
    void SetZzccIndex(int index);
    void SetCustomGroupIndex(int n);
    // The three edits show the values ("%d").
    void ShowColourEdits(uint8_t red, uint8_t green, uint8_t blue);
    void SetPaletteColour(uint32_t argb);
    void SetSwatchColour(uint32_t argb);
    // The edit of channel 0, 1 or 2 (red, green, blue); null when missing.
    ui::Control* ColourEdit(int channel);

    // The audio page's waveform; null when the layout has none.
    CAudioRecordUI* Waveform();

    // Stores the flag and re-applies the enabling rules of the current mode.
    void SetSameModeAllowed(bool allowed);
    bool SameModeAllowed() const { return m_sameModeAllowed; }

    // Control names.
    static constexpr std::string_view kModeCombo = "light_combo_modeSelect";
    static constexpr std::string_view kCustomCombo = "light_combo_custommodeSelect";
    static constexpr std::string_view kZzccCombo = "light_combo_ZZCCmodeSelect";
    static constexpr std::string_view kAudioCombo = "light_combo_audiomodeSelect";
    static constexpr std::string_view kBrightnessSlider = "deng_light_slider";
    static constexpr std::string_view kSpeedSlider = "deng_speed_slider";
    static constexpr std::string_view kEditRed = "deng_edit_R";
    static constexpr std::string_view kEditGreen = "deng_edit_G";
    static constexpr std::string_view kEditBlue = "deng_edit_B";
    static constexpr std::string_view kPalette = "deng_Color_Pallet";
    static constexpr std::string_view kSwatch = "deng_colordp_btn";
    static constexpr std::string_view kSevenColorCheck = "deng_7color_check";
    static constexpr std::string_view kLeftCheck = "deng_FXL_check";
    static constexpr std::string_view kRightCheck = "deng_FXR_check";
    static constexpr std::string_view kSameModeButton = "deng_same_mode";
    static constexpr std::string_view kEffectLayout = "lighteffect_layout";
    static constexpr std::string_view kColourLayout = "deng_color_layout";
    static constexpr std::string_view kPaletteLayout = "colorpallet_layout";
    static constexpr std::string_view kBrightnessLayout = "deng_light_layout";
    static constexpr std::string_view kSpeedLayout = "deng_speed_layout";
    static constexpr std::string_view kDirectionLayout = "deng_fx_layout";
    static constexpr std::string_view kColourTabLayout = "light_color_layout";
    static constexpr std::string_view kCustomLayout = "lightcustom_layout";
    static constexpr std::string_view kZzccLayout = "light_combo_ZZCCmodeSelectLayout";
    static constexpr std::string_view kAudioLayout = "light_combo_AudiomodeSelectLayout";
    static constexpr std::string_view kColourPages = "light_color_tablayout";

private:
    enum Slot : size_t {
        kSlotModeCombo,
        kSlotCustomCombo,
        kSlotZzccCombo,
        kSlotBrightnessSlider,
        kSlotSpeedSlider,
        kSlotEditRed,
        kSlotEditGreen,
        kSlotEditBlue,
        kSlotPalette,
        kSlotSwatch,
        kSlotSevenColor,
        kSlotLeft,
        kSlotRight,
        kSlotSameMode,
        kSlotEffectLayout,
        kSlotColourLayout,
        kSlotPaletteLayout,
        kSlotBrightnessLayout,
        kSlotSpeedLayout,
        kSlotDirectionLayout,
        kSlotColourTabLayout,
        kSlotCustomLayout,
        kSlotZzccLayout,
        kSlotAudioLayout,
        kSlotColourPages,
        kSlotCount,
    };
    // The control of a slot, found inside the panel on first use; null when missing.
    ui::Control* Find(Slot slot);
    void Enable(Slot slot, bool on);
    void Show(Slot slot, bool on);
    void SetText(Slot slot, std::string_view key);
    int ComboIndex(Slot slot);
    // Shows the groups the last rules enable (and the fixed colour only when
    // the colours do not cycle) and stacks the shown bands without gaps.
    void ShowWhatApplies();
    void StackBands(std::span<const std::pair<Slot, bool>> bands, bool fixedColourShown);
    int SliderValue(Slot slot);

    ui::Control& m_panel;
    DeviceClass m_deviceKind = DeviceClass::None;
    bool m_sameModeAllowed = false;
    // Mode number of each combo row.
    std::vector<int> m_rowModes;
    int m_modeCount = 0;
    // A hidden mode that is selected (it has no row); -1 when none.
    int m_hiddenMode = -1;
    std::array<ui::Control*, kSlotCount> m_controls{};
    LightGroupRules m_rules;
    int m_firstBandTop = -1; // the effect row's top in the layout, read once
    std::unique_ptr<CAudioRecordUI> m_waveform;
};

} // namespace velkor
