#pragma once
// One row of the settings window's update list: its controls (built from
// "XML\CustomControlXML\device_Update_list_item.xml") and its status, which
// decides what they show:
//
//   status  text                progress  done mark   check box  colours (text, disabled)
//   0       "LessUpdateText"    hidden    unchanged   off        white, grey
//   1, 2    "NeedUpdateText"    hidden    hidden      on         blue
//   3       "DownloadWaitText"  hidden    hidden      off        blue
//   4       "DownloadIngText"   shown     hidden      off        blue
//   5       "DownloadOkText"    hidden    shown       off        blue
//   6       "UpdateIngText"     shown     hidden      off        blue
//   7       "UpdateOkText"      hidden    hidden      off        white, grey
//   8       "UpdateFailText"    hidden    hidden      on         blue
//
// A row starts at 0; setting the status it has changes nothing. Every text that
// came from the server is set as plain text. User-interface thread only.
#include "ui/Control.h"
#include "update/UpdateCheck.h"

#include <string>
#include <string_view>

namespace velkor {

class UpdateListRow {
public:
    static constexpr std::string_view kCheck = "check_name_select";
    static constexpr std::string_view kCurrent = "OldRev";
    static constexpr std::string_view kLatest = "updateRev";
    static constexpr std::string_view kStatusText = "update_status_text";
    static constexpr std::string_view kProgressMark = "update_status_ing";
    static constexpr std::string_view kProgressText = "update_progress_value";
    static constexpr std::string_view kDoneMark = "update_status_ok";
    static constexpr int kHeight = 40;

    // `control` is the row built from the row layout; its controls are found by name.
    UpdateListRow(ui::Control& control, UpdateItem item);

    const UpdateItem& Item() const { return m_item; }
    ui::Control& Control() const { return m_control; }
    ui::Control* Check() const { return m_check; }
    int Status() const { return m_status; }
    void SetStatus(int status);

    // The name (a language key), the current and the newest version.
    void SetTexts(std::string_view name, std::string_view current, std::string_view latest);
    const std::string& CurrentText() const { return m_current; }
    const std::string& LatestText() const { return m_latest; }
    // "%d%s" of the percentage and "%".
    void SetProgress(int percent);
    std::string ProgressText() const;

    bool Ticked() const;
    void SetTicked(bool ticked);
    void EnableCheck(bool enabled);

    // The check's answer and the package file once downloaded.
    UpdateResult result;
    std::string packagePath;

private:
    ui::Control* Find(std::string_view name) const;

    ui::Control& m_control;
    UpdateItem m_item;
    ui::Control* m_check;
    ui::Control* m_currentLabel;
    ui::Control* m_latestLabel;
    ui::Control* m_statusText;
    ui::Control* m_progressMark;
    ui::Control* m_progressText;
    ui::Control* m_doneMark;
    int m_status = kRowAdded;
    std::string m_current;
    std::string m_latest;
};

} // namespace velkor
