#pragma once
// The colour palette dialog (window class "ColorSelectWnd", layout
// "PalletDialog.xml", title "PalletDialog", 800 x 572 at 96 DPI): a colour
// field "Pallet", decimal edits "color_edit_r"/"_g"/"_b", the swatch
// "color_show_btn", twenty presets "color_option_" + n and twenty collected
// slots "collect_color_option_" + n that keep the user's colours in
// "color_option_info.config" (ColourOptionFile), and the multicolour option
// "7color" in "7color_layout", which the DPI-stage question hides.
//
// Modal, opened by the main window, one at a time; it owns nothing of the
// caller's. What it promises:
// - opening and closing without a choice writes nothing;
// - a colour stored into a collected slot is on disk when the dialog has
//   closed; while the palette is dragged the file is written at most once
//   every kSaveGapMs (one pending save), never once per pointer move;
// - each typed channel is 0..255 (above: 255, empty or not a number: 0), so a
//   channel never spills into its neighbour or the alpha byte.
// User-interface thread only.
#include "devices/DeviceLinks.h"
#include "lighting/ColourOptionFile.h"
#include "ui/Toolkit.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velkor {

class CColorSelectWnd final : public ui::WindowHandler {
public:
    static constexpr std::string_view kClassName = "ColorSelectWnd";
    static constexpr std::string_view kLayout = "PalletDialog.xml";
    static constexpr std::string_view kTitle = "PalletDialog";
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 572;
    // How the dialog closed: the colour was confirmed, it was cancelled, or
    // "okbtn" found no palette (callers treat that as cancelled).
    static constexpr int kResultChosen = 1;
    static constexpr int kResultCancelled = 0;
    static constexpr int kResultNoPalette = 2;
    static constexpr int kSaveGapMs = 250;
    static constexpr int kTimerSave = 1;
    static constexpr std::string_view kMulticolourImage = "common/base1.png";

    // The toolkit and the clock must outlive the dialog.
    CColorSelectWnd(ui::Toolkit& toolkit, const TickClock& clock, ColourOptionFile file)
        : m_toolkit(toolkit), m_clock(clock), m_file(std::move(file)) {}
    // A save still pending is written.
    ~CColorSelectWnd() override;
    CColorSelectWnd(const CColorSelectWnd&) = delete;
    CColorSelectWnd& operator=(const CColorSelectWnd&) = delete;

    // Builds the hidden dialog owned by `owner` (may be null). False with
    // `error` set when the layout cannot be built.
    bool Create(ui::Window* owner, std::string* error = nullptr);
    // Reads the file and selects its preset and slot (raising nothing), applies
    // `dpi` (48..192 in steps of 24, else a trace and 96), shows `initial`
    // (0xAARRGGBB) and hides the multicolour option.
    void Prepare(uint32_t initial, int dpi);
    // Centres the dialog on its owner, runs it modally and returns how it
    // closed (-1 when the program's loop ended first); the pending save is written.
    int Run();
    // Closes a running dialog with `code` (the main window's close of its secondary windows).
    void Close(int code);

    // The swatch's colour when "okbtn" was clicked.
    uint32_t ResultColour() const { return m_result; }
    uint32_t CurrentColour() const { return m_current; }
    bool Multicolour() const { return m_multicolour; }
    int SelectedPreset() const { return m_preset; }
    int SelectedSlot() const { return m_slot; }
    ui::Window* GetWindow() const { return m_window.get(); }
    const ColourOptionFile& File() const { return m_file; }

    void Notify(const ui::Notification& notification) override;
    // A display scale change: the same rule as Prepare's.
    void DpiChanged(ui::Window& window, int suggestedDpi) override;

private:
    ui::Control* Find(std::string_view name) const;
    ui::Control* Preset(int n) const;
    ui::Control* Slot(int n) const;
    void Initialise();
    void ApplyDpi(int dpi);
    void SetColour(uint32_t argb);
    void ApplyColour();
    void ShowChannels(uint32_t argb);
    void ShowOnPalette(uint32_t argb);
    void ClearMulticolour();
    void OnClick(const ui::Control& sender);
    void OnSelect(ui::Control& sender);
    void PresetChosen(int n);
    void SlotChosen(int n);
    void PaletteMoved(uint32_t argb);
    void ChannelTyped();
    void ChannelDone(ui::Control& edit);
    // Marks sections to save: written now when the last write is kSaveGapMs
    // old, else when that much time has passed or the dialog closes.
    void RequestSave(bool presets, bool collected);
    void FlushSave();

    ui::Toolkit& m_toolkit;
    const TickClock& m_clock;
    ColourOptionFile m_file;
    std::unique_ptr<ui::Window> m_window;
    uint32_t m_current = 0xFF000000u;
    uint32_t m_result = 0;
    int m_preset = kInitialPreset;
    int m_slot = kInitialCollectedSlot;
    bool m_multicolour = false;
    int m_dpi = ui::kDefaultDpi;
    bool m_savePresets = false;
    bool m_saveCollected = false;
    bool m_saveTimer = false;
    bool m_wrote = false;
    uint32_t m_lastWriteMs = 0;
};

} // namespace velkor
