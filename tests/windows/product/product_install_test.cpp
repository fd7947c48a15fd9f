// An installation of a product folder (make_product_tree.sh) into the
// longest destination the uninstall command line allows, so that its
// deepest file reaches 259 bytes: INSTALL.LOG lists every directory and
// file of archive 216 in the archive's order, and each file holds the bytes
// of the folder's file.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "archive/lh5_decoder.h"
#include "archive/member_header.h"
#include "install/install_product.h"
#include "install_test_support.h"

namespace {

const bool environment = (RegisterInstallEnvironment(), true);

// A log entry: its section header and its line.
using Entry = std::pair<std::string, std::string>;

// Archive 216 of this program in member order: the section each member is
// logged under and its path below the destination (a directory's without
// its trailing separator).
std::vector<Entry> ArchiveMembers()
{
    std::vector<Entry> members;
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(216), "LZH");
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
    const DWORD size = SizeofResource(nullptr, found);
    for (DWORD offset = 0;;) {
        LzhDecodeStream cursor = {};
        cursor.nextIn = bytes + offset;
        cursor.availIn = size - offset;
        char path[MAX_PATH];
        MemberInfo info;
        if (ReadMemberHeader(&cursor, path, sizeof path, &info) != MEMBER_HEADER_OK)
            break;
        const bool directory = std::memcmp(info.methodId, "-lhd-", 5) == 0;
        std::string name = path;
        if (directory && !name.empty() && name.back() == '\\')
            name.pop_back();
        members.emplace_back(directory ? "[Dirs]" : "[Files]", name);
        offset += info.headerSize + info.compressedSize;
    }
    return members;
}

// The lines InstallLog writes for these entries: a section header wherever
// the kind changes.
std::vector<std::string> LogLines(const std::vector<Entry>& entries)
{
    std::vector<std::string> lines;
    std::string current;
    for (const Entry& e : entries) {
        if (e.first != current)
            lines.push_back(e.first);
        current = e.first;
        lines.push_back(e.second);
    }
    return lines;
}

}  // namespace

TEST(ProductFolder, InstallsAndLogsEveryMemberInArchiveOrderAtTheLongestDestination)
{
    const std::string destination = "C:\\製品\\" + std::string(115 - 8, 'd');
    ASSERT_EQ(destination.size(), 115u);
    const std::vector<Entry> members = ArchiveMembers();
    ASSERT_GT(members.size(), 3u);
    ASSERT_EQ(members[0], Entry("[Files]", "ORVIK.exe"));

    OwnerWindow owner;
    ASSERT_EQ(InstallProduct(owner.get(), destination.c_str(), 1), S_OK);

    // The archive's entries, then what the stand-in's log has after its two
    // files (the Start-menu folder, the shortcuts, the keys).
    std::vector<Entry> entries;
    size_t deepest = 0;
    for (const Entry& m : members) {
        entries.emplace_back(m.first, destination + "\\" + m.second);
        deepest = std::max(deepest, entries.back().second.size());
    }
    EXPECT_EQ(deepest, 259u);
    LogExpectation expectation;
    expectation.destination = destination;
    const std::vector<std::string> standIn = ExpectedLog(expectation);
    std::string section;
    for (size_t i = 3; i < standIn.size(); ++i) {
        if (standIn[i][0] == '[')
            section = standIn[i];
        else
            entries.emplace_back(section, standIn[i]);
    }
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLog(destination + "\\INSTALL.LOG", &lines));
    EXPECT_EQ(JoinLines(lines), JoinLines(LogLines(entries)));

    for (const Entry& m : members) {
        SCOPED_TRACE(m.second);
        const std::string installed = destination + "\\" + m.second;
        if (m.first == "[Dirs]") {
            EXPECT_TRUE(IsDirectory(installed));
            continue;
        }
        EXPECT_EQ(GetTimes(installed).lastWrite, PayloadTime());
        EXPECT_EQ(ReadWholeFile(installed), ReadWholeFile(std::string(ORVIK_PRODUCT_TREE "\\") + m.second));
    }
    ExpectInstalled(destination, true);
}
