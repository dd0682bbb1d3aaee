// How a row's request is built and its answer read; the update list and the
// configuration. Pure functions: no server here.
#include "update/UpdateCheck.h"
#include "profiles/SettingsFile.h"
#include "support/ScratchFolder.h"
#include "update/UpdateConfig.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace velkor::test {
namespace {

UpdateItem Firmware(uint32_t version) {
    UpdateItem item;
    item.type = 1;
    item.version = version;
    item.displayName = "MS";
    return item;
}

UpdateItem Application(const char* dotted) {
    UpdateItem item;
    item.type = 0;
    item.version = InstalledVersionFrom(dotted);
    item.versionText = std::string("V") + dotted;
    item.displayName = "AP";
    return item;
}

struct Answer {
    const char* label;
    bool firmware;
    int64_t received; // what the request returned (-1 and 0 as the client says; 1: the body's length)
    int status;
    std::string body;
    bool failed;
    int rowStatus;
    const char* current;
    const char* latest;
};

class AnswerCases : public ::testing::TestWithParam<Answer> {};

TEST_P(AnswerCases, RowAsShown) {
    const Answer& a = GetParam();
    const UpdateItem item = a.firmware ? Firmware(0x0103) : Application("2.5.0.4");
    const std::span bytes(reinterpret_cast<const uint8_t*>(a.body.data()), a.body.size());
    const UpdateResult result =
        ReadUpdateAnswer(item, a.received == 1 ? int64_t(a.body.size()) : a.received, a.status, bytes);
    EXPECT_EQ(result.failed, a.failed) << result.why;
    EXPECT_EQ(result.status, a.rowStatus);
    EXPECT_EQ(result.name, item.displayName);
    EXPECT_EQ(result.currentText, a.current);
    EXPECT_EQ(result.latestText, a.latest);
}

const std::string kDeep = std::string(40, '[') + std::string(40, ']');

INSTANTIATE_TEST_SUITE_P(
    Table, AnswerCases,
    ::testing::Values(
        Answer{"newer_firmware", true, 1, 200, R"({"version":"104","name":"x"})", false, 1, "V0103", "V104"},
        Answer{"same_firmware", true, 1, 200, R"({"version":"103"})", false, 7, "V0103", ""},
        Answer{"hex_not_decimal", true, 1, 200, R"({"version":"10a"})", false, 1, "V0103", "V10a"},
        Answer{"trailing_x", true, 1, 200, R"({"version":"10x"})", true, 7, "V0103", ""},
        Answer{"empty_version", true, 1, 200, R"({"version":""})", true, 7, "V0103", ""},
        Answer{"negative", true, 1, 200, R"({"version":"-1"})", true, 7, "V0103", ""},
        Answer{"past_32_bits", true, 1, 200, R"({"version":"100000000"})", true, 7, "V0103", ""},
        Answer{"number_not_string", true, 1, 200, R"({"version":260})", true, 7, "V0103", ""},
        Answer{"error_status", true, 1, 500, R"({"version":"104"})", true, 7, "V0103", ""},
        Answer{"not_an_object", true, 1, 200, R"(["104"])", true, 7, "V0103", ""},
        Answer{"text_after_object", true, 1, 200, R"({"version":"104"} {})", true, 7, "V0103", ""},
        Answer{"too_deep", true, 1, 200, R"({"version":"104","a":)" + kDeep + "}", true, 7, "V0103", ""},
        Answer{"no_link_server", true, 0, 0, "NO_LINK_SERVER", true, 7, "V0103", ""},
        Answer{"failed_request", true, -1, 0, "", true, 7, "V0103", ""},
        Answer{"application_newer", false, 1, 200,
               "{\"version\":\"2600\",\"version_name\":\"<b>2.6</b>\\u0007\"}", false, 1, "V2504",
               "<b>2.6</b>"},
        Answer{"application_same", false, 1, 200, R"({"version":"2504","version_name":"2.5.0.4"})", false, 7,
               "V2504", ""},
        Answer{"application_hex_refused", false, 1, 200, R"({"version":"a00"})", true, 7, "V2.5.0.4", ""}),
    [](const ::testing::TestParamInfo<Answer>& info) { return std::string(info.param.label); });

TEST(UpdateCheck, TheFormIsPercentEncodedWithHexForFirmwareAndDecimalForTheApplication) {
    EXPECT_EQ(UpdateFormBody("VELKOR_1_VK M&1_mouse_1", 0x0103, true),
              "app_key=VELKOR_1_VK%20M%261_mouse_1&version=103");
    EXPECT_EQ(UpdateFormBody("A_0_B_app_4", 2504, false), "app_key=A_0_B_app_4&version=2504");
    UpdateItem item = Firmware(0x0210);
    item.vendor = "V";
    item.productCode = "P";
    item.productKind = "mouse";
    item.keyNumber = 7;
    EXPECT_EQ(BuildAppKey(item), "V_1_P_mouse_7");
    item.version = 0;
    EXPECT_EQ(BuildAppKey(item), "NULL");
}

TEST(UpdateCheck, ServerTextsBecomePlainShortValidText) {
    EXPECT_EQ(CleanServerText("ok\xC3\xA9\x01\n"), "ok\xC3\xA9");
    EXPECT_EQ(CleanServerText("a\xFF"
                              "b\xC0\xAF"),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(CleanServerText("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD") << "a surrogate";
    EXPECT_EQ(CleanServerText(std::string(100, 'x')).size(), 64u);
    std::string accents;
    for (int i = 0; i < 70; ++i) {
        accents += "\xC3\xA9";
    }
    EXPECT_EQ(CleanServerText(accents).size(), 128u) << "64 characters, not 64 bytes";
    EXPECT_EQ(CleanServerText("%s%n"), "%s%n") << "kept as text, never used as a format";
}

// The shipped table and the list built from what is attached, matched by identity.
TEST(UpdateList, RowsFollowTheirOwnDevicesNotListPositions) {
    std::vector<UpdateItem> table;
    std::string why;
    const auto shipped = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() /
                         "DefaultData" / kUpdateItemsFileName;
    ASSERT_TRUE(ReadUpdateItems(shipped.string(), table, &why)) << why;
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(InstalledVersionFrom("0.1.0"), 10u);
    EXPECT_EQ(InstalledVersionFrom("2.5.0.4"), 2504u);
    EXPECT_EQ(InstalledVersionFrom("1.x"), 0u);

    // The keyboard first, a wired keyboard of another model, the mouse third.
    const std::vector<AttachedInterface> attached = {
        {0x320F, 0x50B7, 0x0104}, {0x320F, 0x511D, 0x0101}, {0x320F, 0x7070, 0x0210}};
    const std::vector<UpdateItem> rows = BuildUpdateList(table, attached, 10, "0.1.0");
    ASSERT_EQ(rows.size(), 3u) << "the second mouse row has no device";
    EXPECT_EQ(rows[0].displayName, "MS");
    EXPECT_EQ(rows[0].version, 0x0210u);
    EXPECT_EQ(rows[1].displayName, "R31");
    EXPECT_EQ(rows[1].version, 0x0104u);
    EXPECT_EQ(rows[2].displayName, "AP");
    EXPECT_EQ(rows[2].version, 10u);
    EXPECT_EQ(CurrentVersionText(rows[2]), "V0.1.0");
    EXPECT_EQ(CurrentVersionText(rows[0]), "V0210");
    EXPECT_EQ(BuildUpdateList(table, {}, 0, "").size(), 0u) << "nothing attached, no version: no rows";
}

struct ConfigCase {
    const char* label;
    const char* commandLine;
    const char* environment;
    const char* settings; // "UpdateServer" in the settings file
    bool ok;
    const char* url;
};

class ConfigCases : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(ConfigCases, FirstSourceWins) {
    const ConfigCase& c = GetParam();
    ScratchFolder folder;
    const std::string path = SettingsFilePath(folder.Path().c_str(), nullptr);
    if (*c.settings != '\0') {
        ASSERT_TRUE(WriteSetting(path, kSettingUpdateServer, c.settings));
    }
    ASSERT_TRUE(WriteSetting(path, kSettingUpdateCaFile, "/etc/velkor-ca.pem"));
    UpdateServerConfig config;
    std::string why;
    EXPECT_EQ(
        ResolveUpdateServer(
            {.commandLineServer = c.commandLine, .environmentServer = c.environment, .settingsPath = path},
            config, &why),
        c.ok)
        << why;
    EXPECT_EQ(config.baseUrl, c.url);
    EXPECT_EQ(config.caFile, "/etc/velkor-ca.pem");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConfigCases,
    ::testing::Values(ConfigCase{"none", "", "", "", true, ""},
                      ConfigCase{"settings", "", "", "https://u.example/api/", true,
                                 "https://u.example/api/"},
                      ConfigCase{"environment_first", "", "https://e.example/api/", "https://u.example/api/",
                                 true, "https://e.example/api/"},
                      ConfigCase{"command_line_first", "http://127.0.0.1:8/api/", "https://e.example/api/",
                                 "", true, "http://127.0.0.1:8/api/"},
                      ConfigCase{"plain_http_elsewhere", "http://u.example/api/", "", "", false, ""},
                      ConfigCase{"not_api", "https://u.example/v2/", "", "", false, ""},
                      ConfigCase{"query", "https://u.example/api/?x=/api/", "", "", false, ""}),
    [](const ::testing::TestParamInfo<ConfigCase>& info) { return std::string(info.param.label); });

} // namespace
} // namespace velkor::test
