#include "macros/CShootControlUI.h"

#include "ui/Control.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace velkor {

namespace {

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

// Decimal text as the edits hold it; anything that is not a number is 0, and
// numbers beyond the int range saturate.
int ParseEditNumber(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return 0;
    }
    const char* begin = text.data() + first;
    const char* end = text.data() + text.size();
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t')) {
        --end;
    }
    long long value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error == std::errc::result_out_of_range) {
        return *begin == '-' ? INT_MIN : INT_MAX;
    }
    if (error != std::errc() || stop != end) {
        return 0;
    }
    return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::string Decimal(int value) {
    return std::to_string(value);
}

} // namespace

void CShootControlUI::SetUserFolder(std::string folder) {
    m_userFolder = WithSeparator(std::move(folder));
}

void CShootControlUI::SetDefaultFolder(std::string folder) {
    m_defaultFolder = WithSeparator(std::move(folder));
}

ui::Control* CShootControlUI::Child(std::string_view name) const {
    return m_panel.Name() == name ? &m_panel : m_panel.FindChild(name);
}

void CShootControlUI::InitShootPanel() {
    for (int g = 0; g < kRecoilGunCount; ++g) {
        m_guns[size_t(g)] = ui::As<ui::SelectableControl>(Child("shoot_gun_op_" + Decimal(g)));
    }
    for (int b = 0; b < kRecoilBulletCount; ++b) {
        m_bullets[size_t(b)] = ui::As<ui::SelectableControl>(Child("bullet_op_" + Decimal(b)));
    }
    m_pictures = ui::As<ui::PageControl>(Child("shoot_image_display_switch"));
    m_index = Child("bullet_select_index");
    m_xCheck = Child("bullet_x_check");
    m_yCheck = Child("bullet_y_check");
    m_xEdit = Child("bullet_x_eidt");
    m_yEdit = Child("bullet_y_eidt");
    m_delayEdit = Child("bullet_delay_eidt");
    for (int g = 0; g < kRecoilGunCount; ++g) {
        if (m_json.ReadJsonFile(UserFile(g)).isNull()) {
            ResetGun(g); // refused (and noted) without a default
        }
    }
}

namespace {

// Selects option `index` of `options` and no other, without notifications.
template <class Options> void SelectOnly(const Options& options, int index) {
    for (size_t n = 0; n < options.size(); ++n) {
        if (options[n] != nullptr) {
            options[n]->SetSelected(int(n) == index, false);
        }
    }
}

} // namespace

void CShootControlUI::SelectGun(int gun) {
    CommitShownBullet();
    m_shown = false;
    m_gun = std::clamp(gun, 0, kRecoilGunCount - 1);
    SelectOnly(m_guns, m_gun);
    if (m_pictures != nullptr) {
        m_pictures->SelectPage(m_gun);
    }
}

void CShootControlUI::SelectBullet(int bullet) {
    CommitShownBullet();
    m_shown = false;
    m_bullet = std::clamp(bullet, 0, kRecoilBulletCount - 1);
    SelectOnly(m_bullets, m_bullet);
    if (m_index != nullptr) {
        m_index->SetText(Decimal(m_bullet + 1));
    }
    ShowBullet();
}

void CShootControlUI::ShowBullet() {
    if (m_bullet < 0) {
        return;
    }
    const RecoilBullet bullet = ReadRecoilBullet(m_json.ReadJsonFile(UserFile(m_gun)), m_bullet);
    // Programmatic changes: no notification, so nothing is committed from here.
    if (m_xCheck != nullptr) {
        if (ui::SelectableControl* tick = m_xCheck->AsSelectable()) {
            tick->SetSelected(bullet.left, false);
        }
        UpdateDirectionText("bullet_x_check");
    }
    if (m_yCheck != nullptr) {
        if (ui::SelectableControl* tick = m_yCheck->AsSelectable()) {
            tick->SetSelected(bullet.up, false);
        }
        UpdateDirectionText("bullet_y_check");
    }
    if (m_xEdit != nullptr) {
        m_xEdit->SetText(Decimal(bullet.horizontal));
    }
    if (m_yEdit != nullptr) {
        m_yEdit->SetText(Decimal(bullet.vertical));
    }
    if (m_delayEdit != nullptr) {
        m_delayEdit->SetText(Decimal(bullet.delay));
    }
    m_shown = true;
}

void CShootControlUI::UpdateDirectionText(std::string_view check) {
    const auto ticked = [](const ui::Control& box) {
        const ui::SelectableControl* tick = box.AsSelectable();
        return tick != nullptr && tick->IsSelected();
    };
    if (check == "bullet_x_check" && m_xCheck != nullptr) {
        m_xCheck->SetText(ticked(*m_xCheck) ? kLeftText : kRightText);
    } else if (check == "bullet_y_check" && m_yCheck != nullptr) {
        m_yCheck->SetText(ticked(*m_yCheck) ? kUpText : kDownText);
    }
}

RecoilBullet CShootControlUI::ShownBullet() const {
    const auto number = [](ui::Control* edit, int high) {
        return edit != nullptr ? std::clamp(ParseEditNumber(edit->Text()), 0, high) : 0;
    };
    RecoilBullet bullet;
    bullet.horizontal = number(m_xEdit, kMaxRecoilDistance);
    bullet.vertical = number(m_yEdit, kMaxRecoilDistance);
    bullet.delay = number(m_delayEdit, kMaxRecoilDelay);
    const ui::SelectableControl* left = ui::As<ui::SelectableControl>(m_xCheck);
    const ui::SelectableControl* up = ui::As<ui::SelectableControl>(m_yCheck);
    bullet.left = left != nullptr && left->IsSelected();
    bullet.up = up != nullptr && up->IsSelected();
    return bullet;
}

Json::Value CShootControlUI::DocumentToEdit() const {
    Json::Value document = m_json.ReadJsonFile(UserFile(m_gun));
    if (!document.isObject()) {
        document = m_json.ReadJsonFile(DefaultFile(m_gun));
    }
    return document.isObject() ? document : Json::Value(Json::objectValue);
}

bool CShootControlUI::SaveBullet() {
    if (m_bullet < 0) {
        return true;
    }
    const RecoilBullet bullet = ShownBullet();
    Json::Value document = DocumentToEdit();
    WriteRecoilBullet(document, m_bullet, bullet);
    if (!m_json.WriteJsonFile(document, UserFile(m_gun))) {
        return Fail(ShootFailure::WriteFailed);
    }
    // The edits show what was stored.
    if (m_xEdit != nullptr) {
        m_xEdit->SetText(Decimal(bullet.horizontal));
    }
    if (m_yEdit != nullptr) {
        m_yEdit->SetText(Decimal(bullet.vertical));
    }
    if (m_delayEdit != nullptr) {
        m_delayEdit->SetText(Decimal(bullet.delay));
    }
    m_lastFailure = ShootFailure::None;
    return true;
}

bool CShootControlUI::CommitShownBullet() {
    if (!m_shown || m_bullet < 0) {
        return true;
    }
    const Json::Value document = m_json.ReadJsonFile(UserFile(m_gun));
    const RecoilBullet stored = ReadRecoilBullet(document, m_bullet);
    const RecoilBullet shown = ShownBullet();
    // The edits' text too: "300" shown for a stored 255 is a change to show.
    const bool textsMatch = (m_xEdit == nullptr || m_xEdit->Text() == Decimal(shown.horizontal)) &&
                            (m_yEdit == nullptr || m_yEdit->Text() == Decimal(shown.vertical)) &&
                            (m_delayEdit == nullptr || m_delayEdit->Text() == Decimal(shown.delay));
    if (shown == stored && textsMatch) {
        return true;
    }
    return SaveBullet();
}

bool CShootControlUI::ResetGun(int gun) {
    if (gun < 0 || gun >= kRecoilGunCount) {
        return false;
    }
    std::string text;
    Json::Value parsed;
    if (m_defaultFolder.empty() || m_json.ReadTextFile(DefaultFile(gun), text) != FileReadStatus::Ok ||
        !m_json.ParseJson(text, parsed)) {
        return Fail(ShootFailure::NoDefault);
    }
    if (!m_json.WriteTextFile(text, UserFile(gun))) {
        return Fail(ShootFailure::WriteFailed);
    }
    m_lastFailure = ShootFailure::None;
    if (gun == m_gun && m_bullet >= 0) {
        ShowBullet(); // the file changed under the shown bullet: nothing to commit
    }
    return true;
}

bool CShootControlUI::ImportGun(const std::string& path) {
    if (path.empty()) {
        return Fail(ShootFailure::NotShootFile);
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kMaxImportBytes) {
        return Fail(ShootFailure::NotShootFile);
    }
    std::string text;
    Json::Value document;
    if (m_json.ReadTextFile(path, text) != FileReadStatus::Ok || !m_json.ParseJson(text, document) ||
        !document.isObject() || !document["Events"].isArray()) {
        return Fail(ShootFailure::NotShootFile);
    }
    if (document["Events"].size() > Json::ArrayIndex(kMaxRecoilEvents)) {
        return Fail(ShootFailure::TooManyEvents);
    }
    m_shown = false; // the imported file replaces what is shown
    if (!m_json.WriteTextFile(text, UserFile(m_gun))) {
        ShowBullet();
        return Fail(ShootFailure::WriteFailed);
    }
    m_lastFailure = ShootFailure::None;
    ShowBullet();
    return true;
}

bool CShootControlUI::ExportGun(const std::string& path) {
    if (path.empty() || !CommitShownBullet()) {
        return Fail(ShootFailure::WriteFailed);
    }
    std::string text;
    if (m_json.ReadTextFile(UserFile(m_gun), text) != FileReadStatus::Ok ||
        !m_json.WriteTextFile(text, path)) {
        return Fail(ShootFailure::WriteFailed);
    }
    m_lastFailure = ShootFailure::None;
    return true;
}

bool CShootControlUI::Fail(ShootFailure failure) {
    m_lastFailure = failure;
    return false;
}

} // namespace velkor
