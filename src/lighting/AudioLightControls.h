#pragma once
// The audio part of a lighting panel (page 1 of "light_color_tablayout" and
// the style combo): shows a device's audio lighting record and reads the
// user's choices back as the record's three words.
//
// The record as three words: word 0 byte 0 the style, bytes 1..3 the
// background red, green, blue; word 1 bytes 0..2 the foreground, byte 3 the
// multicolour flag; word 2 byte 0 the target the colour controls edit (1
// foreground, 0 background).
//
// Controls are looked up inside the panel on every call (the panel may be
// rebuilt). A layout that lacks one makes Show and Read fail with a trace
// instead of showing or reading half a record. User-interface thread only.
#include "devices/DeviceLinks.h"

#include <cstdint>
#include <string_view>

namespace velkor {

namespace ui {
class Control;
}

// The record's fields by name.
struct AudioLightWords {
    uint8_t style = 0;
    uint32_t background = 0; // 0xRRGGBB
    uint32_t foreground = 0; // 0xRRGGBB
    bool multicolour = false;
    bool targetForeground = false;

    static AudioLightWords From(const AudioLightValues& values);
    AudioLightValues Values() const;
    uint32_t& TargetColour() { return targetForeground ? foreground : background; }
};

class AudioLightControls {
public:
    static constexpr std::string_view kCombo = "light_combo_audiomodeSelect";
    static constexpr std::string_view kBackgroundOption = "audio_BkColor_check";
    static constexpr std::string_view kForegroundOption = "audio_FgColor_check";
    static constexpr std::string_view kMulticolourCheck = "deng_7audiocolor_check";
    static constexpr std::string_view kPalette = "deng_audioColor_Pallet";
    static constexpr std::string_view kSwatch = "deng_audiocolordp_btn";
    static constexpr std::string_view kEdits[3] = {"deng_audioedit_R", "deng_audioedit_G",
                                                   "deng_audioedit_B"};
    static constexpr std::string_view kPresetPrefix = "audiocolor_option_";
    static constexpr std::string_view kClearBackground = "Close_bkColor_btn";
    static constexpr std::string_view kColourLayout = "light_audiocolor_layout";
    static constexpr std::string_view kPaletteLayout = "audiocolorpallet_layout";
    static constexpr std::string_view kMusicButton = "music_setting_btn";
    static constexpr std::string_view kToolSliders[3] = {"R_light_slider", "G_light_slider",
                                                         "B_light_slider"};
    static constexpr std::string_view kToolLabels[3] = {"R_light_label", "G_light_label", "B_light_label"};
    static constexpr uint8_t kRingsStyle = 3; // its colours come from the wheel: the colour controls are off
    static constexpr uint32_t kMissingPaletteColour = 0xFF000000u;

    // `panel` is the lighting panel's top control; it must outlive this object.
    explicit AudioLightControls(ui::Control& panel) : m_panel(panel) {}

    // Stores the words and shows them. False (traced, nothing shown) when
    // the style combo is missing.
    bool Show(const AudioLightValues& values);
    // The words the controls stand for, starting from the stored ones; with
    // `takeSwatch` the swatch's colour goes into the target colour. False
    // (traced, `out` untouched) when a control it reads is missing.
    bool Read(bool takeSwatch, AudioLightValues& out) const;
    const AudioLightValues& Stored() const { return m_values; }
    void SetStored(const AudioLightValues& values) { m_values = values; }

    // The palette's selected colour (0xFF000000 without a palette); a preset's
    // colour (0 when it does not exist); an edit by channel 0..2 (null when missing).
    uint32_t PaletteColour() const;
    uint32_t PresetColour(int n) const;
    ui::Control* Edit(int channel) const;

private:
    ui::Control* Find(std::string_view name) const;

    ui::Control& m_panel;
    AudioLightValues m_values{};
};

} // namespace velkor
