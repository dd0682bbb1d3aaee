// The GNOME back end on GIO's in-memory store (the test main selects it): the
// installed schema both ways for a table of values, a profile record applied
// field by field, and schema folders that lack the schema or its keys, which
// must make settings NotOffered and never abort the process.
#include "platform/desktop/DesktopPointerSettings.h"
#include "profiles/MousePointerValues.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <string>

namespace velkor {
namespace {

constexpr const char* kSchema = "org.gnome.desktop.peripherals.mouse";

size_t Index(PointerSetting setting) {
    return static_cast<size_t>(setting);
}

// Direct access to the keys, beside the back end, on the same in-memory store.
class DesktopPointerGnome : public testing::Test {
protected:
    void SetUp() override {
        GSettingsSchemaSource* source = g_settings_schema_source_get_default();
        GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, kSchema, TRUE) : nullptr;
        if (schema == nullptr) {
            GTEST_SKIP() << kSchema << " is not installed (package gsettings-desktop-schemas)";
        }
        g_settings_schema_unref(schema);
        m_raw = g_settings_new(kSchema);
        for (const char* key : {"speed", "accel-profile", "double-click"}) {
            g_settings_reset(m_raw, key);
        }
    }
    void TearDown() override {
        if (m_raw != nullptr) {
            g_object_unref(m_raw);
        }
    }

    // The stored value of `key` equals `text` (GVariant text form).
    ::testing::AssertionResult Stored(const char* key, const char* text) {
        GVariant* stored = g_settings_get_value(m_raw, key);
        GVariant* expected = g_variant_parse(g_variant_get_type(stored), text, nullptr, nullptr, nullptr);
        gchar* printed = g_variant_print(stored, TRUE);
        const bool same = expected != nullptr && g_variant_equal(stored, expected);
        ::testing::AssertionResult result = same ? ::testing::AssertionSuccess()
                                                 : ::testing::AssertionFailure()
                                                       << key << " holds " << printed;
        g_free(printed);
        g_variant_unref(stored);
        if (expected != nullptr) {
            g_variant_unref(expected);
        }
        return result;
    }

    void Store(const char* key, const char* text) {
        GVariant* current = g_settings_get_value(m_raw, key);
        GVariant* value = g_variant_parse(g_variant_get_type(current), text, nullptr, nullptr, nullptr);
        g_variant_unref(current);
        ASSERT_NE(value, nullptr) << text;
        const bool stored = g_settings_set_value(m_raw, key, value);
        g_variant_unref(value); // a parsed value is not floating: the settings took a reference of their own
        ASSERT_TRUE(stored);
    }

    GSettings* m_raw = nullptr;
};

struct GnomeRow {
    PointerSetting setting;
    int applied;     // applied through the back end; -1: `raw` is stored directly instead
    const char* key; // the key GNOME keeps it in
    const char* raw; // the key's value, in GVariant text form
    int read;        // what the back end reads from it
};

class DesktopPointerGnomeMapping : public DesktopPointerGnome,
                                   public testing::WithParamInterface<GnomeRow> {};

TEST_P(DesktopPointerGnomeMapping, ProfileValueAndKeyMapBothWays) {
    const GnomeRow& row = GetParam();
    DesktopPointerSettings settings(DesktopPointerOptions{.currentDesktop = "GNOME"});
    if (row.applied >= 0) {
        const PointerResult applied = settings.Apply(row.setting, row.applied);
        ASSERT_TRUE(applied.IsOk()) << applied.reason;
        EXPECT_EQ(applied.value, row.read);
        EXPECT_TRUE(Stored(row.key, row.raw));
    } else {
        ASSERT_NO_FATAL_FAILURE(Store(row.key, row.raw));
    }
    const PointerResult read = settings.Read(row.setting);
    ASSERT_TRUE(read.IsOk()) << read.reason;
    EXPECT_EQ(read.value, row.read);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DesktopPointerGnomeMapping,
    testing::Values(GnomeRow{PointerSetting::Speed, 1, "speed", "-0.9", 1},
                    GnomeRow{PointerSetting::Speed, 10, "speed", "0.0", 10},
                    GnomeRow{PointerSetting::Speed, 13, "speed", "0.3", 13},
                    GnomeRow{PointerSetting::Speed, 20, "speed", "1.0", 20},
                    GnomeRow{PointerSetting::Speed, -1, "speed", "-1.0", 1},
                    GnomeRow{PointerSetting::Speed, -1, "speed", "0.34", 13},
                    GnomeRow{PointerSetting::Precision, 0, "accel-profile", "'flat'", 0},
                    GnomeRow{PointerSetting::Precision, 1, "accel-profile", "'adaptive'", 1},
                    GnomeRow{PointerSetting::Precision, -1, "accel-profile", "'default'", 1},
                    GnomeRow{PointerSetting::DoubleClick, 200, "double-click", "200", 200},
                    GnomeRow{PointerSetting::DoubleClick, 900, "double-click", "900", 900},
                    GnomeRow{PointerSetting::DoubleClick, -1, "double-click", "1500", 900}));

TEST_F(DesktopPointerGnome, ARecordAppliesFieldByFieldAndAnUnsetFieldLeavesTheDesktopAlone) {
    DesktopPointerSettings settings(DesktopPointerOptions{.currentDesktop = "ubuntu:GNOME"});
    EXPECT_EQ(settings.BackendName(), "GNOME (GSettings)");
    MouseSystemRecord record;
    record.mouseSpeed = 12;
    record.pointerPrecision = 0;
    record.doubleClickTime = 0; // never set in this profile
    record.wheelScrollLines = 4;
    record.scrollPage = 1;

    const PointerResults results = settings.Apply(PointerValuesOf(record));
    EXPECT_EQ(results[Index(PointerSetting::Speed)].value, 12);
    EXPECT_TRUE(Stored("speed", "0.2"));
    EXPECT_TRUE(results[Index(PointerSetting::Precision)].IsOk());
    EXPECT_TRUE(Stored("accel-profile", "'flat'"));
    EXPECT_EQ(results[Index(PointerSetting::DoubleClick)].status, PointerStatus::Failed);
    EXPECT_TRUE(Stored("double-click", "400"));
    EXPECT_EQ(results[Index(PointerSetting::WheelLines)].status, PointerStatus::NotOffered);
    EXPECT_EQ(results[Index(PointerSetting::PageScroll)].status, PointerStatus::NotOffered);
}

struct SchemaRow {
    const char* folder;
    PointerStatus speed; // precision and double-click are NotOffered in every row
    const char* reason;  // part of speed's reason when it is NotOffered
};

class DesktopPointerGnomeSchema : public testing::TestWithParam<SchemaRow> {};

// Each row would abort the process if a GSettings object or a key were used unchecked.
TEST_P(DesktopPointerGnomeSchema, AMissingSchemaOrKeyIsNotOffered) {
    const SchemaRow& row = GetParam();
    DesktopPointerSettings settings(
        DesktopPointerOptions{.currentDesktop = "GNOME", .schemaFolder = row.folder});
    for (PointerSetting setting :
         {PointerSetting::Speed, PointerSetting::Precision, PointerSetting::DoubleClick}) {
        const PointerStatus expected =
            setting == PointerSetting::Speed ? row.speed : PointerStatus::NotOffered;
        const int middle =
            (PointerSettingInfoOf(setting).minimum + PointerSettingInfoOf(setting).maximum) / 2;
        for (const PointerResult& result : {settings.Read(setting), settings.Apply(setting, middle)}) {
            EXPECT_EQ(result.status, expected) << PointerSettingInfoOf(setting).name << ": " << result.reason;
            if (expected == PointerStatus::NotOffered && setting == PointerSetting::Speed) {
                EXPECT_NE(result.reason.find(row.reason), std::string::npos) << result.reason;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, DesktopPointerGnomeSchema,
    testing::Values(
        // Compiled, but without the mouse schema.
        SchemaRow{VELKOR_TEST_SCHEMAS "/other", PointerStatus::NotOffered, "is not installed"},
        // Schema sources only, nothing compiled.
        SchemaRow{VELKOR_TEST_SCHEMA_SOURCES "/other", PointerStatus::NotOffered, "cannot be read"},
        // A mouse schema with speed only, and a double-click key of another type.
        SchemaRow{VELKOR_TEST_SCHEMAS "/old", PointerStatus::Ok, ""}));

struct DesktopRow {
    const char* currentDesktop;
    PointerDesktop desktop;
};

class DesktopPointerChoice : public testing::TestWithParam<DesktopRow> {};

TEST_P(DesktopPointerChoice, TheDesktopListPicksTheBackEnd) {
    EXPECT_EQ(PointerDesktopOf(GetParam().currentDesktop), GetParam().desktop) << GetParam().currentDesktop;
}

INSTANTIATE_TEST_SUITE_P(Names, DesktopPointerChoice,
                         testing::Values(DesktopRow{"GNOME", PointerDesktop::Gnome},
                                         DesktopRow{"ubuntu:GNOME", PointerDesktop::Gnome},
                                         DesktopRow{"GNOME-Classic:GNOME", PointerDesktop::Gnome},
                                         DesktopRow{"KDE", PointerDesktop::KdePlasma},
                                         DesktopRow{"X-Cinnamon", PointerDesktop::Other},
                                         DesktopRow{"GNOME-Flashback", PointerDesktop::Other},
                                         DesktopRow{"XFCE", PointerDesktop::Other},
                                         DesktopRow{"", PointerDesktop::Other}));

TEST(DesktopPointerOther, EverySettingSaysWhichDesktopDoesNotOfferIt) {
    DesktopPointerSettings settings(DesktopPointerOptions{.currentDesktop = "XFCE"});
    EXPECT_EQ(settings.BackendName(), "none: XFCE");
    const PointerResults results = settings.Apply(PointerValues{12, 1, 500, 3, 0});
    for (const PointerResults& all : {results, settings.Read()}) {
        for (const PointerResult& result : all) {
            EXPECT_EQ(result.status, PointerStatus::NotOffered);
            EXPECT_NE(result.reason.find("XFCE"), std::string::npos) << result.reason;
        }
    }
}

} // namespace
} // namespace velkor
