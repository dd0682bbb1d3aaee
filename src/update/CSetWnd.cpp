#include "update/CSetWnd.h"

#include "platform/Trace.h"

#include <algorithm>

namespace velkor {
namespace {

constexpr const char* kStateTexts[] = {"GetUpdateInfoText", "HaveUpdateInfoText", "NoUpdateInfoText",
                                       "ISUpdateINGText", "UpdateIsLastText"};

bool Settled(int status) {
    return status == kRowUpdate || status == kRowUpdate2 || status == kRowDownloaded ||
           status == kRowUpToDate || status == kRowFailed;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

CSetWnd::CSetWnd(const SetWndServices& services)
    : m_services(services), m_check(services.toolkit.GetDispatcher()),
      m_downloads(services.toolkit.GetDispatcher()) {}

CSetWnd::~CSetWnd() {
    StopThreads();
    m_rows.clear();
    m_window.reset();
}

ui::Control* CSetWnd::Find(std::string_view name) const {
    return m_window ? m_window->FindControl(name) : nullptr;
}

std::string CSetWnd::Today() const {
    return m_services.today ? m_services.today() : TodayText();
}

bool CSetWnd::Create(ui::Window* owner, std::string* error) {
    const ui::WindowOptions options{.layout = std::string(kLayout),
                                    .className = std::string(kClassName),
                                    .owner = owner,
                                    .handler = this,
                                    .creator = m_services.creator};
    m_window = ui::CreateToolWindow(m_services.toolkit, options, "VELKOR01", error);
    return m_window != nullptr;
}

void CSetWnd::ApplyDpi(int dpi) {
    if (!ui::IsValidDpi(dpi)) {
        Trace("SET_WND DPI SET ERROR");
        dpi = ui::kDefaultDpi;
    }
    m_window->SetDpi(dpi);
}

bool CSetWnd::Init(std::vector<UpdateItem> rows, int dpi) {
    if (!m_window) {
        return false;
    }
    ApplyDpi(dpi);
    FillLanguages();
    ShowStartAtLogin();
    ShowSdkServer();
    // The date of the last check; a first start takes today's.
    m_date = m_services.dateFile.empty() ? std::string() : ReadCheckDate(m_services.dateFile);
    if (m_date.empty()) {
        m_date = Today();
        if (!m_services.dateFile.empty() && !WriteCheckDate(m_services.dateFile, m_date)) {
            TraceF("%s cannot be written", m_services.dateFile.c_str());
        }
    }
    SetOverallState(kChecking);
    ui::ListControl* list = ui::As<ui::ListControl>(Find(kList));
    if (list == nullptr) {
        Trace("the settings window has no update list");
        return false;
    }
    // Every row is added before any request goes out.
    for (UpdateItem& item : rows) {
        std::string error;
        ui::Control* control = list->InsertItemLayout(-1, kRowLayout, m_services.creator, &error);
        if (control == nullptr) {
            TraceF("update row cannot be built: %s", error.c_str());
            return false;
        }
        auto row = std::make_unique<UpdateListRow>(*control, std::move(item));
        row->SetTexts(row->Item().displayName, CurrentVersionText(row->Item()), "");
        row->SetStatus(kRowUpToDate);
        row->EnableCheck(false);
        row->result.name = row->Item().displayName;
        row->result.currentText = CurrentVersionText(row->Item());
        m_rows.push_back(std::move(row));
    }
    std::vector<UpdateItem> toCheck;
    for (const auto& row : m_rows) {
        toCheck.push_back(row->Item());
    }
    if (m_services.server.baseUrl.empty()) {
        Trace("no update server is configured: nothing is asked");
        CheckFinished();
        return true;
    }
    const bool started = m_check.Start(
        m_services.server, std::move(toCheck),
        [this](size_t index, const UpdateResult& result) { RowChecked(index, result); },
        [this] { CheckFinished(); });
    if (!started) {
        Trace("the update check thread cannot start");
        CheckFinished();
    }
    return true;
}

int CSetWnd::Run(const ui::Rect& placement) {
    m_window->SetGeometry(placement);
    return m_window->ShowModal();
}

void CSetWnd::SetOverallState(int state) {
    m_state = state;
    if (ui::Control* ring = Find("update_status_ring")) {
        ring->SetVisible(state == kChecking);
    }
    if (ui::Control* image = Find("update_status_image")) {
        image->SetVisible(state != kChecking);
    }
    if (ui::Control* text = Find("Update_Status_text")) {
        if (state == kUpToDate) {
            // A composed text: the language's words, then the date.
            text->SetResourceText(false);
            text->SetText(m_services.toolkit.LookUpText(kStateTexts[state]) + m_date);
        } else {
            text->SetResourceText(true);
            text->SetText(kStateTexts[state]);
        }
    }
}

void CSetWnd::RowChecked(size_t index, const UpdateResult& result) {
    if (index >= m_rows.size()) {
        return;
    }
    UpdateListRow& row = *m_rows[index];
    row.result = result;
    row.result.name = row.Item().displayName; // the row's own name, whatever the server said
    row.Control().SetGeometry(ui::Rect{row.Control().Geometry().x, row.Control().Geometry().y,
                                       row.Control().Geometry().width, UpdateListRow::kHeight});
    row.SetTexts(row.result.name, result.currentText, result.status == kRowUpToDate ? "" : result.latestText);
    row.SetStatus(result.status);
    row.Control().SetUserData(result.downloadUrl);
    row.EnableCheck(false);
    if (!result.failed) {
        m_date = Today();
        if (!m_services.dateFile.empty() && !WriteCheckDate(m_services.dateFile, m_date)) {
            TraceF("%s cannot be written", m_services.dateFile.c_str());
        }
    }
}

void CSetWnd::CheckFinished() {
    bool ticked = false;
    bool everyFailed = true;
    ui::Control* button = Find(kUpdateButton);
    for (const auto& row : m_rows) {
        everyFailed = everyFailed && row->result.failed;
        if (row->Status() != kRowUpToDate && row->Status() != kRowAdded) {
            row->EnableCheck(true);
            row->SetTicked(true);
            ticked = true;
            if (button != nullptr) {
                button->SetEnabled(true);
                button->SetVisible(true);
            }
        } else {
            row->EnableCheck(false);
        }
    }
    if (ticked) {
        SetOverallState(kHaveUpdates);
    } else if (everyFailed) {
        SetOverallState(kNoServer);
    } else {
        SetOverallState(kUpToDate);
        if (m_services.tellMainWindow) {
            m_services.tellMainWindow(kMessageUpToDate);
        }
    }
}

void CSetWnd::UpdateButtonFollowsTicks() {
    const bool any = std::any_of(m_rows.begin(), m_rows.end(), [](const auto& row) { return row->Ticked(); });
    if (ui::Control* button = Find(kUpdateButton)) {
        button->SetEnabled(any);
        button->SetVisible(any);
    }
}

void CSetWnd::Notify(const ui::Notification& notification) {
    if (notification.sender == nullptr) {
        return;
    }
    const std::string& name = notification.sender->Name();
    if (notification.type == ui::kNotifyClick) {
        OnClick(name);
    } else if (notification.type == ui::kNotifySelectChanged && name == UpdateListRow::kCheck) {
        UpdateButtonFollowsTicks();
    } else if (notification.type == ui::kNotifyItemActivate && name == kList) {
        ActivateRow(int(notification.wParam));
    } else if (notification.type == ui::kNotifyItemSelect && name == kLanguageCombo) {
        const ui::ListControl* combo = notification.sender->AsList();
        LanguageChosen(combo != nullptr ? combo->SelectedIndex() : -1);
    } else if (notification.type == ui::kNotifySelectChanged && name == kStartAtLogin) {
        const ui::SelectableControl* box = notification.sender->AsSelectable();
        StartAtLoginChosen(box != nullptr && box->IsSelected());
    } else if ((notification.type == ui::kNotifySelectChanged && name == kSdkServer) ||
               (notification.type == ui::kNotifyKillFocus && name == kSdkPort)) {
        SdkServerChosen();
    }
}

void CSetWnd::FillLanguages() {
    ui::Control* combo = Find(kLanguageCombo);
    ui::ListControl* rows = ui::As<ui::ListControl>(combo);
    if (rows == nullptr) {
        return;
    }
    combo->SetResourceText(true); // the entries' names are language keys
    rows->RemoveAllItems();
    for (const std::string& key : m_services.languageKeys) {
        rows->InsertItem(-1, key);
    }
    rows->SelectItem(m_services.languageIndex, false);
}

void CSetWnd::LanguageChosen(int index) {
    if (index < 0 || !m_services.chooseLanguage) {
        return;
    }
    const int current = m_services.chooseLanguage(index);
    if (auto* combo = ui::As<ui::ListControl>(Find(kLanguageCombo));
        combo != nullptr && combo->SelectedIndex() != current) {
        combo->SelectItem(current, false);
    }
}

void CSetWnd::ShowStartAtLogin() {
    ui::Control* box = Find(kStartAtLogin);
    if (box == nullptr) {
        return;
    }
    const bool offered = m_services.startAtLogin && m_services.setStartAtLogin;
    box->SetVisible(offered);
    if (ui::SelectableControl* tick = box->AsSelectable(); tick != nullptr && offered) {
        tick->SetSelected(m_services.startAtLogin(), false);
    }
}

void CSetWnd::StartAtLoginChosen(bool on) {
    if (!m_services.setStartAtLogin) {
        return;
    }
    std::string why;
    const bool changed = m_services.setStartAtLogin(on, &why);
    if (!changed) {
        TraceF("start at login not changed: %s", why.c_str());
        if (auto* box = ui::As<ui::SelectableControl>(Find(kStartAtLogin));
            box != nullptr && m_services.startAtLogin) {
            box->SetSelected(m_services.startAtLogin(), false);
        }
    }
    if (ui::Control* message = Find(kStartAtLoginError)) {
        message->SetText(changed ? std::string()
                                 : m_services.toolkit.LookUpText("autostart_failed_text") + ": " + why);
        message->SetVisible(!changed);
    }
}

void CSetWnd::LanguageChanged() {
    if (!m_window) {
        return;
    }
    SetOverallState(m_state); // its up-to-date text carries the date after the language's words
    m_window->Root().Invalidate();
}

void CSetWnd::OnClick(const std::string& name) {
    auto* tabs = ui::As<ui::PageControl>(Find(kTabs));
    if (name == kUpdateButton) {
        if (tabs != nullptr) {
            tabs->SelectPage(1); // the confirmation
        }
    } else if (name == "update_back_btn") {
        if (tabs != nullptr) {
            tabs->SelectPage(0);
        }
    } else if (name == "update_OK_btn") {
        Confirm();
    } else if (name == "set_in_update_wnd_btn") {
        if (ui::Control* hint = Find("update_tishi_layout")) {
            hint->SetVisible(false);
        }
        const ui::Rect at = m_window->Geometry();
        const int dpi = m_window->Dpi();
        m_window->SetGeometry(
            ui::Rect{at.x, at.y, kWidth * dpi / ui::kDefaultDpi, kHeight * dpi / ui::kDefaultDpi});
    } else if (name == "closebtn" || name == "laterbtn") {
        TryClose();
    } else if (name == "minbtn") {
        m_window->Minimize();
    } else if (name == "maxbtn" || name == "restorebtn") {
        if (name == "maxbtn") {
            m_window->Maximize();
        } else {
            m_window->Restore();
        }
        const bool zoomed = m_window->IsMaximized();
        if (ui::Control* max = Find("maxbtn")) {
            max->SetVisible(!zoomed);
        }
        if (ui::Control* restore = Find("restorebtn")) {
            restore->SetVisible(zoomed);
        }
    }
    // "homepage_btn" and "menubtn" do nothing.
}

void CSetWnd::Confirm() {
    std::vector<size_t> confirmed;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        UpdateListRow& row = *m_rows[i];
        if (row.Status() != kRowUpdate && row.Status() != kRowUpdate2) {
            continue;
        }
        if (row.Ticked()) {
            row.SetStatus(kRowWaiting);
            confirmed.push_back(i);
        } else {
            row.EnableCheck(false);
        }
    }
    if (ui::Control* button = Find(kUpdateButton)) {
        button->SetEnabled(false);
    }
    if (auto* tabs = ui::As<ui::PageControl>(Find(kTabs))) {
        tabs->SelectPage(0);
    }
    if (confirmed.empty()) {
        return;
    }
    SetOverallState(kUpdating);
    if (!m_downloadsConfigured) {
        std::string why;
        const std::string folder = UpdateDownloadFolder(m_services.tempFolder, m_services.cacheHome, &why);
        if (folder.empty()) {
            TraceF("no folder for the packages: %s", why.c_str());
        }
        m_downloads.Configure(
            m_services.server, folder,
            [this](size_t index, int percent) { DownloadProgress(index, percent); },
            [this](size_t index, const DownloadOutcome& outcome) { DownloadDone(index, outcome); });
        m_downloadsConfigured = true;
    }
    for (size_t index : confirmed) {
        const UpdateListRow& row = *m_rows[index];
        DownloadJob job{.row = index,
                        .url = row.result.downloadUrl,
                        .name = row.Item().displayName,
                        .size = row.result.size,
                        .sha256 = row.result.sha256};
        if (!m_downloads.Enqueue(std::move(job))) {
            DownloadDone(index, DownloadOutcome{.why = "the download thread cannot start"});
        }
    }
}

void CSetWnd::DownloadProgress(size_t index, int percent) {
    if (index >= m_rows.size()) {
        return;
    }
    UpdateListRow& row = *m_rows[index];
    if (row.Status() == kRowWaiting) {
        row.SetStatus(kRowDownloading);
    }
    if (percent >= 0 && row.Status() == kRowDownloading) {
        row.SetProgress(percent);
    }
}

void CSetWnd::DownloadDone(size_t index, const DownloadOutcome& outcome) {
    if (index >= m_rows.size()) {
        return;
    }
    UpdateListRow& row = *m_rows[index];
    if (outcome.ok) {
        row.packagePath = outcome.path;
        row.SetStatus(kRowDownloaded);
    } else {
        row.SetStatus(kRowFailed);
    }
    const bool pending = std::any_of(m_rows.begin(), m_rows.end(), [](const auto& other) {
        return other->Status() == kRowWaiting || other->Status() == kRowDownloading;
    });
    if (!pending && m_state == kUpdating) {
        SetOverallState(kHaveUpdates); // downloaded packages wait for the user
    }
}

void CSetWnd::ActivateRow(int index) {
    if (index < 0 || size_t(index) >= m_rows.size()) {
        return;
    }
    const UpdateListRow& row = *m_rows[size_t(index)];
    if (row.Status() == kRowDownloaded && m_services.openFolder && !row.packagePath.empty()) {
        if (!m_services.openFolder(FolderOf(row.packagePath))) {
            TraceF("the folder of %s cannot be opened", row.packagePath.c_str());
        }
    }
}

void CSetWnd::InstallerReport(int32_t report, int32_t value) {
    UpdateListRow* current = nullptr;
    for (int wanted : {kRowInstalling, kRowDownloaded, kRowDownloading}) {
        for (const auto& row : m_rows) {
            if (current == nullptr && row->Status() == wanted) {
                current = row.get();
            }
        }
    }
    if (current == nullptr) {
        TraceF("installer report (%d, %d) ignored: no row is being installed", report, value);
        return;
    }
    if (report == kReportProgress) {
        current->SetStatus(kRowInstalling);
        current->SetProgress(value);
    } else if (report == kReportFailed || report == kReportAborted) {
        current->SetStatus(kRowFailed);
    } else if (report == kReportFinished) {
        current->SetTexts(current->Item().displayName, current->LatestText(), "");
        current->SetStatus(kRowUpToDate);
        current->SetTicked(false);
        const bool more = std::any_of(m_rows.begin(), m_rows.end(), [](const auto& row) {
            return row->Ticked() && row->Status() != kRowUpToDate;
        });
        if (more) {
            return;
        }
        bool open = false;
        for (const auto& row : m_rows) {
            if (row->Status() != kRowUpToDate) {
                row->EnableCheck(true);
                open = true;
            }
        }
        SetOverallState(open ? kHaveUpdates : kUpToDate);
        if (!open && m_services.tellMainWindow) {
            m_services.tellMainWindow(kMessageUpToDate);
        }
    }
}

bool CSetWnd::CanClose() const {
    return std::all_of(m_rows.begin(), m_rows.end(), [](const auto& row) { return Settled(row->Status()); });
}

void CSetWnd::TryClose() {
    if (!CanClose()) {
        Trace("the settings window stays open until its downloads end");
        return;
    }
    StopThreads();
    m_window->Close(0);
}

bool CSetWnd::CloseRequested(ui::Window& window) {
    (void)window;
    if (!CanClose()) {
        Trace("the settings window stays open until its downloads end");
        return false;
    }
    StopThreads();
    return true;
}

void CSetWnd::DpiChanged(ui::Window& window, int suggestedDpi) {
    (void)window;
    ApplyDpi(suggestedDpi);
}

void CSetWnd::StopThreads() {
    m_check.Stop();
    m_downloads.Stop();
}

} // namespace velkor
