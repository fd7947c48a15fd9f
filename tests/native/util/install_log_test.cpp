// INSTALL.LOG lines: a section header before every change of kind.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "installlog/install_log.h"

namespace {

// Binary read-back, so the test sees the stream's own line ends.
std::string ReadAll(FILE* stream)
{
    std::fflush(stream);
    std::rewind(stream);
    std::string text;
    int c;
    while ((c = std::fgetc(stream)) != EOF)
        text.push_back(static_cast<char>(c));
    return text;
}

}  // namespace

TEST(InstallLog, SectionHeadersOnEveryChangeOfKind)
{
    FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    InstallLog log(stream);
    log.Add(LogEntryKind::File, "C:\\dst\\ORVIK.exe");
    log.Add(LogEntryKind::File, "C:\\dst\\data.dat");
    log.Add(LogEntryKind::Dir, "C:\\表\\ソ");
    log.Add(LogEntryKind::File, "C:\\x.lnk");
    log.Add(LogEntryKind::RegKey, "HKEY_LOCAL_MACHINE\\Software\\Velmar\\Orvik");
    log.Add(LogEntryKind::RegKey, "HKEY_CLASSES_ROOT\\.kdw");
    // tmpfile is binary, so each line ends in LF alone here.
    EXPECT_EQ(ReadAll(stream),
              "[Files]\nC:\\dst\\ORVIK.exe\nC:\\dst\\data.dat\n"
              "[Dirs]\nC:\\表\\ソ\n"
              "[Files]\nC:\\x.lnk\n"
              "[RegKeys]\nHKEY_LOCAL_MACHINE\\Software\\Velmar\\Orvik\nHKEY_CLASSES_ROOT\\.kdw\n");
    std::fclose(stream);
}

TEST(InstallLog, NothingAddedLeavesAnEmptyFile)
{
    FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    InstallLog log(stream);
    EXPECT_EQ(ReadAll(stream), "");
    std::fclose(stream);
}

TEST(InstallLog, TextIsWrittenVerbatim)
{
    FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    InstallLog log(stream);
    log.Add(LogEntryKind::Dir, "C:\\100%s %d\\dir");
    EXPECT_EQ(ReadAll(stream), "[Dirs]\nC:\\100%s %d\\dir\n");
    std::fclose(stream);
}

// A file listed and then not made is taken back with its section header,
// and the next line of that kind opens its section again.
TEST(InstallLog, RewindTakesBackLinesAndHeaders)
{
    FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    InstallLog log(stream);
    log.Add(LogEntryKind::Dir, "C:\\dst");
    const LogMark beforeFile = log.Mark();
    log.Add(LogEntryKind::File, "C:\\dst\\half.dat");
    EXPECT_EQ(log.Rewind(beforeFile), S_OK);
    log.Add(LogEntryKind::File, "C:\\dst\\ORVIK.exe");
    const LogMark beforeSecond = log.Mark();
    log.Add(LogEntryKind::File, "C:\\dst\\gone.dat");
    EXPECT_EQ(log.Rewind(beforeSecond), S_OK);
    log.Add(LogEntryKind::File, "C:\\dst\\ORVIK.DAT");
    EXPECT_EQ(ReadAll(stream), "[Dirs]\nC:\\dst\n[Files]\nC:\\dst\\ORVIK.exe\nC:\\dst\\ORVIK.DAT\n");
    std::fclose(stream);
}

// A line that does not reach the file is reported at once: a stream that
// refuses writes and a device that is always full. (msvcrt lets a write to a
// read-only stream pass; under Wine the full-disk install test covers it.)
#ifndef _WIN32
TEST(InstallLog, LineThatCannotBeWrittenFails)
{
    const char name[] = "install_log_read_only.tmp";
    FILE* created = std::fopen(name, "w");
    ASSERT_NE(created, nullptr);
    std::fclose(created);
    for (FILE* stream : {std::fopen(name, "r"), std::fopen("/dev/full", "w")}) {
        ASSERT_NE(stream, nullptr);
        InstallLog log(stream);
        EXPECT_LT(log.Add(LogEntryKind::File, "C:\\dst\\ORVIK.exe"), 0);
        std::fclose(stream);
    }
    std::remove(name);
    InstallLog none(nullptr);
    EXPECT_EQ(none.Add(LogEntryKind::File, "x"), S_OK);
}
#endif
