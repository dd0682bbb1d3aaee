#pragma once
// CSetWnd: the settings window (window class "SetWnd", layout "setwnd.xml"), a
// modal tool window of 630 x 500 at 96 DPI. It lists the rows of the update
// list (one per attached model with a firmware row, and the program), asks the
// update server about each on its check thread, downloads the packages of the
// rows the user confirms on its download thread, and follows the installer's
// reports.
//
// Overall state ("update_status_ring", "Update_Status_text",
// "update_status_image"): 0 checking, 1 updates available, 2 no row reached
// the server (also when no server is configured: then nothing is sent), 3
// downloading, 4 everything up to date (followed by the date of the check;
// the main window then gets 3094, which clears its update badge).
//
// The language combo lists the program's languages and switches the whole
// program's language live through the main window.
//
// "Start at login" shows whether the program starts at login when the window
// opens; ticking or clearing it changes that at once. A change that fails
// leaves the box as things are and says why below it.
//
// The window closes ("closebtn", "laterbtn", the frame) only while every row is
// settled (status 1, 2, 5, 7 or 8); then its threads are stopped first, each
// within 100 ms. Everything runs on the user-interface thread; the threads
// report through the dispatcher.
#include "ui/Toolkit.h"
#include "update/UpdateListRow.h"
#include "update/UpdateThreads.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkor {

struct SetWndServices {
    ui::Toolkit& toolkit;
    // Accepts the row layout's class "CUpdateInfoListItemUI" (the program's
    // control factory); may be null when the toolkit builds it without help.
    ui::ControlCreator* creator = nullptr;
    // The update server; an empty base URL means none is configured.
    UpdateServerSetup server;
    // "updatetime.config" in the user base folder; empty: no date is kept.
    std::string dateFile;
    // Where packages may go (UpdateDownloadFolder): the temporary folder and the cache home.
    std::string tempFolder;
    std::string cacheHome;
    // Sends the main window one of its messages (3094); may be empty.
    std::function<void(uint32_t message)> tellMainWindow;
    // Opens a folder in the desktop's file manager; may be empty.
    std::function<bool(const std::string& folder)> openFolder;
    // The language combo "Language_combox_info": the language key of each
    // entry's display name in table order, the current language's index, and
    // what choosing one does (the main window's 3089); it returns the index
    // current afterwards, which the combo then shows (a refused language is
    // not left selected). Empty: the combo stays empty.
    std::vector<std::string> languageKeys;
    int languageIndex = -1;
    std::function<int(int index)> chooseLanguage;
    // Today's date as "%d-%d-%d"; empty uses the local date.
    std::function<std::string()> today;
    // "Start at login" ("autostart_check"): whether the program starts at
    // login now, and turning that on or off (false with the reason). Either
    // empty: the choice is hidden.
    std::function<bool()> startAtLogin;
    std::function<bool(bool on, std::string* error)> setStartAtLogin;
    // "Let other lighting programs use these devices" ("sdk_server_check")
    // and its port ("sdk_port_edit"): the stored choice, and applying one
    // (false with the reason, e.g. the port is in use; the choice is stored
    // either way). Either empty: the choice is hidden.
    std::function<std::pair<bool, int>()> sdkServer;
    std::function<bool(bool on, int port, std::string* error)> setSdkServer;
};

class CSetWnd final : public ui::WindowHandler {
public:
    static constexpr std::string_view kClassName = "SetWnd";
    static constexpr std::string_view kLayout = "setwnd.xml";
    static constexpr std::string_view kRowLayout = "XML\\CustomControlXML\\device_Update_list_item.xml";
    static constexpr std::string_view kList = "update_list";
    static constexpr std::string_view kTabs = "get_update_tab_layout";
    static constexpr std::string_view kUpdateButton = "update_fw_and_ap";
    static constexpr std::string_view kLanguageCombo = "Language_combox_info";
    static constexpr std::string_view kStartAtLogin = "autostart_check";
    static constexpr std::string_view kStartAtLoginError = "autostart_error_text";
    static constexpr std::string_view kSdkServer = "sdk_server_check";
    static constexpr std::string_view kSdkPort = "sdk_port_edit";
    static constexpr std::string_view kSdkError = "sdk_server_error_text";
    static constexpr int kWidth = 630;
    static constexpr int kHeight = 500;
    // To the main window: everything is up to date (clears its update badge).
    static constexpr uint32_t kMessageUpToDate = 3094;
    // Installer reports.
    static constexpr int kReportFinished = 1;
    static constexpr int kReportFailed = 2;
    static constexpr int kReportAborted = 3;
    static constexpr int kReportProgress = 4;

    enum OverallState { kChecking = 0, kHaveUpdates = 1, kNoServer = 2, kUpdating = 3, kUpToDate = 4 };

    // The services must outlive the window.
    explicit CSetWnd(const SetWndServices& services);
    // Stops the threads.
    ~CSetWnd() override;
    CSetWnd(const CSetWnd&) = delete;
    CSetWnd& operator=(const CSetWnd&) = delete;

    // Builds the hidden window owned by `owner`. False with `error` set when a layout cannot be built.
    bool Create(ui::Window* owner, std::string* error = nullptr);
    // Applies the DPI (one outside 48..192 in steps of 24 traces "SET_WND DPI
    // SET ERROR" and uses 96), adds a row per item with its current version,
    // reads the date file (writing today's date when it has none) and starts the
    // check. False when the rows cannot be built.
    bool Init(std::vector<UpdateItem> rows, int dpi);
    // Places the window and runs it modally until it closes; returns the closing code.
    int Run(const ui::Rect& placement);

    // The main window's language changed: the texts it composes itself are
    // made again (the toolkit shows its resource texts anew).
    void LanguageChanged();

    // An installer report (report, value): applied to the row being installed,
    // the first row downloading or downloaded; ignored when there is none.
    void InstallerReport(int32_t report, int32_t value);

    ui::Window* GetWindow() const { return m_window.get(); }
    int OverallState() const { return m_state; }
    size_t RowCount() const { return m_rows.size(); }
    const UpdateListRow& Row(size_t index) const { return *m_rows[index]; }
    // Every row settled: the window may close.
    bool CanClose() const;
    bool ThreadsRunning() const { return m_check.Running() || m_downloads.Running(); }
    // The date shown in state 4.
    const std::string& CheckDate() const { return m_date; }

    void Notify(const ui::Notification& notification) override;
    bool CloseRequested(ui::Window& window) override;
    void DpiChanged(ui::Window& window, int suggestedDpi) override;

private:
    void OnClick(const std::string& name);
    void SetOverallState(int state);
    void RowChecked(size_t index, const UpdateResult& result);
    void CheckFinished();
    void UpdateButtonFollowsTicks();
    void Confirm();
    void DownloadProgress(size_t index, int percent);
    void DownloadDone(size_t index, const DownloadOutcome& outcome);
    void ActivateRow(int index);
    void TryClose();
    void StopThreads();
    void ApplyDpi(int dpi);
    void FillLanguages();
    void LanguageChosen(int index);
    void ShowStartAtLogin();
    void StartAtLoginChosen(bool on);
    // The SDK server's choice (CSetWndSdk.cpp).
    void ShowSdkServer();
    void SdkServerChosen();
    std::string Today() const;
    ui::Control* Find(std::string_view name) const;

    SetWndServices m_services;
    std::unique_ptr<ui::Window> m_window;
    std::vector<std::unique_ptr<UpdateListRow>> m_rows;
    int m_state = kChecking;
    std::string m_date;
    UpdateCheckThread m_check;
    UpdateDownloadThread m_downloads;
    bool m_downloadsConfigured = false;
};

} // namespace velkor
