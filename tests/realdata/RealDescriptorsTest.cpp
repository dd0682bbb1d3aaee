// The report descriptor parser over 582 real descriptors (tablets, keyboards,
// mice, gamepads, headsets, touchscreens from other projects' collections):
// every report's ID, bit length and element layout as an independent parser
// (hid-tools) reads them, and the report lengths a Windows HID stack gives for
// 25 collections. The readings are in tests/data/real/hid-descriptors (see its
// SOURCES.md and make-reference.py).
#include "transport/HidDescriptor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace velkor::test {
namespace {

const std::filesystem::path kData = std::filesystem::path(VELKOR_REAL_DATA_DIR) / "hid-descriptors";

std::vector<uint8_t> FromHex(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::istringstream in(text);
    std::string pair;
    while (in >> pair) {
        bytes.push_back(uint8_t(std::stoul(pair, nullptr, 16)));
    }
    return bytes;
}

std::vector<std::vector<std::string>> ReadTsv(const std::filesystem::path& path) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::istringstream cellsIn(line);
        std::string cell;
        while (std::getline(cellsIn, cell, '\t')) {
            cells.push_back(cell);
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

uint64_t Fnv1a(const std::string& text) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (const unsigned char c : text) {
        hash = (hash ^ c) * 0x100000001B3ull;
    }
    return hash;
}

std::string Hex(uint32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

uint32_t Usage(const HidField& field, size_t index) {
    if (field.isRange) {
        return uint32_t(field.usagePage) << 16 |
               std::min<uint32_t>(field.usageMin + uint32_t(index), field.usageMax);
    }
    if (field.usages.empty()) {
        return 0;
    }
    const size_t at = std::min(index, field.usages.size() - 1); // the last usage repeats
    return uint32_t(field.PageAt(at)) << 16 | field.usages[at];
}

struct Report {
    uint32_t bits = 0;                                   // with the ID byte when numbered
    std::vector<std::pair<uint32_t, std::string>> lines; // start, element
};
using ReportKey = std::tuple<int, int>; // type, report ID

// The elements of each report, written as make-reference.py writes them.
std::map<ReportKey, Report> Canon(const HidReportDescriptor& descriptor) {
    std::map<ReportKey, Report> reports;
    std::vector<const std::vector<HidField>*> groups{&descriptor.strayFields};
    for (const HidTopCollection& collection : descriptor.collections) {
        groups.push_back(&collection.fields);
    }
    for (const std::vector<HidField>* fields : groups) {
        for (const HidField& f : *fields) {
            // Report 0 of a descriptor that numbers its other reports has no ID byte.
            const uint32_t idBits = f.reportId != 0 ? 8 : 0;
            Report& report = reports[{int(f.type), f.reportId}];
            const uint32_t start = idBits + f.bitOffset;
            report.bits = std::max(report.bits, start + uint32_t(f.reportSize) * f.reportCount);
            const std::string range = std::to_string(f.logicalMin) + " " + std::to_string(f.logicalMax);
            if (f.reportSize * f.reportCount == 0) {
                continue; // no bits: nothing to read
            }
            if (f.isConstant) {
                report.lines.emplace_back(start, "c " + std::to_string(start) + " " +
                                                     std::to_string(uint32_t(f.reportSize) * f.reportCount));
            } else if (f.isArray) {
                std::string usages;
                const size_t count = f.isRange ? size_t(f.usageMax - f.usageMin + 1) : f.usages.size();
                for (size_t i = 0; i < count; ++i) {
                    usages += (i == 0 ? "" : ",") + Hex(Usage(f, i));
                }
                report.lines.emplace_back(
                    start, "a " + std::to_string(start) + " " + std::to_string(f.reportSize) + " " +
                               std::to_string(f.reportCount) + " " + range + " " + usages);
            } else {
                for (uint32_t i = 0; i < f.reportCount; ++i) {
                    const uint32_t at = start + i * f.reportSize;
                    report.lines.emplace_back(at, "v " + std::to_string(at) + " " +
                                                      std::to_string(f.reportSize) + " " + Hex(Usage(f, i)) +
                                                      " " + range);
                }
            }
        }
    }
    for (auto& [key, report] : reports) {
        std::stable_sort(report.lines.begin(), report.lines.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        // Padding is one span however a parser splits it into elements.
        std::vector<std::pair<uint32_t, std::string>> merged;
        for (auto& line : report.lines) {
            if (line.second[0] == 'c' && !merged.empty() && merged.back().second[0] == 'c') {
                uint32_t first = 0;
                uint32_t bits = 0;
                std::sscanf(merged.back().second.c_str(), "c %u %u", &first, &bits);
                uint32_t more = 0;
                std::sscanf(line.second.c_str(), "c %*u %u", &more);
                if (first + bits == line.first) {
                    merged.back().second = "c " + std::to_string(first) + " " + std::to_string(bits + more);
                    continue;
                }
            }
            merged.push_back(std::move(line));
        }
        report.lines = std::move(merged);
    }
    return reports;
}

struct Reading {
    uint32_t bits;
    size_t elements;
    uint64_t hash;
};

class RealDescriptors : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const auto& row : ReadTsv(kData / "descriptors.tsv")) {
            if (row.size() == 3) {
                s_descriptors.push_back({row[0], row[1], FromHex(row[2])});
            }
        }
        for (const auto& row : ReadTsv(kData / "reference.tsv")) {
            if (row.size() == 6) {
                s_reference[row[0]][{std::stoi(row[1]), std::stoi(row[2])}] =
                    Reading{uint32_t(std::stoul(row[3])), size_t(std::stoul(row[4])),
                            std::stoull(row[5], nullptr, 16)};
            }
        }
    }
    struct Descriptor {
        std::string id;
        std::string name;
        std::vector<uint8_t> bytes;
    };
    static inline std::vector<Descriptor> s_descriptors;
    static inline std::map<std::string, std::map<ReportKey, Reading>> s_reference;
};

// Descriptors with no Application collection: a HID stack opens nothing for
// them, and the parser says so.
const std::set<std::string> kWithoutApplication = {"2b11fb5985", "5383f7fa5e", "80f932f34d",
                                                   "96a099ad9a", "a6a85da272", "fb79345493"};

// Reports where the reference parser departs from the kernel: usages listed
// before a Usage Minimum/Maximum in one main item. The kernel appends the
// range to the list (elements take 0x82, 0x81, 0x83, then 1, 2, 3), as the
// parser does; the reference lets the range replace the list.
const std::set<std::tuple<std::string, int, int>> kListThenRange = {{"642c6290a3", 0, 14},
                                                                    {"642c6290a3", 1, 14},
                                                                    {"7005de2c91", 0, 14},
                                                                    {"7005de2c91", 1, 14},
                                                                    {"a20713364c", 0, 3}};

TEST_F(RealDescriptors, EveryReportReadsAsTheReferenceReadsIt) {
    ASSERT_EQ(s_descriptors.size(), 582u) << "the corpus is missing from " << kData;
    size_t reports = 0;
    std::vector<std::string> refused;
    for (const Descriptor& d : s_descriptors) {
        HidReportDescriptor parsed;
        const HidParseResult result = ParseReportDescriptor(d.bytes, parsed);
        if (!result) {
            refused.push_back(d.id);
            EXPECT_EQ(result.error, HidDescriptorError::NoApplicationCollection)
                << d.id << " " << d.name << ": " << DescribeParseResult(result);
            continue;
        }
        const std::map<ReportKey, Report> ours = Canon(parsed);
        const auto& expected = s_reference[d.id];
        std::set<ReportKey> keys;
        for (const auto& [key, _] : ours) {
            keys.insert(key);
        }
        std::set<ReportKey> expectedKeys;
        for (const auto& [key, _] : expected) {
            expectedKeys.insert(key);
        }
        EXPECT_EQ(keys, expectedKeys) << d.id << " " << d.name << ": the reports (type, ID)";
        for (const auto& [key, reading] : expected) {
            const auto found = ours.find(key);
            if (found == ours.end()) {
                continue;
            }
            ++reports;
            std::string text;
            for (const auto& line : found->second.lines) {
                text += line.second + "\n";
            }
            const auto& [type, id] = key;
            if (kListThenRange.count({d.id, type, id}) != 0) {
                EXPECT_EQ(found->second.lines.size(), reading.elements) << d.id;
                EXPECT_NE(Fnv1a(text), reading.hash) << d.id << ": the reference now reads it as the kernel";
                continue;
            }
            EXPECT_EQ(found->second.bits, reading.bits)
                << d.id << " " << d.name << " type " << type << " ID " << id;
            EXPECT_TRUE(found->second.lines.size() == reading.elements && Fnv1a(text) == reading.hash)
                << d.id << " " << d.name << " type " << type << " ID " << id << ": "
                << found->second.lines.size() << " elements, reference " << reading.elements
                << "; compare with make-reference.py FOLDER --show " << d.id << " " << type << " " << id
                << ":\n"
                << text.substr(0, 600);
        }
    }
    EXPECT_EQ(std::set<std::string>(refused.begin(), refused.end()), kWithoutApplication);
    EXPECT_GT(reports, 7000u);
}

// The Windows HID stack's own lengths (input, output, feature; bytes with
// the ID byte) for 25 top-level collections.
TEST_F(RealDescriptors, CollectionLengthsAreTheWindowsStacks) {
    size_t checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kData / "windows")) {
        if (entry.path().extension() != ".hex") {
            continue;
        }
        std::ifstream hexIn(entry.path());
        std::stringstream hex;
        hex << hexIn.rdbuf();
        std::filesystem::path json = entry.path();
        json.replace_extension(".win.json");
        std::ifstream jsonIn(json);
        std::stringstream text;
        text << jsonIn.rdbuf();
        // "usagePage": P, "usage": U, ... "lengths": [I, O, F]
        int page = -1;
        int usage = -1;
        int lengths[3] = {-1, -1, -1};
        const std::string s = text.str();
        std::sscanf(s.c_str() + s.find("\"usagePage\""), "\"usagePage\": %d", &page);
        std::sscanf(s.c_str() + s.find("\"usage\":"), "\"usage\": %d", &usage);
        std::sscanf(s.c_str() + s.find("\"lengths\""), "\"lengths\": [%d, %d, %d]", &lengths[0], &lengths[1],
                    &lengths[2]);
        HidReportDescriptor parsed;
        ASSERT_TRUE(ParseReportDescriptor(FromHex(hex.str()), parsed)) << entry.path();
        // The file names the collection: VID_PID_PAGE_USAGE, with the page and usage of the collection.
        const auto found =
            std::find_if(parsed.collections.begin(), parsed.collections.end(),
                         [&](const HidTopCollection& c) { return c.usagePage == page && c.usage == usage; });
        ASSERT_NE(found, parsed.collections.end()) << entry.path();
        EXPECT_EQ(found->inputReportLength, lengths[0]) << entry.path().filename();
        EXPECT_EQ(found->outputReportLength, lengths[1]) << entry.path().filename();
        EXPECT_EQ(found->featureReportLength, lengths[2]) << entry.path().filename();
        ++checked;
    }
    EXPECT_EQ(checked, 25u);
}

} // namespace
} // namespace velkor::test
