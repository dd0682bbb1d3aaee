#include "profiles/BasicProfiledata.h"

#include "profiles/JsonFields.h"
#include "profiles/NameRules.h"
#include "profiles/ProfileSections.h"

namespace velkor {
namespace {

// True when the file holds something that is not the expected shape and would
// be lost by rewriting it: not JSON, a top-level value that is not an object,
// a "Device" that is not an array or a profile element that is not an object.
bool IsDamaged(const JsonFileContents& file, int32_t index) {
    if (file.status == FileReadStatus::NotJson) {
        return true;
    }
    if (file.status != FileReadStatus::Ok) {
        return false;
    }
    if (!file.value.isObject()) {
        return true;
    }
    const Json::Value& devices = JsonMember(file.value, "Device");
    if (devices.isNull()) {
        return false;
    }
    if (!devices.isArray()) {
        return true;
    }
    const Json::Value& element = JsonElement(devices, static_cast<Json::ArrayIndex>(index));
    return !element.isNull() && !element.isObject();
}

std::vector<KeyListEntry> ReadKeys(const Json::Value& document, std::vector<KeyListEntry>& member) {
    KeyListFromJson(JsonMember(document, "KeyList"), member);
    return member;
}

} // namespace

void CBasicProfiledata::SetProfilePath(const std::string& path) {
    if (!path.empty()) {
        m_profilePath = path;
    }
}

void CBasicProfiledata::SetDefaultPath(const std::string& path) {
    if (!path.empty()) {
        m_defaultPath = path;
    }
}

bool CBasicProfiledata::SetDeviceIndex(int32_t index) {
    if (index < 0 || index > kMaxDeviceIndex) {
        return false;
    }
    m_deviceIndex = index;
    return true;
}

Json::Value CBasicProfiledata::DefaultProfileObject() const {
    const Json::Value root = m_json.ReadJsonFile(m_defaultPath);
    return ProfileObjectOf(root, m_deviceIndex);
}

const Json::Value& CBasicProfiledata::LoadWithRepair(const std::string& path, Json::Value& target) {
    JsonFileContents file = m_json.ReadJsonFileDetailed(path);
    if (ProfileObjectOf(file.value, m_deviceIndex).isObject()) {
        // Move the profile out instead of copying it; the rest is kept for the next save.
        Json::Value& slot = file.value["Device"][static_cast<Json::ArrayIndex>(m_deviceIndex)];
        target = Json::Value();
        target.swap(slot);
        Remember(path, file.signature, std::move(file.value));
        return target;
    }
    target = DefaultProfileObject();
    // The repair write is best effort: the document is usable either way, and
    // the next save reports its own result.
    StoreDocument(target, path, &file);
    return target;
}

const Json::Value& CBasicProfiledata::LoadProfile(const std::string& path) {
    m_temporaryLight.reset(); // another profile's light shows now
    return LoadWithRepair(path, m_active);
}

const Json::Value& CBasicProfiledata::LoadAuxDocument(const std::string& path) {
    return LoadWithRepair(path, m_aux);
}

const Json::Value& CBasicProfiledata::LoadConfig(const std::string& path) {
    m_config = m_json.ReadJsonFile(path);
    return m_config;
}

void CBasicProfiledata::Remember(const std::string& path, const FileSignature& signature, Json::Value root) {
    m_known.path = path;
    m_known.deviceIndex = m_deviceIndex;
    m_known.signature = signature;
    m_known.root = std::move(root);
}

bool CBasicProfiledata::StoreDocument(Json::Value& document, const std::string& path,
                                      JsonFileContents* contents) {
    Json::Value root;
    const bool known = !path.empty() && m_known.path == path && m_known.deviceIndex == m_deviceIndex &&
                       m_known.signature.size >= 0 && SignatureOf(path) == m_known.signature;
    if (known) {
        root = m_known.root;
    } else {
        JsonFileContents file =
            contents != nullptr ? std::move(*contents) : m_json.ReadJsonFileDetailed(path);
        if (file.status == FileReadStatus::Unreadable || file.status == FileReadStatus::TooLarge) {
            // Something is there that we cannot see; replacing it could lose it.
            return false;
        }
        if (IsDamaged(file, m_deviceIndex) && !m_json.WriteTextFile(file.text, path + kDamagedSuffix)) {
            return false;
        }
        if (file.status == FileReadStatus::Ok && file.value.isObject()) {
            root = std::move(file.value);
        } else {
            root = Json::Value(Json::objectValue);
        }
    }
    Json::Value& slot = ArrayMember(root, "Device")[static_cast<Json::ArrayIndex>(m_deviceIndex)];
    slot.swap(document);
    const size_t sizeHint =
        m_known.path == path && m_known.signature.size > 0 ? size_t(m_known.signature.size) : 0;
    const std::string text = m_json.StyledText(root, sizeHint);
    slot.swap(document);
    FileSignature written;
    if (!m_json.WriteTextFile(text, path, &written)) {
        return false;
    }
    slot = Json::Value();
    Remember(path, written, std::move(root));
    return true;
}

bool CBasicProfiledata::SaveProfile() {
    return StoreDocument(m_active, m_profilePath, nullptr);
}

bool CBasicProfiledata::SaveDocument(const Json::Value& document, const std::string& path) {
    Json::Value copy = document;
    return StoreDocument(copy, path, nullptr);
}

bool CBasicProfiledata::SaveAuxDocument(const std::string& path) {
    return StoreDocument(m_aux, path, nullptr);
}

bool CBasicProfiledata::WriteDocument(const Json::Value& document, const std::string& path) {
    return m_json.WriteJsonFile(document, path);
}

bool CBasicProfiledata::EndTemporaryLight() {
    const bool shown = m_temporaryLight.has_value();
    m_temporaryLight.reset();
    return shown;
}

Json::Value& CBasicProfiledata::ActiveObject() {
    return EnsureObject(m_active);
}

LightInfoRecord CBasicProfiledata::ReadLightInfo() {
    if (m_temporaryLight) {
        m_lightInfo = *m_temporaryLight; // the custom effect steps follow what shows
        return m_lightInfo;
    }
    if (!LightInfoFromJson(JsonMember(m_active, "LightInfo"), m_lightInfo)) {
        m_lightInfo = m_defaultLightInfo;
    }
    return m_lightInfo;
}

void CBasicProfiledata::WriteLightInfo(const LightInfoRecord& record) {
    m_temporaryLight.reset();
    m_lightInfo = record;
    ActiveObject()["LightInfo"] = LightInfoToJson(record);
}

AudioLightInfoRecord CBasicProfiledata::ReadAudioLightInfo() {
    AudioLightInfoFromJson(JsonMember(m_active, "AudioLightInfo"), m_audioLightInfo);
    return m_audioLightInfo;
}

void CBasicProfiledata::WriteAudioLightInfo(const AudioLightInfoRecord& record) {
    m_audioLightInfo = record;
    ActiveObject()["AudioLightInfo"] = AudioLightInfoToJson(record);
}

std::vector<LightListEntry> CBasicProfiledata::ReadLightList() {
    LightListFromJson(JsonMember(m_active, "LightList"), m_lightList);
    return m_lightList;
}

std::vector<LedEffectStep> CBasicProfiledata::ReadLedEffectList() {
    m_ledEffects.clear();
    const Json::Value& effects = JsonMember(m_config, "LightInfo");
    const Json::Value& ofDevice = JsonElement(effects, static_cast<Json::ArrayIndex>(m_deviceIndex));
    const Json::Value& guid = JsonMember(JsonElement(ofDevice, m_lightInfo.selectItem), "Guid");
    if (!guid.isString() || !IsPlainFileName(guid.asString()) || m_configPath.empty()) {
        return m_ledEffects;
    }
    const size_t slash = m_configPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : m_configPath.substr(0, slash + 1);
    const Json::Value file = m_json.ReadJsonFile(folder + guid.asString() + ".light");
    if (!file.isNull()) {
        LedEffectListFromJson(file, m_ledEffects);
    }
    return m_ledEffects;
}

std::vector<KeyListEntry> CBasicProfiledata::ReadKeyList() {
    return ReadKeys(m_active, m_keyList);
}

void CBasicProfiledata::WriteKeyList(const std::vector<KeyListEntry>& list) {
    m_keyList = list;
    WriteKeyListSection(ArrayMember(ActiveObject(), "KeyList"), list);
}

std::vector<KeyListEntry> CBasicProfiledata::ReadAuxKeyList() {
    return ReadKeys(m_aux, m_auxKeyList);
}

void CBasicProfiledata::WriteAuxKeyList(const std::vector<KeyListEntry>& list) {
    m_auxKeyList = list;
    WriteKeyListSection(ArrayMember(EnsureObject(m_aux), "KeyList"), list);
}

} // namespace velkor
