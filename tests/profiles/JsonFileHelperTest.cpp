#include "platform/JsonFileHelper.h"

#include "ProfileTestSupport.h"

#include <gtest/gtest.h>
#include <json/writer.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkor {
namespace {

using test::ReadRaw;
using test::TempFolder;
using test::WriteRaw;

// Lowers the file size limit so that writes fail midway with EFBIG, the way
// they do on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
};

Json::Value SampleProfile(int marker) {
    Json::Value root(Json::objectValue);
    root["profilename"] = "profile1";
    for (int i = 0; i < 200; ++i) {
        root["Device"][0]["KeyList"][i]["Assignment"] = marker;
    }
    return root;
}

bool NoTemporaryFilesIn(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().find(".tmp-") != std::string::npos) {
            return false;
        }
    }
    return true;
}

// --- Reading ---------------------------------------------------------------

TEST(JsonFileRead, MissingFileReadsAsNullWithStatus) {
    TempFolder folder;
    CJsonFileHelper json;
    EXPECT_TRUE(json.ReadJsonFile(folder.Path("none.Json")).isNull());
    EXPECT_EQ(json.ReadJsonFileDetailed(folder.Path("none.Json")).status, FileReadStatus::Missing);
    EXPECT_EQ(json.ReadTextFile(folder.Path("none.Json")), "");
}

TEST(JsonFileRead, EmptyAndBlankFilesReadAsNullLikeMissingOnes) {
    TempFolder folder;
    CJsonFileHelper json;
    WriteRaw(folder.Path("empty"), "");
    WriteRaw(folder.Path("blank"), " \n\t\r\n");
    EXPECT_TRUE(json.ReadJsonFile(folder.Path("empty")).isNull());
    EXPECT_EQ(json.ReadJsonFileDetailed(folder.Path("empty")).status, FileReadStatus::Empty);
    EXPECT_EQ(json.ReadJsonFileDetailed(folder.Path("blank")).status, FileReadStatus::Empty);
}

TEST(JsonFileRead, AcceptsCommentsAndAnyLayout) {
    TempFolder folder;
    CJsonFileHelper json;
    WriteRaw(folder.Path("c.json"), "// note\n{\"a\" : /* inline */ [1,2,\n3]}");
    Json::Value value = json.ReadJsonFile(folder.Path("c.json"));
    ASSERT_TRUE(value.isObject());
    EXPECT_EQ(value["a"][2].asInt(), 3);
}

TEST(JsonFileRead, TruncatedFileReadsAsNotJson) {
    TempFolder folder;
    CJsonFileHelper json;
    const std::string whole = json.StyledText(SampleProfile(7));
    WriteRaw(folder.Path("t.Json"), whole.substr(0, whole.size() / 2));
    JsonFileContents contents = json.ReadJsonFileDetailed(folder.Path("t.Json"));
    EXPECT_EQ(contents.status, FileReadStatus::NotJson);
    EXPECT_TRUE(contents.value.isNull());
    EXPECT_EQ(contents.text, whole.substr(0, whole.size() / 2)); // kept for the damaged copy
}

TEST(JsonFileRead, TextThatIsNotJsonReadsAsNull) {
    CJsonFileHelper json;
    Json::Value out;
    for (const char* text :
         {"hello", "{\"a\":}", "[1,,2]", "{'a':1}", "\x89PNG\r\n\x1a\n", "{\"a\":1e99999}"}) {
        EXPECT_FALSE(json.ParseJson(text, out)) << text;
        EXPECT_TRUE(out.isNull()) << text;
    }
}

TEST(JsonFileRead, HundredThousandNestedBracketsAreRefusedWithoutCrashing) {
    TempFolder folder;
    CJsonFileHelper json;
    const std::string open(100000, '[');
    WriteRaw(folder.Path("deep1"), open);
    WriteRaw(folder.Path("deep2"), open + std::string(100000, ']'));
    std::string objects;
    for (int i = 0; i < 100000; ++i) {
        objects += "{\"a\":";
    }
    WriteRaw(folder.Path("deep3"), objects);
    EXPECT_TRUE(json.ReadJsonFile(folder.Path("deep1")).isNull());
    EXPECT_TRUE(json.ReadJsonFile(folder.Path("deep2")).isNull());
    EXPECT_TRUE(json.ReadJsonFile(folder.Path("deep3")).isNull());
}

TEST(JsonFileRead, NestingUpToTheLimitIsAccepted) {
    CJsonFileHelper json;
    const int depth = CJsonFileHelper::kMaxJsonDepth - 1;
    Json::Value out;
    EXPECT_TRUE(json.ParseJson(std::string(depth, '[') + std::string(depth, ']'), out));
}

TEST(JsonFileRead, InvalidUtf8InsideStringsIsKeptOutsideIsRefused) {
    CJsonFileHelper json;
    Json::Value out;
    ASSERT_TRUE(json.ParseJson("{\"Name\":\"a\xff\xc3\"}", out));
    EXPECT_EQ(out["Name"].asString(), "a\xff\xc3");
    EXPECT_FALSE(json.ParseJson("\xff{\"Name\":1}", out));
}

TEST(JsonFileRead, NonRegularFilesAreUnreadableAndNeverBlock) {
    TempFolder folder;
    CJsonFileHelper json;
    ASSERT_EQ(::mkfifo(folder.Path("fifo").c_str(), 0600), 0);
    ::mkdir(folder.Path("dir").c_str(), 0700);
    // A FIFO without a writer would block a plain open for reading.
    EXPECT_EQ(json.ReadJsonFileDetailed(folder.Path("fifo")).status, FileReadStatus::Unreadable);
    EXPECT_EQ(json.ReadJsonFileDetailed(folder.Path("dir")).status, FileReadStatus::Unreadable);
}

TEST(JsonFileRead, OversizedFileIsRefusedWithoutLoadingIt) {
    TempFolder folder;
    CJsonFileHelper json;
    WriteRaw(folder.Path("big"), "{}");
    ASSERT_EQ(::truncate(folder.Path("big").c_str(), CJsonFileHelper::kMaxJsonFileSize + 1), 0); // sparse
    std::string text = "x";
    EXPECT_EQ(json.ReadTextFile(folder.Path("big"), text), FileReadStatus::TooLarge);
    EXPECT_TRUE(text.empty());
}

// --- Writing ---------------------------------------------------------------

TEST(JsonFileWrite, WritesStyledTextWithIndentThreeAndOneLineEnd) {
    TempFolder folder;
    CJsonFileHelper json;
    Json::Value value;
    value["a"]["b"] = 1;
    ASSERT_TRUE(json.WriteJsonFile(value, folder.Path("s.json")));
    EXPECT_EQ(ReadRaw(folder.Path("s.json")), "{\n   \"a\" : {\n      \"b\" : 1\n   }\n}\n");
}

TEST(JsonFileWrite, ReplacesTheFileKeepsItsModeAndLeavesNoTemporaryFile) {
    TempFolder folder;
    CJsonFileHelper json;
    const std::string path = folder.Path("p.Json");
    ASSERT_TRUE(json.WriteJsonFile(SampleProfile(1), path));
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(json.WriteJsonFile(SampleProfile(2), path));
    EXPECT_EQ(json.ReadJsonFile(path), SampleProfile(2));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_TRUE(NoTemporaryFilesIn(folder.Path()));
}

TEST(JsonFileWrite, WritingThroughASymbolicLinkKeepsTheLink) {
    TempFolder folder;
    CJsonFileHelper json;
    ::mkdir(folder.Path("real").c_str(), 0700);
    ASSERT_TRUE(json.WriteJsonFile(SampleProfile(1), folder.Path("real/p.Json")));
    ASSERT_EQ(::symlink("real/p.Json", folder.Path("link.Json").c_str()), 0);
    ASSERT_TRUE(json.WriteJsonFile(SampleProfile(3), folder.Path("link.Json")));
    EXPECT_TRUE(std::filesystem::is_symlink(folder.Path("link.Json")));
    EXPECT_EQ(json.ReadJsonFile(folder.Path("real/p.Json")), SampleProfile(3));
}

TEST(JsonFileWrite, FolderThatCannotHoldFilesReportsFailure) {
    TempFolder folder;
    CJsonFileHelper json;
    // Works for root too: no permission bits involved.
    WriteRaw(folder.Path("file"), "x");
    EXPECT_FALSE(json.WriteJsonFile(SampleProfile(1), folder.Path("file/p.Json")));
    EXPECT_FALSE(json.WriteJsonFile(SampleProfile(1), folder.Path("missing/p.Json")));
    EXPECT_FALSE(json.WriteJsonFile(SampleProfile(1), ""));
    EXPECT_EQ(ReadRaw(folder.Path("file")), "x");
}

TEST(JsonFileWrite, ReadOnlyFolderReportsFailureAndKeepsTheOldFile) {
    if (::geteuid() == 0) {
        GTEST_SKIP()
            << "root ignores permission bits; FolderThatCannotHoldFilesReportsFailure covers the failure";
    }
    TempFolder folder;
    CJsonFileHelper json;
    const std::string path = folder.Path("p.Json");
    ASSERT_TRUE(json.WriteJsonFile(SampleProfile(1), path));
    ::chmod(folder.Path().c_str(), 0500);
    EXPECT_FALSE(json.WriteJsonFile(SampleProfile(2), path));
    ::chmod(folder.Path().c_str(), 0700);
    EXPECT_EQ(json.ReadJsonFile(path), SampleProfile(1));
}

TEST(JsonFileWrite, TargetThatIsAFolderReportsFailureAndCleansUp) {
    TempFolder folder;
    CJsonFileHelper json;
    ::mkdir(folder.Path("p.Json").c_str(), 0700);
    EXPECT_FALSE(json.WriteJsonFile(SampleProfile(1), folder.Path("p.Json")));
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path("p.Json")));
    EXPECT_TRUE(NoTemporaryFilesIn(folder.Path()));
}

TEST(JsonFileWrite, FullDiskMidwayReportsFailureAndTheOldFileStillLoads) {
    TempFolder folder;
    CJsonFileHelper json;
    const std::string path = folder.Path("p.Json");
    ASSERT_TRUE(json.WriteJsonFile(SampleProfile(1), path));
    const std::string before = ReadRaw(path);
    ASSERT_GT(before.size(), 2000u);
    {
        FileSizeLimit limit(1000); // the new text is several kilobytes
        EXPECT_FALSE(json.WriteJsonFile(SampleProfile(2), path));
    }
    EXPECT_EQ(ReadRaw(path), before);
    EXPECT_EQ(json.ReadJsonFile(path), SampleProfile(1));
    EXPECT_TRUE(NoTemporaryFilesIn(folder.Path()));
}

TEST(JsonFileWrite, StyledTextMatchesJsoncppsStyledWriter) {
    CJsonFileHelper json;
    std::vector<Json::Value> documents;
    for (const char* text :
         {"null", "5", "\"top\"", "[]", "{}", "[1,2,3]", "[[],{}]", "[[1],{}]", "{\"a\":[],\"b\":{}}",
          "{\"b\":1,\"a\":{\"c\":[1,2],\"d\":[{\"e\":null}]},\"A\":true}",
          "[0.1,-2.5e-7,1e300,-0.0,18446744073709551615,-9223372036854775808,false]",
          "{\"s\":\"quote\\\" back\\\\ tab\\t nl\\n ctl\\u0001 \\u00e4 \\ud83d\\ude00 slash/\"}",
          "[\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\",\"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\"]", // exactly the
                                                                                         // margin: several
                                                                                         // lines
          "[\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\",\"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\"]",  // one short of it:
                                                                                         // one line
          "[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24]",
          "[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25]", "[[[[]]],[[\"x\"]]]",
          "{\"\":{\"\":[]}}"}) {
        Json::Value value;
        ASSERT_TRUE(json.ParseJson(text, value)) << text;
        documents.push_back(value);
    }
    Json::Value invalidUtf8;
    invalidUtf8["k\xc3"] = "a\xff\xc3\xa4\xe2\x82";
    documents.push_back(invalidUtf8);
    documents.push_back(SampleProfile(3));
    for (const Json::Value& value : documents) {
        Json::StyledWriter writer;
        EXPECT_EQ(json.StyledText(value), writer.write(value)) << writer.write(value);
    }
}

TEST(JsonFileWrite, StringsAndNamesWithNulBytesRoundTrip) {
    CJsonFileHelper json;
    Json::Value value;
    value[std::string("k\0ey", 4)] = std::string("a\0b\xc3\xa4", 5);
    Json::Value back;
    ASSERT_TRUE(json.ParseJson(json.StyledText(value), back));
    EXPECT_EQ(back, value);
}

// --- Names -----------------------------------------------------------------

TEST(JsonFileNames, TimeStampHasTheIdentifierFormat) {
    std::tm local{};
    local.tm_year = 2023 - 1900;
    local.tm_mon = 6;
    local.tm_mday = 4;
    local.tm_hour = 9;
    local.tm_min = 5;
    local.tm_sec = 3;
    EXPECT_EQ(CJsonFileHelper::FormatTimeStamp(local, 42), "2023_07_04_09_05_03_042");
    // The millisecond comes from the given time, whatever the local time zone.
    const auto when = std::chrono::system_clock::time_point(std::chrono::milliseconds(1688461503042));
    const std::string stamp = CJsonFileHelper().MakeTimeStamp(when);
    ASSERT_EQ(stamp.size(), 23u);
    EXPECT_EQ(stamp.substr(20), "042");
}

TEST(JsonFileNames, FileTitleDropsFolderAndLastExtension) {
    CJsonFileHelper json;
    EXPECT_EQ(json.GetFileTitle("/home/u/My Keys.json"), "My Keys");
    EXPECT_EQ(json.GetFileTitle("/a/b.c.Json"), "b.c");
    EXPECT_EQ(json.GetFileTitle("plain"), "plain");
    EXPECT_EQ(json.GetFileTitle("/a.d/plain"), "plain");
}

} // namespace
} // namespace velkor
