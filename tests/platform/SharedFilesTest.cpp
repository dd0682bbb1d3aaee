// The shared file primitives every file of the system goes through: the JSON
// reader's rules, whole-file reads, the atomic writer and the environment value.
#include "platform/AtomicFile.h"
#include "platform/Environment.h"
#include "platform/JsonText.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include <sys/stat.h>
#include <unistd.h>

namespace velkor {
namespace {

namespace fs = std::filesystem;

// One test's folder, with names inside it.
class Scratch {
public:
    std::string Path(const std::string& name) const { return m_folder.Path() + "/" + name; }
    std::string Folder() const { return m_folder.Path(); }

private:
    test::ScratchFolder m_folder{"velkor_files_"};
};

void Put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool NoTemporaryFilesIn(const std::string& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().find(".tmp-") != std::string::npos) {
            return false;
        }
    }
    return true;
}

// --- The reader's rules ------------------------------------------------------

struct ParseCase {
    const char* name;
    std::string text;
    JsonReadRules rules;
    bool parses;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class JsonReaderRules : public ::testing::TestWithParam<ParseCase> {};

TEST_P(JsonReaderRules, ParseOrNullNeverThrow) {
    const ParseCase& c = GetParam();
    Json::Value value(123); // must be replaced either way
    std::string errors;
    EXPECT_EQ(ParseJson(c.text, value, c.rules, &errors), c.parses);
    if (c.parses) {
        EXPECT_FALSE(value.isNull());
    } else {
        EXPECT_TRUE(value.isNull());
        EXPECT_FALSE(errors.empty()) << "a refusal says why";
    }
}

std::string Nested(int depth) {
    return std::string(size_t(depth), '[') + std::string(size_t(depth), ']');
}

const JsonReadRules kExact{.exact = true};
const JsonReadRules kStrict{.comments = false, .exact = true, .trailingCommas = false};

INSTANTIATE_TEST_SUITE_P(
    Table, JsonReaderRules,
    ::testing::Values(ParseCase{"plain_object", R"({"a": [1, 2]})", {}, true},
                      ParseCase{"damaged_truncated", R"({"a": [1, 2)", {}, false},
                      ParseCase{"damaged_not_json", "profile=1", {}, false},
                      ParseCase{"empty_text", "", {}, false},
                      ParseCase{"comments_allowed", "// ours\n{\"a\": 1 /* one */}", {}, true},
                      ParseCase{"comments_refused", "// theirs\n{\"a\": 1}", kStrict, false},
                      ParseCase{"trailing_comma_allowed", "[1, 2,]", {}, true},
                      ParseCase{"trailing_comma_refused", "[1, 2,]", kStrict, false},
                      ParseCase{"garbage_after_value_ignored", "{\"a\": 1} x", {}, true},
                      ParseCase{"garbage_after_value_refused", "{\"a\": 1} x", kExact, false},
                      ParseCase{"duplicate_names_refused", R"({"a": 1, "a": 2})", kExact, false},
                      ParseCase{"scalar_root_refused", "7", kExact, false},
                      ParseCase{"at_the_depth_limit", Nested(kMaxJsonDepth), {}, true},
                      ParseCase{"over_the_depth_limit", Nested(kMaxJsonDepth + 1), {}, false},
                      ParseCase{"over_a_small_limit", Nested(21), {.maxDepth = 20}, false},
                      ParseCase{"hundred_thousand_brackets", Nested(100000), {}, false}));

// --- Whole-file reads --------------------------------------------------------

struct ReadCase {
    const char* name;
    std::function<std::string(const Scratch&)> make; // returns the path to read
    int64_t maxSize;
    FileReadStatus status;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class WholeFileReads : public ::testing::TestWithParam<ReadCase> {};

TEST_P(WholeFileReads, GiveTheStatusAndNothingElseOnFailure) {
    const ReadCase& c = GetParam();
    Scratch scratch;
    const std::string path = c.make(scratch);
    std::string text = "left over";
    FileSignature signature;
    EXPECT_EQ(ReadWholeFile(path, text, &signature, c.maxSize), c.status);
    if (c.status == FileReadStatus::Ok) {
        EXPECT_EQ(text, Get(path));
        EXPECT_EQ(signature, SignatureOf(path));
    } else if (c.status != FileReadStatus::Empty) {
        EXPECT_TRUE(text.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, WholeFileReads,
    ::testing::Values(ReadCase{"regular",
                               [](const Scratch& s) {
                                   Put(s.Path("f"), "{}");
                                   return s.Path("f");
                               },
                               kMaxReadFileSize, FileReadStatus::Ok},
                      ReadCase{"missing", [](const Scratch& s) { return s.Path("none"); }, kMaxReadFileSize,
                               FileReadStatus::Missing},
                      ReadCase{"missing_folder", [](const Scratch& s) { return s.Path("none/f"); },
                               kMaxReadFileSize, FileReadStatus::Missing},
                      ReadCase{"blank",
                               [](const Scratch& s) {
                                   Put(s.Path("f"), " \n\t");
                                   return s.Path("f");
                               },
                               kMaxReadFileSize, FileReadStatus::Empty},
                      ReadCase{"over_the_limit",
                               [](const Scratch& s) {
                                   Put(s.Path("f"), std::string(65, 'x'));
                                   return s.Path("f");
                               },
                               64, FileReadStatus::TooLarge},
                      ReadCase{"a_folder", [](const Scratch& s) { return s.Folder(); }, kMaxReadFileSize,
                               FileReadStatus::Unreadable},
                      ReadCase{"a_fifo_without_writer",
                               [](const Scratch& s) {
                                   ::mkfifo(s.Path("fifo").c_str(), 0600);
                                   return s.Path("fifo");
                               },
                               kMaxReadFileSize, FileReadStatus::Unreadable}));

// --- The atomic writer -------------------------------------------------------

struct WriteCase {
    const char* name;
    // Prepares the scratch folder and returns the path to write.
    std::function<std::string(const Scratch&)> make;
    AtomicWriteOptions options;
    bool written;
    // What must hold afterwards (old content whole, link kept, mode, ...).
    std::function<void(const Scratch&, const std::string& path)> check;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

class AtomicWrites : public ::testing::TestWithParam<WriteCase> {};

TEST_P(AtomicWrites, ReplaceWholeOrLeaveTheOldFileWhole) {
    const WriteCase& c = GetParam();
    Scratch scratch;
    const std::string path = c.make(scratch);
    FileSignature signature;
    EXPECT_EQ(WriteFileAtomically("new", path, &signature, c.options), c.written);
    if (c.written) {
        EXPECT_EQ(Get(path), "new");
        EXPECT_EQ(signature, SignatureOf(path));
    }
    c.check(scratch, path);
    EXPECT_TRUE(NoTemporaryFilesIn(scratch.Folder()));
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

bool IsLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AtomicWrites,
    ::testing::Values(
        WriteCase{"new_file_gets_0644",
                  [](const Scratch& s) { return s.Path("f"); },
                  {},
                  true,
                  [](const Scratch&, const std::string& p) { EXPECT_EQ(ModeOf(p), 0644u); }},
        WriteCase{"replacement_keeps_the_mode",
                  [](const Scratch& s) {
                      Put(s.Path("f"), "old");
                      ::chmod(s.Path("f").c_str(), 0640);
                      return s.Path("f");
                  },
                  {},
                  true,
                  [](const Scratch&, const std::string& p) { EXPECT_EQ(ModeOf(p), 0640u); }},
        WriteCase{"mode_given",
                  [](const Scratch& s) {
                      Put(s.Path("f"), "old");
                      return s.Path("f");
                  },
                  {.mode = 0600},
                  true,
                  [](const Scratch&, const std::string& p) { EXPECT_EQ(ModeOf(p), 0600u); }},
        WriteCase{"link_followed_stays_a_link",
                  [](const Scratch& s) {
                      Put(s.Path("target"), "old");
                      fs::create_symlink(s.Path("target"), s.Path("link"));
                      return s.Path("link");
                  },
                  {},
                  true,
                  [](const Scratch& s, const std::string& p) {
                      EXPECT_TRUE(IsLink(p));
                      EXPECT_EQ(Get(s.Path("target")), "new");
                  }},
        WriteCase{"link_not_followed_is_replaced",
                  [](const Scratch& s) {
                      Put(s.Path("victim"), "keep");
                      fs::create_symlink(s.Path("victim"), s.Path("link"));
                      return s.Path("link");
                  },
                  {.followLink = false},
                  true,
                  [](const Scratch& s, const std::string& p) {
                      EXPECT_FALSE(IsLink(p));
                      EXPECT_EQ(Get(s.Path("victim")), "keep");
                  }},
        // Works for root too: no permission bits involved.
        WriteCase{"folder_is_a_file",
                  [](const Scratch& s) {
                      Put(s.Path("file"), "old");
                      return s.Path("file/f");
                  },
                  {},
                  false,
                  [](const Scratch& s, const std::string&) { EXPECT_EQ(Get(s.Path("file")), "old"); }},
        WriteCase{"missing_folder",
                  [](const Scratch& s) { return s.Path("none/f"); },
                  {},
                  false,
                  [](const Scratch& s, const std::string&) { EXPECT_FALSE(fs::exists(s.Path("none"))); }},
        WriteCase{"target_is_a_folder",
                  [](const Scratch& s) {
                      fs::create_directory(s.Path("d"));
                      Put(s.Path("d/inside"), "old");
                      return s.Path("d");
                  },
                  {},
                  false,
                  [](const Scratch& s, const std::string&) { EXPECT_EQ(Get(s.Path("d/inside")), "old"); }},
        WriteCase{"empty_path",
                  [](const Scratch&) { return std::string(); },
                  {},
                  false,
                  [](const Scratch&, const std::string&) {}}));

TEST(AtomicFileWriter, NothingIsVisibleBeforeCommitAndAnAbandonedWriteLeavesTheOldFile) {
    Scratch scratch;
    const std::string path = scratch.Path("f");
    Put(path, "old");
    {
        AtomicFileWriter writer(path);
        ASSERT_TRUE(writer.Open());
        ASSERT_TRUE(writer.Write("half of the new"));
        EXPECT_EQ(Get(path), "old");
        EXPECT_FALSE(NoTemporaryFilesIn(scratch.Folder()));
    } // dropped without Commit
    EXPECT_EQ(Get(path), "old");
    EXPECT_TRUE(NoTemporaryFilesIn(scratch.Folder()));

    AtomicFileWriter failing(scratch.Path("none/f"));
    EXPECT_FALSE(failing.Open());
    EXPECT_NE(failing.Error().find("create"), std::string::npos) << failing.Error();
    EXPECT_FALSE(failing.Write("x"));
    EXPECT_FALSE(failing.Commit());
}

// --- The environment value ---------------------------------------------------

TEST(Environment, ACopyTakenOnceDoesNotFollowTheProcess) {
    ::setenv("VELKOR_FILES_TEST", "one", 1);
    ::unsetenv("VELKOR_FILES_TEST_UNSET");
    const Environment whole = Environment::FromProcess();
    const Environment named = Environment::FromProcess({"VELKOR_FILES_TEST", "VELKOR_FILES_TEST_UNSET"});
    ::setenv("VELKOR_FILES_TEST", "two", 1);
    for (const Environment* environment : {&whole, &named}) {
        EXPECT_STREQ(environment->Find("VELKOR_FILES_TEST"), "one");
        EXPECT_EQ(environment->Find("VELKOR_FILES_TEST_UNSET"), nullptr);
        EXPECT_EQ(environment->Get("VELKOR_FILES_TEST_UNSET"), "");
    }
    EXPECT_EQ(Environment::FromProcess({"VELKOR_FILES_TEST"}).Get("VELKOR_FILES_TEST"), "two");
    ::unsetenv("VELKOR_FILES_TEST");
    EXPECT_EQ(Environment(Environment::Variables{{"HOME", "/h"}}).Get("HOME"), "/h");
    EXPECT_EQ(Environment().Find("HOME"), nullptr);
}

TEST(Environment, TheProgramFileIsThisTest) {
    EXPECT_EQ(fs::path(ExecutablePath()).filename(), "tests_platform");
    EXPECT_EQ(ExecutableFolder(), fs::path(ExecutablePath()).parent_path().string());
}

} // namespace
} // namespace velkor
