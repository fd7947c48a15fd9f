// A directory link inside an earlier program folder: the removal takes the
// link away, never what it points to. The link is made from the host side
// between the two stages (run_with_link.sh), since this Wine cannot make one.
#include <gtest/gtest.h>

#include "cleanup_fixture.h"
#include "registration/remove_earlier.h"

namespace {

const char kShared[] = "C:\\Shared\\precious";
// Version 4.0's program folder is itself a link to this one.
const char kLinkedFolderTarget[] = "C:\\Shared\\folder";

std::string LinkPath()
{
    return ProgramFolder("5.0") + "\\shared";
}

}  // namespace

TEST(LinkSetup, Prepare)
{
    InstallVersion("4.0");
    InstallVersion("5.0");
    MakeDirectory("C:\\Shared");
    MakeDirectory(kLinkedFolderTarget);
    MakeFile(std::string(kLinkedFolderTarget) + "\\kept.txt");
    MakeDirectory(kShared);
    MakeDirectory(std::string(kShared) + "\\sub");
    MakeFile(std::string(kShared) + "\\a.txt");
    MakeFile(std::string(kShared) + "\\sub\\b.txt", FILE_ATTRIBUTE_READONLY);
}

TEST(LinkedFolder, RemovalTakesTheLinkNotItsTarget)
{
    const DWORD attributes = GetFileAttributesA(LinkPath().c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "no link at " << LinkPath();
    ASSERT_TRUE(attributes & FILE_ATTRIBUTE_REPARSE_POINT) << std::hex << attributes;

    const DWORD folder = GetFileAttributesA(ProgramFolder("4.0").c_str());
    ASSERT_NE(folder, INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(folder & FILE_ATTRIBUTE_REPARSE_POINT) << std::hex << folder;

    const HRESULT result = RemoveEarlierVersions(nullptr, kTestProductKey);

    EXPECT_TRUE(PathExists(std::string(kLinkedFolderTarget) + "\\kept.txt"));
    EXPECT_TRUE(PathExists(std::string(kShared) + "\\a.txt"));
    EXPECT_TRUE(PathExists(std::string(kShared) + "\\sub\\b.txt"));
    if (result == S_OK) {
        ExpectVersionGone("5.0");
    } else {
        // Wine's RemoveDirectoryA follows a host symbolic link to the
        // directory behind it, which is not empty; Windows removes the link.
        EXPECT_EQ(result, HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY));
        EXPECT_TRUE(PathExists(LinkPath()));
    }
}

TEST(DeleteTree, FailsOnMissingOrOverlongPaths)
{
    EXPECT_EQ(DeleteTree("C:\\Shared\\missing"), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    // The path fits, the search pattern does not.
    const std::string longPath = "C:\\" + std::string(255, 'd');
    EXPECT_EQ(DeleteTree(longPath.c_str()), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
}

TEST(DeleteShortcut, FailsOnMissingOrOverlongNames)
{
    EXPECT_EQ(DeleteShortcut("C:\\Shared", "missing"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    // C:\Shared\ + 247 bytes fits a path but not with ".lnk".
    EXPECT_EQ(DeleteShortcut("C:\\Shared", std::string(247, 'n').c_str()),
              HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(DeleteShortcut("C:\\Shared", std::string(260, 'n').c_str()), E_FAIL);
}
