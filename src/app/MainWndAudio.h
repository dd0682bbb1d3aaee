#pragma once
// The main window's audio-reactive lighting: the audio part of the lighting
// panels and its handlers, the capture tool's four styles ("AudioFile.json")
// with their window MusicWnd, and the waveforms fed with the tool's frames.
// What goes to the capture tool goes through an AudioToolSender, which the
// link with the tool supplies (none: everything is dropped).
// User-interface thread only.
#include "lighting/AudioPanelRouter.h"
#include "lighting/AudioStyles.h"
#include "lighting/AudioToolSender.h"
#include "lighting/MusicWnd.h"

#include <functional>
#include <optional>
#include <span>
#include <string>

namespace velkor {

class MainWndAudio {
public:
    struct Setup {
        ui::Toolkit& toolkit;
        ui::Window& window; // owns MusicWnd
        const TickClock& clock;
        const LightPanels& panels;
        std::function<CTolvanicUSBDevice*()> selectedDevice;
        std::string programFolder;
        std::string dataHome;
        std::function<int()> dpi; // the window's scale for MusicWnd (empty: 96)
    };
    // Everything referenced must outlive the object.
    explicit MainWndAudio(Setup setup);
    MainWndAudio(const MainWndAudio&) = delete;
    MainWndAudio& operator=(const MainWndAudio&) = delete;

    // The link with the capture tool; null sends nothing. Must outlive its use here.
    void SetTool(AudioToolSender* tool) { m_tool = tool != nullptr ? tool : &m_noTool; }
    // Reads the styles (a missing or damaged user file is replaced by the
    // default one) and sends the selected style's colour to the tool.
    void LoadStyles();
    // The profile bar's reset: the default file replaces the user's and the styles are read from it.
    void ResetStyles();
    // Sends the selected style's colour.
    void SendStyleColour();
    // Opens MusicWnd modally (nothing while it is open); on OK the edited
    // styles are taken, their colour sent and the file saved.
    void OpenMusicSettings();
    // Closes an open MusicWnd without taking anything.
    void CloseMusicSettings();
    MusicWnd* OpenMusicWindow() const { return m_music; }

    // A notification of an audio control; true when taken.
    bool Route(const ui::Notification& notification) { return m_router.Route(notification); }
    // What the capture tool does, on every audio page's status line: the
    // language text `key` ("" none), its "%d" replaced by `number` when given.
    void ShowToolStatus(std::string_view key, std::optional<int> number, const ui::TextProvider* texts);
    // One audio frame (copy-data id 1) for the panels' waveforms.
    void ShowFrame(std::span<const uint8_t> bytes);

    const AudioStyleFile& Styles() const { return m_styles; }

private:
    Setup m_setup;
    NoAudioTool m_noTool;
    AudioToolSender* m_tool = &m_noTool;
    // Forwards to whichever sender is current.
    class ToolForwarder final : public AudioToolSender {
    public:
        explicit ToolForwarder(AudioToolSender*& tool) : m_tool(tool) {}
        void SendParameter(int32_t parameter, int32_t value) override {
            m_tool->SendParameter(parameter, value);
        }
        void SendStyleColour(int32_t red, int32_t green, int32_t blue) override {
            m_tool->SendStyleColour(red, green, blue);
        }

    private:
        AudioToolSender*& m_tool;
    };
    ToolForwarder m_forwarder{m_tool};
    AudioStyleFile m_styles;
    AudioPanelRouter m_router;
    MusicWnd* m_music = nullptr;
};

} // namespace velkor
