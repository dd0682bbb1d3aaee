// GNOME keeps the pointer settings in GSettings, schema
// org.gnome.desktop.peripherals.mouse. They hold for every mouse at once: GNOME
// has no per-device pointer settings, so the family's mice cannot be singled out.
//
// GIO aborts the process when a GSettings object is made for a schema that is
// not installed, or when a key is missing or read with the wrong type; so the
// schema is looked up first and every key and its type are checked before use.
#include "platform/desktop/PointerBackend.h"

#include <gio/gio.h>

#include <algorithm>
#include <string>

namespace velkor {
namespace {

constexpr const char* kMouseSchema = "org.gnome.desktop.peripherals.mouse";

struct GnomeKey {
    const char* name;
    const char* type; // GVariant type; an enumerated key is a string
};

// GNOME has no wheel-lines or page-scroll setting.
const GnomeKey* KeyOf(PointerSetting setting) {
    static constexpr GnomeKey kSpeed{"speed", "d"};              // -1..1
    static constexpr GnomeKey kProfile{"accel-profile", "s"};    // 'default', 'flat', 'adaptive'
    static constexpr GnomeKey kDoubleClick{"double-click", "i"}; // milliseconds
    switch (setting) {
    case PointerSetting::Speed:
        return &kSpeed;
    case PointerSetting::Precision:
        return &kProfile;
    case PointerSetting::DoubleClick:
        return &kDoubleClick;
    case PointerSetting::WheelLines:
    case PointerSetting::PageScroll:
        break;
    }
    return nullptr;
}

GVariant* ToVariant(PointerSetting setting, int value) {
    switch (setting) {
    case PointerSetting::Speed:
        return g_variant_new_double(SpeedToAcceleration(value));
    case PointerSetting::Precision:
        return g_variant_new_string(value != 0 ? "adaptive" : "flat");
    default:
        return g_variant_new_int32(value);
    }
}

PointerResult FromVariant(PointerSetting setting, GVariant* value) {
    switch (setting) {
    case PointerSetting::Speed:
        if (std::optional<int> speed = AccelerationToSpeed(g_variant_get_double(value))) {
            return PointerResult::Ok(*speed);
        }
        return PointerResult::Failed("GNOME's pointer speed is not a number");
    case PointerSetting::Precision:
        // 'default' leaves the choice to the device, which is adaptive for mice.
        return PointerResult::Ok(std::string(g_variant_get_string(value, nullptr)) == "flat" ? 0 : 1);
    default: {
        const PointerSettingInfo& info = PointerSettingInfoOf(setting);
        return PointerResult::Ok(std::clamp<int>(g_variant_get_int32(value), info.minimum, info.maximum));
    }
    }
}

class GnomePointerBackend final : public PointerBackend {
public:
    explicit GnomePointerBackend(const std::string& schemaFolder) {
        GSettingsSchemaSource* source = OpenSource(schemaFolder);
        if (source == nullptr) {
            return;
        }
        m_schema = g_settings_schema_source_lookup(source, kMouseSchema, TRUE);
        g_settings_schema_source_unref(source);
        if (m_schema == nullptr) {
            m_missing = std::string("the GSettings schema ") + kMouseSchema +
                        " is not installed (package gsettings-desktop-schemas)";
            return;
        }
        // A relocatable schema would need a path, and GIO aborts without one.
        if (g_settings_schema_get_path(m_schema) == nullptr) {
            m_missing = std::string("the GSettings schema ") + kMouseSchema + " has no fixed path";
            return;
        }
        m_settings = g_settings_new_full(m_schema, nullptr, nullptr);
    }

    ~GnomePointerBackend() override {
        if (m_settings != nullptr) {
            g_object_unref(m_settings);
        }
        if (m_schema != nullptr) {
            g_settings_schema_unref(m_schema);
        }
    }
    GnomePointerBackend(const GnomePointerBackend&) = delete;
    GnomePointerBackend& operator=(const GnomePointerBackend&) = delete;

    std::string Name() const override { return "GNOME (GSettings)"; }

    PointerResult Read(PointerSetting setting) override {
        const GnomeKey* key = nullptr;
        if (PointerResult usable = Usable(setting, key); !usable.IsOk()) {
            return usable;
        }
        GVariant* value = g_settings_get_value(m_settings, key->name);
        PointerResult result = FromVariant(setting, value);
        g_variant_unref(value);
        return result;
    }

    PointerResult Apply(PointerSetting setting, int value) override {
        const GnomeKey* key = nullptr;
        if (PointerResult usable = Usable(setting, key); !usable.IsOk()) {
            return usable;
        }
        GVariant* variant = g_variant_ref_sink(ToVariant(setting, value));
        PointerResult written = Write(*key, variant);
        g_variant_unref(variant);
        if (!written.IsOk()) {
            return written;
        }
        g_settings_sync(); // hand the write to the settings daemon before reading back
        PointerResult back = Read(setting);
        if (!back.IsOk()) {
            return PointerResult::Failed("written, but not read back: " + back.reason);
        }
        if (back.value != value) {
            return PointerResult::Failed("GNOME holds " + std::to_string(back.value) + " after " +
                                         std::to_string(value) + " was written");
        }
        return back;
    }

private:
    // The system's schemas, or those compiled in `folder`. Null (with m_missing) when there are none.
    GSettingsSchemaSource* OpenSource(const std::string& folder) {
        if (folder.empty()) {
            GSettingsSchemaSource* source = g_settings_schema_source_get_default();
            if (source == nullptr) {
                m_missing = "no GSettings schemas are installed";
                return nullptr;
            }
            return g_settings_schema_source_ref(source);
        }
        GError* error = nullptr;
        // Not trusted: the file is checked, so a damaged one is an error rather than a crash.
        GSettingsSchemaSource* source =
            g_settings_schema_source_new_from_directory(folder.c_str(), nullptr, FALSE, &error);
        if (source == nullptr) {
            m_missing = "the GSettings schemas in " + folder +
                        " cannot be read: " + (error != nullptr ? error->message : "unknown error");
            g_clear_error(&error);
        }
        return source;
    }

    // Ok when `setting` has a key of the expected type in this GNOME's schema.
    PointerResult Usable(PointerSetting setting, const GnomeKey*& key) const {
        key = KeyOf(setting);
        if (key == nullptr) {
            return PointerResult::NotOffered(std::string("GNOME has no ") +
                                             PointerSettingInfoOf(setting).name + " setting");
        }
        if (m_settings == nullptr) {
            return PointerResult::NotOffered(m_missing);
        }
        if (!g_settings_schema_has_key(m_schema, key->name)) {
            return PointerResult::NotOffered(std::string("this GNOME's ") + kMouseSchema + " has no key \"" +
                                             key->name + "\"");
        }
        GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(m_schema, key->name);
        const bool typeMatches =
            g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey), G_VARIANT_TYPE(key->type));
        g_settings_schema_key_unref(schemaKey);
        if (!typeMatches) {
            return PointerResult::NotOffered(std::string("this GNOME keeps \"") + key->name +
                                             "\" in a form this program does not know");
        }
        return PointerResult::Ok(0);
    }

    PointerResult Write(const GnomeKey& key, GVariant* value) {
        GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(m_schema, key.name);
        const bool inRange = g_settings_schema_key_range_check(schemaKey, value);
        g_settings_schema_key_unref(schemaKey);
        if (!inRange) {
            gchar* text = g_variant_print(value, FALSE);
            PointerResult result = PointerResult::NotOffered(std::string("this GNOME does not accept ") +
                                                             text + " for \"" + key.name + "\"");
            g_free(text);
            return result;
        }
        if (!g_settings_is_writable(m_settings, key.name)) {
            return PointerResult::Failed(std::string("GNOME's \"") + key.name +
                                         "\" is locked by the administrator");
        }
        if (!g_settings_set_value(m_settings, key.name, value)) {
            return PointerResult::Failed(std::string("GNOME refused the new value of \"") + key.name + "\"");
        }
        return PointerResult::Ok(0);
    }

    GSettingsSchema* m_schema = nullptr;
    GSettings* m_settings = nullptr; // null while m_missing says why
    std::string m_missing;
};

} // namespace

std::unique_ptr<PointerBackend> MakeGnomePointerBackend(const std::string& schemaFolder) {
    return std::make_unique<GnomePointerBackend>(schemaFolder);
}

} // namespace velkor
