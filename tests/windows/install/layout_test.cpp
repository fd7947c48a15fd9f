// Where the installation goes: a deep new destination, an existing
// INSTALL.LOG, the longest destinations, and no association. Nothing here
// chooses the association, so HKEY_CLASSES_ROOT must stay untouched.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "install/install_product.h"
#include "install_test_support.h"

namespace {

const bool environment = (RegisterInstallEnvironment(), true);

LogExpectation Expect(const std::string& destination)
{
    LogExpectation expectation;
    expectation.destination = destination;
    expectation.associate = false;
    // App Paths and the product key survive the removal of earlier
    // versions, so only a first installation on this machine logs them.
    expectation.systemKeysNew = !KeyExists(HKEY_LOCAL_MACHINE, installed::kAppPathKey);
    return expectation;
}

std::vector<std::string> ClassChanges(const Snapshot& before, const Snapshot& after)
{
    std::vector<std::string> changes;
    for (const std::string& change : Difference(before, after, {})) {
        if (change.find("HKEY_CLASSES_ROOT") != std::string::npos ||
            change.find("HKEY_LOCAL_MACHINE\\Software\\Classes") != std::string::npos ||
            change.find("HKEY_CURRENT_USER\\Software\\Classes") != std::string::npos)
            changes.push_back(change);
    }
    return changes;
}

}  // namespace

TEST(Layout, DeepNewDestinationIsCreatedWholeAndNoneOfItsLevelsIsLogged)
{
    const std::string top = "C:\\深い";
    const std::string destination = top + "\\第一\\第二\\第三\\ブレンナ";
    ASSERT_FALSE(PathExists(top));
    const LogExpectation expectation = Expect(destination);
    const Snapshot before = TakeSnapshot();

    OwnerWindow owner;
    ASSERT_EQ(InstallProduct(owner.get(), destination.c_str(), 0), S_OK);

    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLog(destination + "\\INSTALL.LOG", &lines));
    EXPECT_EQ(JoinLines(lines), JoinLines(ExpectedLog(expectation)));
    // Without the association the per-user line follows the version key.
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], std::string("HKEY_LOCAL_MACHINE\\") + installed::kVersionKey);
    EXPECT_EQ(lines.back(), "HKEY_CURRENT_USER\\Software\\Velmar\\Orvik");
    for (const std::string& line : lines)
        EXPECT_EQ(line.find(top), line.find(destination)) << line;
    ExpectInstalled(destination, false);

    EXPECT_EQ(JoinLines(ClassChanges(before, TakeSnapshot())), "");
}

TEST(Layout, ExistingLogIsReplacedNotAppended)
{
    const std::string destination = "C:\\既存";
    MakeDirectories(destination);
    std::string old;
    for (int i = 0; i < 200; ++i)
        old += "[Files]\r\nC:\\old\\entry" + std::to_string(i) + ".txt\r\n";
    WriteWholeFile(destination + "\\INSTALL.LOG", old);
    const LogExpectation expectation = Expect(destination);

    OwnerWindow owner;
    ASSERT_EQ(InstallProduct(owner.get(), destination.c_str(), 0), S_OK);

    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLog(destination + "\\INSTALL.LOG", &lines));
    EXPECT_EQ(JoinLines(lines), JoinLines(ExpectedLog(expectation)));
}

TEST(Layout, LongestDestinations)
{
    // The command line is twice the destination plus 29 bytes; 259 fit.
    struct Case {
        const char* top;
        size_t length;
        bool trailingSeparator;
        HRESULT result;
    } cases[] = {
        {"C:\\long115", 115, false, S_OK},
        {"C:\\long116", 116, false, (HRESULT)0x8007007AL},
        {"C:\\long116s", 116, true, S_OK},  // the joins drop the separator
        {"C:\\long200", 200, false, (HRESULT)0x8007007AL},
    };
    OwnerWindow owner;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.top);
        std::string destination = std::string(c.top) + "\\";
        while (destination.size() < c.length - (c.trailingSeparator ? 1 : 0))
            destination += 'd';
        if (c.trailingSeparator)
            destination += '\\';
        ASSERT_EQ(destination.size(), c.length);
        std::string bare = destination;
        if (c.trailingSeparator)
            bare.pop_back();
        const LogExpectation expectation = Expect(bare);

        EXPECT_EQ(InstallProduct(owner.get(), destination.c_str(), 0), c.result);

        if (c.result != S_OK) {
            EXPECT_FALSE(PathExists(c.top));
            continue;
        }
        std::vector<std::string> lines;
        ASSERT_TRUE(ReadLog(bare + "\\INSTALL.LOG", &lines));
        EXPECT_EQ(JoinLines(lines), JoinLines(ExpectedLog(expectation)));
        ExpectInstalled(destination, false);
    }
}

TEST(Layout, LogThatCannotBeOpenedStopsBeforeTheExtraction)
{
    const std::string destination = "C:\\使用中";
    MakeDirectories(destination);
    const std::string log = destination + "\\INSTALL.LOG";
    WriteWholeFile(log, "held open");
    // Held without sharing, the way another program could hold it.
    HANDLE held = CreateFileA(log.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    OwnerWindow owner;
    EXPECT_EQ(InstallProduct(owner.get(), destination.c_str(), 0), (HRESULT)0x80070020L);  // sharing violation
    CloseHandle(held);

    EXPECT_EQ(ReadWholeFile(log), "held open");
    EXPECT_FALSE(PathExists(destination + "\\setdown.exe"));
    EXPECT_FALSE(PathExists(destination + "\\ORVIK.exe"));
}
