// The host's directory layer keeps the Windows meaning of codes 3 and 183,
// which directory-path creation depends on. Windows is covered under Wine.
#ifndef _WIN32

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "ground/codepage.h"
#include "ground/path.h"
#include "installlog/directory_creation.h"
#include "installlog/install_log.h"

namespace {

bool IsDirectory(std::string path)
{
    for (char* p = &path[0]; *p != '\0'; p = NextChar(p)) {
        if (*p == '\\')
            *p = '/';
    }
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

TEST(HostDirectories, CreatesParentsAndKeepsTheErrorMeanings)
{
    char base[] = "/tmp/orvik_dirsXXXXXX";
    ASSERT_NE(mkdtemp(base), nullptr);
    const std::string root = base;
    FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    InstallLog log(stream);

    EXPECT_EQ(CreateParentDirectories((root + "\\a\\表\\f").c_str(), &log), S_OK);
    EXPECT_TRUE(IsDirectory(root + "\\a\\表"));
    EXPECT_EQ(CreateParentDirectories((root + "\\a\\表\\f").c_str(), &log), S_OK);
    EXPECT_EQ(CreateDirectoryLogged((root + "\\none\\x").c_str(), &log), RESULT_PATH_NOT_FOUND);

    FILE* blocker = std::fopen((root + "/blocker").c_str(), "w");
    ASSERT_NE(blocker, nullptr);
    std::fclose(blocker);
    EXPECT_EQ(CreateDirectoryLogged((root + "\\blocker").c_str(), &log), S_OK);
    EXPECT_EQ(CreateParentDirectories((root + "\\blocker\\sub\\f").c_str(), &log), RESULT_PATH_NOT_FOUND);

    std::fflush(stream);
    std::rewind(stream);
    std::string text;
    for (int c; (c = std::fgetc(stream)) != EOF;)
        text.push_back(static_cast<char>(c));
    std::fclose(stream);
    EXPECT_EQ(text, "[Dirs]\n" + root + "\\a\n" + root + "\\a\\表\n");

    rmdir((root + "/a/表").c_str());
    rmdir((root + "/a").c_str());
    unlink((root + "/blocker").c_str());
    rmdir(base);
}

#endif
