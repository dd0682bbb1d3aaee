#pragma once
// The audio part of the lighting panel: routes the main window's
// notifications of its controls to what they do to the selected device.
//   itemselect     "light_combo_audiomodeSelect"
//   selectchanged  "deng_7audiocolor_check", "audio_BkColor_check", "audio_FgColor_check"
//   colorchanged   "deng_audioColor_Pallet" (wParam: the colour picked)
//   killfocus      "deng_audioedit_R", "deng_audioedit_G", "deng_audioedit_B"
//   click          "audiocolor_option_" + n, "Close_bkColor_btn", "music_setting_btn"
//   valuechanged   "R_light_slider", "G_light_slider", "B_light_slider"
// Every change reads the controls into the record's words, changes what the
// control stands for and commits them: SetAudioLightValues (which shows them
// again), the profile saved, ApplyLightState. The sliders belong to the
// capture tool: their labels show "R %d" and the value goes to the tool.
// Nothing happens without a selected device whose panel holds the sender.
// User-interface thread only.
#include "lighting/AudioLightControls.h"
#include "lighting/AudioToolSender.h"
#include "lighting/LightCommit.h"
#include "ui/Notification.h"

#include <functional>
#include <string_view>

namespace velkor {

class CTolvanicUSBDevice;

class AudioPanelRouter {
public:
    using SelectedDeviceFn = std::function<CTolvanicUSBDevice*()>;

    // Everything given must outlive the router. `openMusicSettings` opens the
    // styles window (may be empty).
    AudioPanelRouter(const LightPanels& panels, SelectedDeviceFn selectedDevice, AudioToolSender& tool,
                     std::function<void()> openMusicSettings)
        : m_panels(panels), m_selectedDevice(std::move(selectedDevice)), m_tool(tool),
          m_openMusicSettings(std::move(openMusicSettings)) {}

    // True when the notification was one of the audio part's and was handled.
    bool Route(const ui::Notification& notification);
    static bool IsAudioNotification(std::string_view type, std::string_view name);

private:
    // How a change builds on the controls: whether the swatch colour is taken first.
    enum class Swatch { Take, Leave };
    void Commit(CTolvanicUSBDevice& device, AudioLightControls& controls, Swatch swatch,
                const std::function<void(AudioLightWords&)>& change);
    void ColourChosen(CTolvanicUSBDevice& device, AudioLightControls& controls, uint32_t colour);
    void EditDone(CTolvanicUSBDevice& device, AudioLightControls& controls, int channel);
    void ToolSliderMoved(ui::Control& slider, int channel);

    const LightPanels& m_panels;
    SelectedDeviceFn m_selectedDevice;
    AudioToolSender& m_tool;
    std::function<void()> m_openMusicSettings;
};

} // namespace velkor
