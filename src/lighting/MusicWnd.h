#pragma once
// The audio capture tool's style window (window class "MusicWnd", layout
// "music.xml", title of two spaces, 369 x 276 at 96 DPI): four style tabs
// "audio_select_tab1".."audio_select_tab4", the style's colour levels on the
// sliders "audio_r_slider", "audio_g_slider", "audio_b_slider" (0..9), the
// names in "audio_edit_name1".."audio_edit_name4", "okbtn" and "closebtn".
//
// It edits a copy of the record it is given; the caller takes Record() when
// Run returned kResultOk. An emptied name becomes the style's default name,
// which the edit then shows. Modal, one at a time. User-interface thread only.
#include "lighting/AudioStyles.h"
#include "ui/Toolkit.h"

#include <memory>
#include <string_view>

namespace velkor {

class MusicWnd final : public ui::WindowHandler {
public:
    static constexpr std::string_view kClassName = "MusicWnd";
    static constexpr std::string_view kLayout = "music.xml";
    static constexpr std::string_view kTitle = "  ";
    static constexpr int kWidth = 369;
    static constexpr int kHeight = 276;
    static constexpr int kResultOk = 1;
    static constexpr int kResultClosed = 0;
    static constexpr int kTimer = 1;

    explicit MusicWnd(ui::Toolkit& toolkit) : m_toolkit(toolkit) {}
    MusicWnd(const MusicWnd&) = delete;
    MusicWnd& operator=(const MusicWnd&) = delete;

    // Builds the hidden window owned by `owner` (may be null). False with `error` set when it cannot.
    bool Create(ui::Window* owner, std::string* error = nullptr);
    // Shows `record`: slider ranges 0..9, the style's tab and colour, the names; applies `dpi`.
    void Prepare(const AudioStyleRecord& record, int dpi);
    // Centres the window on its owner, runs it modally and returns how it closed.
    int Run();
    void Close(int code);

    const AudioStyleRecord& Record() const { return m_record; }
    ui::Window* GetWindow() const { return m_window.get(); }

    void Notify(const ui::Notification& notification) override;

private:
    ui::Control* Find(std::string_view name) const;
    void ShowColour();
    void NameDone(ui::Control& edit, int style);

    ui::Toolkit& m_toolkit;
    std::unique_ptr<ui::Window> m_window;
    AudioStyleRecord m_record;
};

} // namespace velkor
