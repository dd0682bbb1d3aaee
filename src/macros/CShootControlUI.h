#pragma once
// CShootControlUI: the mouse's recoil panel, the container built from
// "XML\CustomControlXML\ShootControl.xml" (class "ShootControl") that the
// mouse page names "ShootControlItem". It edits the four recoil files of the
// user data folder (RecoilFiles.h) one bullet at a time and keeps only the
// selection: what it shows is read from the files.
//
// The bullet shown is written back to its file (CommitShownBullet) before
// another bullet or gun is shown, so a tick or a typed value is never lost by
// switching; showing a bullet never writes.
//
// User-interface thread; the panel's window must outlive this object.
#include "macros/RecoilFiles.h"
#include "platform/JsonFileHelper.h"

#include <array>
#include <string>
#include <string_view>

namespace velkor {

namespace ui {
class Control;
class PageControl;
class SelectableControl;
} // namespace ui

// Why the last operation did nothing (None after a success).
enum class ShootFailure {
    None,
    NoDefault,     // a reset without a default file; the user's file is unchanged
    NotShootFile,  // an import that is not a JSON object with an "Events" array
    TooManyEvents, // an import of more than 30 bullets
    WriteFailed,   // a file could not be written or read; nothing changed
};

class CShootControlUI {
public:
    static constexpr std::string_view kControlClass = "ShootControl";
    static constexpr std::string_view kRegisteredClass = "CShootControlUI";
    static constexpr std::string_view kLayout = "XML\\CustomControlXML\\ShootControl.xml";
    static constexpr std::string_view kPageItemName = "ShootControlItem";
    static constexpr std::string_view kLeftText = "mouse_move_to_left_text";
    static constexpr std::string_view kRightText = "mouse_move_to_right_text";
    static constexpr std::string_view kUpText = "mouse_move_to_up_text";
    static constexpr std::string_view kDownText = "mouse_move_to_down_text";
    // An import larger than this is not read.
    static constexpr std::size_t kMaxImportBytes = 1 << 20;

    explicit CShootControlUI(ui::Control& panel) : m_panel(panel) {}

    ui::Control& Panel() const { return m_panel; }

    // Folders end in '/' (one is added when missing).
    void SetUserFolder(std::string folder);
    void SetDefaultFolder(std::string folder);
    std::string UserFile(int gun) const { return RecoilFilePath(m_userFolder, gun); }
    std::string DefaultFile(int gun) const { return RecoilFilePath(m_defaultFolder, gun); }

    // Finds the controls, then restores every gun file that does not read as
    // JSON from its default.
    void InitShootPanel();
    // Commits the shown bullet, then selects gun `g` (clamped to 0..3) and its picture.
    void SelectGun(int gun);
    // Commits the shown bullet, then selects bullet `b` (clamped to 0..29),
    // shows its number from 1 and shows it.
    void SelectBullet(int bullet);
    void PreviousBullet() { SelectBullet(m_bullet - 1); }
    void NextBullet() { SelectBullet(m_bullet + 1); }
    // Fills the edits and checks from the selected gun's file; writes nothing.
    void ShowBullet();
    // Gives "bullet_x_check" or "bullet_y_check" the text of its state.
    void UpdateDirectionText(std::string_view check);
    // Writes the shown bullet into the selected gun's file: the edits as
    // decimal numbers (anything else 0) limited to what the mouse holds, which
    // the edits then show. A missing or damaged file starts from its default.
    bool SaveBullet();
    // SaveBullet when the edits or checks differ from the file (the shown
    // bullet's values as the file holds them); true when nothing had to be written.
    bool CommitShownBullet();
    // The default file over the user's file of `gun`, then the bullet is shown
    // again. Without a readable default the user's file stays (NoDefault).
    bool ResetGun(int gun);
    // Copies `path` byte for byte over the selected gun's file, atomically,
    // when it is a JSON object whose "Events" array holds at most 180 events.
    bool ImportGun(const std::string& path);
    // Copies the selected gun's file byte for byte to `path`.
    bool ExportGun(const std::string& path);

    int SelectedGun() const { return m_gun; }
    int SelectedBullet() const { return m_bullet; }
    ShootFailure LastFailure() const { return m_lastFailure; }

private:
    ui::Control* Child(std::string_view name) const;
    // The bullet the edits and checks show, limited as SaveBullet stores it.
    RecoilBullet ShownBullet() const;
    // The selected gun's document; a missing or damaged file gives its default's.
    Json::Value DocumentToEdit() const;
    bool Fail(ShootFailure failure);

    ui::Control& m_panel;
    CJsonFileHelper m_json;
    std::string m_userFolder;
    std::string m_defaultFolder;
    int m_gun = 0;
    int m_bullet = -1;
    // ShowBullet filled the edits: only then are they the shown bullet's.
    bool m_shown = false;
    std::array<ui::SelectableControl*, kRecoilGunCount> m_guns{};
    std::array<ui::SelectableControl*, kRecoilBulletCount> m_bullets{};
    ui::PageControl* m_pictures = nullptr;
    ui::Control* m_index = nullptr;
    ui::Control* m_xCheck = nullptr;
    ui::Control* m_yCheck = nullptr;
    ui::Control* m_xEdit = nullptr;
    ui::Control* m_yEdit = nullptr;
    ui::Control* m_delayEdit = nullptr;
    ShootFailure m_lastFailure = ShootFailure::None;
};

} // namespace velkor
