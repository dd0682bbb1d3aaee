#pragma once
// CSkinFrame: the skin window ("skinframe", layout "skin.xml"), a frameless
// pop-up on top of the main window without a task-bar entry, placed with its
// top right corner at the bottom right corner of the skin button. It closes
// when it loses the focus (a click elsewhere).
//
// Clicks: a picture ("skin_image_btn", its user data) or the default picture
// ("skin_reset") is announced and recorded in "main.ini"; a colour
// ("skin_color_btn", its background colour) or the user's own PNG file
// ("skin_Custom") is announced only; "skin_image" and "skin_color" show the
// pictures (page 0) or the colours (page 1) of "skin_tab". User-interface
// thread only.
#include "app/SkinChange.h"
#include "ui/Prompts.h"
#include "ui/Toolkit.h"

#include <memory>
#include <string>
#include <string_view>

namespace velkor {

struct SkinFrameServices {
    ui::Toolkit& toolkit;
    SkinChangeSubject& subject;
    // Asks for the user's own picture.
    ui::UserPrompts& prompts;
    // "main.ini" in the user base folder; empty: pictures are not recorded.
    std::string iniPath;
};

// Where the window of `size` goes: its top right corner at the bottom right
// corner of `button` (screen rectangles).
ui::Rect SkinFrameRect(const ui::Rect& button, const ui::Rect& size);

class CSkinFrame final : public ui::WindowHandler {
public:
    static constexpr std::string_view kClassName = "skinframe";
    static constexpr std::string_view kLayout = "skin.xml";
    static constexpr std::string_view kTabs = "skin_tab";

    explicit CSkinFrame(const SkinFrameServices& services);
    ~CSkinFrame() override;
    CSkinFrame(const CSkinFrame&) = delete;
    CSkinFrame& operator=(const CSkinFrame&) = delete;

    // Builds the window owned by `owner` at `owner`'s DPI and shows it beside
    // `button`. False with `error` set when the layout cannot be built.
    bool Open(ui::Window& owner, const ui::Control& button, std::string* error = nullptr);
    bool IsOpen() const { return m_window && m_window->IsVisible(); }
    void Close();
    ui::Window* GetWindow() const { return m_window.get(); }

    void Notify(const ui::Notification& notification) override;
    void ActiveChanged(ui::Window& window, bool active) override;

private:
    void Choose(const ui::Control& sender);
    void Announce(SkinChangedParam param, bool record, bool chosen);

    SkinFrameServices m_services;
    std::unique_ptr<ui::Window> m_window;
};

} // namespace velkor
