// Every archive of the LZH corpus walks as EXPECTED.tsv says, and the
// header fields agree with the independent header dumps (*.hdr.txt).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>

#include "archive/member_header.h"
#include "lzh_test_support.h"

namespace {

std::string CorpusDir()
{
    const char* dir = std::getenv("ORVIK_LZH_CORPUS");
    return dir != nullptr ? dir : "";
}

struct ExpectedRow {
    int member;
    std::string header, level, method, path, length, crc, expect;
};

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t'))
        fields.push_back(field);
    if (!line.empty() && line.back() == '\t')
        fields.push_back("");
    return fields;
}

std::map<std::string, std::vector<ExpectedRow>> LoadExpected()
{
    std::map<std::string, std::vector<ExpectedRow>> rows;
    std::ifstream in(CorpusDir() + "/EXPECTED.tsv");
    std::string line;
    std::getline(in, line);  // column names
    while (std::getline(in, line)) {
        std::vector<std::string> f = SplitTabs(line);
        f.resize(9);
        rows[f[0]].push_back({std::atoi(f[1].c_str()), f[2], f[3], f[4], f[5], f[6], f[7], f[8]});
    }
    return rows;
}

std::string Hex4(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

class Corpus : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Level-0/1 time stamps are local time; the dumps were made in
        // British time (UTC in winter, UTC+1 in summer).
        setenv("TZ", "Europe/London", 1);
        tzset();
    }
    void SetUp() override
    {
        if (CorpusDir().empty())
            GTEST_SKIP() << "ORVIK_LZH_CORPUS not set";
    }
};

TEST_F(Corpus, EveryArchiveWalksAsExpected)
{
    auto expected = LoadExpected();
    ASSERT_GT(expected.size(), 150u);
    int okMembers = 0;
    for (const auto& [name, rows] : expected) {
        SCOPED_TRACE(name);
        Bytes archive;
        ASSERT_TRUE(ReadWholeFile(CorpusDir() + "/" + name, &archive));
        std::vector<WalkedMember> walked = WalkArchive(archive, WalkOptions{Pacing(), false, true});
        ASSERT_EQ(walked.size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const ExpectedRow& row = rows[i];
            const WalkedMember& m = walked[i];
            SCOPED_TRACE("member " + std::to_string(row.member));
            if (row.header == "END") {
                EXPECT_EQ(m.header, END_OF_ARCHIVE);
                continue;
            }
            if (row.header == "BAD") {
                EXPECT_EQ(m.header, BAD_HEADER);
                continue;
            }
            ASSERT_EQ(m.header, MEMBER_HEADER_OK);
            EXPECT_EQ(std::to_string(m.info.level), row.level);
            EXPECT_EQ(std::string(m.info.methodId), row.method);
            // The path is a C string: a name with a zero byte ends there.
            EXPECT_EQ(EscapePath(m.path), row.path.substr(0, row.path.find("\\x00")));
            EXPECT_EQ(std::to_string(m.info.originalSize), row.length);
            EXPECT_EQ(row.crc == "-" ? "0000" : row.crc, Hex4(m.info.dataCrc));
            if (row.expect == "ok") {
                EXPECT_TRUE(m.dataOk);
                ++okMembers;
            } else if (row.expect == "fail") {
                EXPECT_FALSE(m.dataOk);
            } else {
                EXPECT_EQ(row.expect, "dir");
                EXPECT_EQ(std::string(m.info.methodId), "-lhd-");
            }
        }
    }
    EXPECT_GT(okMembers, 100);
}

// One block of a .hdr.txt dump.
using Dump = std::map<std::string, std::string>;

std::vector<Dump> LoadDumps(const std::string& path)
{
    std::vector<Dump> dumps(1);
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line == "--") {
            dumps.emplace_back();
            continue;
        }
        size_t colon = line.find(": ");
        if (colon != std::string::npos)
            dumps.back()[line.substr(0, colon)] = line.substr(colon + 2);
    }
    if (dumps.back().empty())
        dumps.pop_back();
    return dumps;
}

std::string Canonical(std::string path)
{
    for (char& c : path) {
        if (c == '/')
            c = '\\';
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return path;
}

int64_t UnixSeconds(uint64_t fileTime)
{
    return static_cast<int64_t>(fileTime / 10000000) - 11644473600LL;
}

TEST_F(Corpus, HeaderFieldsAgreeWithDumps)
{
    auto expected = LoadExpected();
    int compared = 0;
    for (const auto& entry : expected) {
        const std::string& name = entry.first;
        std::vector<Dump> dumps = LoadDumps(CorpusDir() + "/" + name + ".hdr.txt");
        if (dumps.empty())
            continue;
        SCOPED_TRACE(name);
        Bytes archive;
        ASSERT_TRUE(ReadWholeFile(CorpusDir() + "/" + name, &archive));
        std::vector<WalkedMember> walked = WalkArchive(archive, WalkOptions{Pacing(), false, false});
        for (size_t i = 0; i < walked.size() && i < dumps.size(); ++i) {
            const WalkedMember& m = walked[i];
            if (m.header != MEMBER_HEADER_OK)
                break;  // the dump may go on where ours rejects
            SCOPED_TRACE("member " + std::to_string(i));
            Dump& d = dumps[i];
            ++compared;
            // Lhasa's own readings, not the header's bytes: an -lh0- entry
            // named like a directory is shown as -lhd-, lhark's -lh7- as -lk7-.
            std::string method = m.info.methodId;
            bool dirAsStored = d["compress_method"] == "-lhd-" && method == "-lh0-" && !m.path.empty() &&
                               m.path.back() == '\\';
            bool lhark = d["compress_method"] == "-lk7-" && method == "-lh7-";
            if (!dirAsStored && !lhark) {
                EXPECT_EQ(d["compress_method"], method);
            }
            // A 64-bit size extension: ours keeps the low 32 bits.
            EXPECT_EQ(std::strtoull(d["length"].c_str(), nullptr, 10) & 0xFFFFFFFFu, m.info.originalSize);
            EXPECT_EQ(d["crc"], Hex4(m.info.dataCrc));
            int dumpLevel = std::atoi(d["header_level"].c_str());
            EXPECT_EQ(dumpLevel, m.info.level < 0 ? 0 : m.info.level);
            EXPECT_EQ(std::atoi(d["os_type"].c_str()), m.info.osId);
            if (d["symlink_target"].empty()) {
                // Ours joins directory and name as they are; the dump adds a
                // separator where the directory lacks one.
                std::string dir = Canonical(d["path"]);
                std::string file = Canonical(d["filename"]);
                // The dump is line-based: a name with a line break ends there.
                std::string ours = Canonical(m.path.substr(0, m.path.find_first_of("\r\n")));
                if (ours != dir + file) {
                    if (!dir.empty() && dir.back() == '\\')
                        dir.pop_back();
                    EXPECT_EQ(ours, dir + file);
                }
            }
            EXPECT_EQ(std::strtoul(d["compressed_length"].c_str(), nullptr, 10), m.info.compressedSize);
            if (!d["win_modification_time"].empty() && m.info.osId == 'M') {
                EXPECT_EQ(d["win_modification_time"], std::to_string(m.info.lastWriteTime));
                EXPECT_EQ(d["win_creation_time"], std::to_string(m.info.creationTime));
                EXPECT_EQ(d["win_access_time"], std::to_string(m.info.lastAccessTime));
            } else if (m.info.level == 2) {
                EXPECT_EQ(std::atoll(d["timestamp"].c_str()), UnixSeconds(m.info.lastWriteTime));
                EXPECT_EQ(m.info.creationTime, 0u);
            } else if (m.info.osId != 'K') {  // Lhasa reads OS-9/68k stamps its own way
                // MS-DOS local time.
                int64_t delta = std::atoll(d["timestamp"].c_str()) - UnixSeconds(m.info.lastWriteTime);
                EXPECT_LE(std::llabs(delta), 1) << d["timestamp"];
            }
        }
    }
    EXPECT_GT(compared, 150);
}

}  // namespace
