#pragma once
// CBasicProfiledata: the profile of one device as a JSON document (the active
// document) and the typed records the device code works with.
//
// A profile file is {"Device": [profile object], ...other members}; the
// profile object of this device sits at the device index (always 0 today).
// Section readers convert a section of the active document into its record,
// keep the result in the matching member and return a copy; a missing, null
// or malformed section reads as the section's default. Section writers store
// the record in the member and change the active document only; nothing
// reaches the disk until SaveProfile (or another Save*/Write* operation).
//
// Not thread-safe: one thread at a time per object (its device provides that).
#include "platform/JsonFileHelper.h"
#include "profiles/ProfileRecords.h"

#include <json/value.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velkor {

class CBasicProfiledata {
public:
    // Largest device index accepted; bounds the "Device" array a save creates.
    static constexpr int32_t kMaxDeviceIndex = 15;
    // Suffix of the copy kept of a damaged profile file before it is repaired.
    static constexpr const char* kDamagedSuffix = ".damaged";

    CBasicProfiledata() = default;
    virtual ~CBasicProfiledata() = default;
    CBasicProfiledata(const CBasicProfiledata&) = default;
    CBasicProfiledata& operator=(const CBasicProfiledata&) = default;

    // Paths. SetProfilePath and SetDefaultPath ignore an empty path;
    // SetConfigPath always takes it.
    void SetProfilePath(const std::string& path);
    const std::string& GetProfilePath() const { return m_profilePath; }
    void SetDefaultPath(const std::string& path);
    const std::string& GetDefaultPath() const { return m_defaultPath; }
    void SetConfigPath(const std::string& path) { m_configPath = path; }
    const std::string& GetConfigPath() const { return m_configPath; }
    // False (and no change) outside 0..kMaxDeviceIndex.
    bool SetDeviceIndex(int32_t index);
    int32_t GetDeviceIndex() const { return m_deviceIndex; }

    // Makes "Device"[index] of the file the active document and returns it
    // (a reference valid until the document next changes; copy it to keep it).
    // When the file has no profile object there (missing, empty, damaged, or
    // no such element) the profile object of the default profile file is used
    // and the file is rewritten with it, keeping the file's other top-level
    // members. A damaged file is first copied to path + kDamagedSuffix; if that
    // copy cannot be made, or the file exists but cannot be read (permissions,
    // I/O error, too large), the file is left untouched and only the active
    // document takes the default. Null when neither file has a profile object.
    const Json::Value& LoadProfile(const std::string& path);
    // The same into the auxiliary document, used to edit another profile file
    // without disturbing the active document.
    const Json::Value& LoadAuxDocument(const std::string& path);
    // Reads the lighting configuration file into the configuration document
    // (null when missing or damaged; no repair).
    const Json::Value& LoadConfig(const std::string& path);

    // SaveDocument(active document, profile path).
    virtual bool SaveProfile();
    // Puts `document` at "Device"[index] of the file at `path`, keeping every
    // other member and element, and writes the file atomically. A missing file
    // becomes {"Device": [document]}; a damaged one is copied aside first. True
    // when the file now holds `document`; on false the file is unchanged (the
    // file exists but cannot be read, or the write failed).
    virtual bool SaveDocument(const Json::Value& document, const std::string& path);
    // SaveDocument(auxiliary document, path).
    virtual bool SaveAuxDocument(const std::string& path);
    // Writes `document` as the whole file, atomically.
    virtual bool WriteDocument(const Json::Value& document, const std::string& path);

    // "LightInfo": all zeros when absent. The writer replaces the section
    // whole, dropping members the record does not carry, and ends a temporary
    // light record.
    LightInfoRecord ReadLightInfo();
    void WriteLightInfo(const LightInfoRecord& record);
    // A light record the device shows for a while without keeping it (a
    // game's effect): ReadLightInfo gives it until EndTemporaryLight,
    // WriteLightInfo or a load; the document, and so the file, keep the stored one.
    void ShowTemporaryLight(const LightInfoRecord& record) { m_temporaryLight = record; }
    // False when none was shown.
    bool EndTemporaryLight();
    bool TemporaryLightShown() const { return m_temporaryLight.has_value(); }
    // "AudioLightInfo": all zeros when absent. Whole-object writer.
    AudioLightInfoRecord ReadAudioLightInfo();
    void WriteAudioLightInfo(const AudioLightInfoRecord& record);
    // "LightList" (read only): empty when absent.
    std::vector<LightListEntry> ReadLightList();
    // Steps of the custom effect selected by the current LightInfoRecord's
    // selectItem (the member, not re-read): its GUID is configuration document
    // "LightInfo"[device index][selectItem]."Guid", its steps the file GUID +
    // ".light" in the folder of the configuration path. Empty when any of them
    // is missing, or the GUID is not a plain file name.
    std::vector<LedEffectStep> ReadLedEffectList();
    // "KeyList" of the active document: empty when absent. The writer sets
    // "Assignment" of each element from the entry's current half.
    std::vector<KeyListEntry> ReadKeyList();
    void WriteKeyList(const std::vector<KeyListEntry>& list);
    // The same on the auxiliary document.
    std::vector<KeyListEntry> ReadAuxKeyList();
    void WriteAuxKeyList(const std::vector<KeyListEntry>& list);

    // The documents as they are now.
    const Json::Value& ActiveDocument() const { return m_active; }
    const Json::Value& AuxDocument() const { return m_aux; }
    const Json::Value& ConfigDocument() const { return m_config; }
    // Replaces the active document without touching any file (for a profile
    // already parsed elsewhere, e.g. an import preview).
    void SetActiveDocument(const Json::Value& document) {
        m_active = document;
        m_temporaryLight.reset();
    }

protected:
    // The active document as an object, made one if it is not.
    Json::Value& ActiveObject();

    CJsonFileHelper m_json;

private:
    // The top-level value of the file this object last read or wrote, with
    // this device's profile object taken out. While the file keeps the same
    // signature it saves a save from parsing the whole file again.
    struct KnownFile {
        std::string path;
        int32_t deviceIndex = 0;
        FileSignature signature;
        Json::Value root;
    };

    const Json::Value& LoadWithRepair(const std::string& path, Json::Value& target);
    Json::Value DefaultProfileObject() const;
    // Puts `document` at "Device"[index] of the file and writes it; `document`
    // is lent to the file's value for the write and is unchanged afterwards.
    // `contents` (may be null) is the file as just read by the caller.
    bool StoreDocument(Json::Value& document, const std::string& path, JsonFileContents* contents);
    void Remember(const std::string& path, const FileSignature& signature, Json::Value root);

    std::string m_profilePath;
    std::string m_defaultPath;
    LightInfoRecord m_lightInfo;
    LightInfoRecord m_defaultLightInfo; // all zero: what a missing "LightInfo" reads as
    std::optional<LightInfoRecord> m_temporaryLight;
    AudioLightInfoRecord m_audioLightInfo;
    std::vector<LightListEntry> m_lightList;
    Json::Value m_active;
    Json::Value m_aux;
    std::string m_configPath;
    std::vector<LedEffectStep> m_ledEffects;
    Json::Value m_config;
    std::vector<KeyListEntry> m_keyList;
    std::vector<KeyListEntry> m_auxKeyList;
    int32_t m_deviceIndex = 0;
    KnownFile m_known;
};

} // namespace velkor
