#pragma once
// The headset's two panels: the audio panel CVoice6533ControlUI (equaliser
// presets, ten band sliders, custom presets, microphone, monitoring) and the
// voice-changer panel CMagicControlUI.
//
// Both hold nothing of their own beyond their controls. Named controls are
// found inside the panel on first use and kept; a missing control makes its
// getter return -1 (sliders, selected index), 0 (counts, options) or an empty
// text, and its setter do nothing. No operation raises a notification.
// User-interface thread; the panel's window must outlive the object.
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

namespace ui {
class Control;
class ListControl;
} // namespace ui

struct HeadsetView;

class CVoice6533ControlUI {
public:
    static constexpr std::string_view kControlClass = "Voice6533Control";
    static constexpr std::string_view kItemName = "Voice6533SetControlUI";
    static constexpr std::string_view kLayout = "XML\\CustomControlXML\\Voice6533Control.xml";
    static constexpr int kEqOptions = 13;
    static constexpr int kBands = 10;

    explicit CVoice6533ControlUI(ui::Control& panel) : m_panel(panel) {}
    CVoice6533ControlUI(const CVoice6533ControlUI&) = delete;
    CVoice6533ControlUI& operator=(const CVoice6533ControlUI&) = delete;

    ui::Control& Panel() const { return m_panel; }

    // Unselects options 1..13, then selects option `type` when it is 1..13;
    // remembers `type` (0 for any other value).
    void ShowEqOption(int type);
    int EqOption() const { return m_eqOption; }
    void EnableCustomSection(bool on);
    // The slider's tip shows the gain in dB (a step is 0.5 dB).
    void SetBand(int band, int value);
    int Band(int band);
    void SetMicLevel(int value);
    int MicLevel();
    void SetMicOption(bool on);
    bool MicOption();
    void SetMonitorLevel(int value);
    int MonitorLevel();
    void SetMonitorOption(bool on);
    bool MonitorOption();

    // The custom preset list. Names are shown as they are, never as language keys.
    void AddCustomName(std::string_view name);
    void RemoveCustomAt(int index);
    void RemoveAllCustom();
    int CustomCount();
    std::string CustomNameAt(int index);
    int SelectedCustom();
    // Selects row `index` and empties the name field.
    void SelectCustom(int index);
    std::string NameField();
    void SetNameField(std::string_view text);

    // What `view` holds, shown; and what the controls show, read into `view`.
    void Show(const HeadsetView& view);
    void Read(HeadsetView& view);

private:
    ui::Control* Find(ui::Control*& cache, std::string_view name);
    ui::Control* EqOptionControl(int type);
    // The combo of custom equaliser names, null when absent.
    ui::ListControl* NameCombo();
    ui::Control* BandSlider(int band);
    // The slider's tip: its gain in decibels.
    static void ShowGain(ui::Control& slider);

    ui::Control& m_panel;
    int m_eqOption = 0;
    std::array<ui::Control*, kEqOptions> m_eqOptions{};
    std::array<ui::Control*, kBands> m_bands{};
    ui::Control* m_custom = nullptr;
    ui::Control* m_combo = nullptr;
    ui::Control* m_edit = nullptr;
    ui::Control* m_micOption = nullptr;
    ui::Control* m_micSlider = nullptr;
    ui::Control* m_monitorOption = nullptr;
    ui::Control* m_monitorSlider = nullptr;
};

class CMagicControlUI {
public:
    static constexpr std::string_view kControlClass = "MagicControl";
    static constexpr std::string_view kItemName = "MagicSetControlUI";
    static constexpr std::string_view kLayout = "XML\\CustomControlXML\\MagicControl.xml";
    static constexpr int kVoices = 4;

    explicit CMagicControlUI(ui::Control& panel) : m_panel(panel) {}
    CMagicControlUI(const CMagicControlUI&) = delete;
    CMagicControlUI& operator=(const CMagicControlUI&) = delete;

    ui::Control& Panel() const { return m_panel; }

    bool Enabled();
    // Selects the enable option and enables the voices with it.
    void SetEnabled(bool on);
    void EnableVoices(bool on);
    // Unselects voices 1..4, then selects voice `voice` when it is 1..4;
    // remembers it (0 otherwise).
    void ShowVoice(int voice);
    int Voice() const { return m_voice; }

    void Show(const HeadsetView& view);
    void Read(HeadsetView& view);

private:
    ui::Control* Find(ui::Control*& cache, std::string_view name);

    ui::Control& m_panel;
    int m_voice = 0;
    ui::Control* m_enable = nullptr;
    ui::Control* m_voiceLayout = nullptr;
    std::array<ui::Control*, kVoices> m_voices{};
};

} // namespace velkor
