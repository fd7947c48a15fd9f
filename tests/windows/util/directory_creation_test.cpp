// Directory paths created on the real file system, each new directory
// logged to a real INSTALL.LOG.
#include <windows.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "ground/path.h"
#include "installlog/directory_creation.h"
#include "installlog/install_log.h"

namespace {

bool IsDirectory(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return "(missing)";
    int c;
    while ((c = std::fgetc(file)) != EOF)
        bytes.push_back(static_cast<char>(c));
    std::fclose(file);
    return bytes;
}

// Each test works below a base directory of its own, with a log opened in
// text mode as the install procedure opens it.
class DirectoryCreationTest : public testing::Test {
protected:
    void SetUp() override
    {
        base_ = std::string("C:\\dirs_") + testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_TRUE(CreateDirectoryA(base_.c_str(), nullptr));
        logPath_ = base_ + ".log";
        stream_ = std::fopen(logPath_.c_str(), "w");
        ASSERT_NE(stream_, nullptr);
        log_ = new InstallLog(stream_);
    }
    void TearDown() override { CloseLog(); }

    std::string CloseLog()
    {
        if (stream_ != nullptr) {
            delete log_;
            log_ = nullptr;
            std::fclose(stream_);
            stream_ = nullptr;
        }
        return ReadBytes(logPath_);
    }

    std::string base_;
    std::string logPath_;
    FILE* stream_ = nullptr;
    InstallLog* log_ = nullptr;
};

}  // namespace

TEST_F(DirectoryCreationTest, CreatesMissingParentsOutermostFirstAndLogsEach)
{
    const std::string a = base_ + "\\a";
    ASSERT_TRUE(CreateDirectoryA(a.c_str(), nullptr));
    const std::string file = a + "\\b\\c\\file.exe";
    EXPECT_EQ(CreateParentDirectories(file.c_str(), log_), S_OK);
    EXPECT_TRUE(IsDirectory(a + "\\b"));
    EXPECT_TRUE(IsDirectory(a + "\\b\\c"));
    EXPECT_FALSE(IsDirectory(file));

    // A second time nothing is missing: nothing created, nothing logged.
    EXPECT_EQ(CreateParentDirectories(file.c_str(), log_), S_OK);
    EXPECT_EQ(CloseLog(), "[Dirs]\r\n" + a + "\\b\r\n" + a + "\\b\\c\r\n");
}

TEST_F(DirectoryCreationTest, TrailingSeparatorNamesTheDirectoryItself)
{
    const std::string d = base_ + "\\d";
    EXPECT_EQ(CreateParentDirectories((d + "\\").c_str(), log_), S_OK);
    EXPECT_TRUE(IsDirectory(d));
    // A doubled separator leaves no trailing separator in the log.
    EXPECT_EQ(CreateParentDirectories((base_ + "\\e\\\\x").c_str(), log_), S_OK);
    EXPECT_TRUE(IsDirectory(base_ + "\\e"));
    EXPECT_EQ(CloseLog(), "[Dirs]\r\n" + d + "\r\n" + base_ + "\\e\r\n");
}

TEST_F(DirectoryCreationTest, NothingAboveARootFile)
{
    EXPECT_EQ(CreateParentDirectories("C:\\file.exe", log_), S_OK);
    EXPECT_EQ(CreateParentDirectories("file.exe", log_), S_OK);
    EXPECT_EQ(CloseLog(), "");
}

TEST_F(DirectoryCreationTest, DoubleByteNamesWithTrailByte5C)
{
    // 表 is 95 5C and ソ 83 5C: neither trail byte may split the path.
    const std::string hyo = base_ + "\\表";
    const std::string so = hyo + "\\ソ";
    EXPECT_EQ(CreateParentDirectories((so + "\\x.txt").c_str(), log_), S_OK);
    EXPECT_TRUE(IsDirectory(hyo));
    EXPECT_TRUE(IsDirectory(so));
    const std::string bytes = CloseLog();
    EXPECT_EQ(bytes, "[Dirs]\r\n" + hyo + "\r\n" + so + "\r\n");
    EXPECT_NE(bytes.find("\x95\x5C\r\n"), std::string::npos);
}

TEST_F(DirectoryCreationTest, WithoutALogNothingIsLogged)
{
    EXPECT_EQ(CreateParentDirectories((base_ + "\\n1\\n2\\f").c_str(), nullptr), S_OK);
    EXPECT_TRUE(IsDirectory(base_ + "\\n1\\n2"));
    EXPECT_EQ(CreateDirectoryLogged((base_ + "\\n3").c_str(), nullptr), S_OK);
    EXPECT_TRUE(IsDirectory(base_ + "\\n3"));
    EXPECT_EQ(CloseLog(), "");
}

TEST_F(DirectoryCreationTest, CreateDirectoryLoggedTreatsAnExistingEntryAsDone)
{
    const std::string dir = base_ + "\\one";
    EXPECT_EQ(CreateDirectoryLogged(dir.c_str(), log_), S_OK);
    EXPECT_EQ(CreateDirectoryLogged(dir.c_str(), log_), S_OK);
    // A file of that name counts as there too.
    const std::string file = base_ + "\\plain";
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);
    EXPECT_EQ(CreateDirectoryLogged(file.c_str(), log_), S_OK);
    EXPECT_EQ(CloseLog(), "[Dirs]\r\n" + dir + "\r\n");
}

TEST_F(DirectoryCreationTest, FailuresAreReturnedAndWhatWasCreatedStaysLogged)
{
    // Missing parent, reported as such by the system.
    EXPECT_EQ(CreateDirectoryLogged((base_ + "\\none\\x").c_str(), log_), RESULT_PATH_NOT_FOUND);

    // A drive that does not exist: the walk stops at its root and fails
    // (Wine says 2 there, Windows 3).
    const HRESULT noDrive = CreateParentDirectories("Q:\\x\\y\\f", log_);
    EXPECT_TRUE(noDrive == RESULT_PATH_NOT_FOUND || noDrive == RESULT_FILE_NOT_FOUND) << std::hex << noDrive;

    // A file where a directory should be: the walk fails beneath it after
    // creating the directories above it.
    const std::string made = base_ + "\\made";
    ASSERT_EQ(CreateParentDirectories((made + "\\").c_str(), log_), S_OK);
    const std::string blocker = made + "\\blocker";
    HANDLE handle = CreateFileA(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);
    const HRESULT result = CreateParentDirectories((blocker + "\\sub\\f").c_str(), log_);
    EXPECT_NE(result, S_OK);
    EXPECT_EQ(static_cast<uint32_t>(result) & 0xFFFF0000u, 0x80070000u);
    EXPECT_FALSE(IsDirectory(blocker + "\\sub"));

    // Too long: nothing is created.
    const std::string tooLong = base_ + "\\" + std::string(260, 'l') + "\\f";
    EXPECT_EQ(CreateParentDirectories(tooLong.c_str(), log_), RESULT_INSUFFICIENT_BUFFER);

    EXPECT_EQ(CloseLog(), "[Dirs]\r\n" + made + "\r\n");
}
