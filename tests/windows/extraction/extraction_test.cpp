// The extractor on real files under Wine: archives made by lzhpack and read
// from this program's own resources, and crafted archives for what lzhpack
// never writes. Every failure is checked for what it leaves on disk and in
// INSTALL.LOG.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "archive/verify_archive.h"
#include "crafted_archive.h"
#include "extraction/extract.h"
#include "ground/result.h"
#include "ground/temporary_name.h"
#include "installlog/install_log.h"
#include "test_support.h"

namespace {

constexpr int kBasicArchive = 101;      // docs\ guide.txt, Readme.Exe, x.ini, README, data.kdw, empty.txt
constexpr int kNoDirTextArchive = 102;  // missing\note.txt without its directory member
constexpr int kNoDirIniArchive = 103;   // missing\setup.ini without its directory member
constexpr int kEndOnlyArchive = 104;    // nothing but the end marker
constexpr int kNoSuchResource = 199;

// The file members of archive 101, in archive order.
const std::vector<std::string> kBasicFiles = {"docs\\guide.txt", "Readme.Exe", "x.ini",
                                              "README",          "data.kdw",   "empty.txt"};
const uint64_t kMemberTime = FileTimeFromUnix(kMemberUnixTime);

std::string BasicInput(const std::string& member)
{
    return ReadInput("basic\\" + member);
}

bool Contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The log of a run that wrote the directory member and the first count files.
std::vector<std::string> BasicLog(const std::string& dir, size_t count)
{
    std::vector<std::string> lines = {"[Dirs]", dir + "\\docs"};
    if (count > 0)
        lines.push_back("[Files]");
    for (size_t i = 0; i < count; ++i)
        lines.push_back(dir + "\\" + kBasicFiles[i]);
    return lines;
}

struct ExtractJob {
    ExtractContext* context;
    const char* dir;
    const unsigned char* bytes;
    uint32_t size;
    HRESULT result;
};

DWORD WINAPI RunExtractJob(void* parameter)
{
    auto* job = static_cast<ExtractJob*>(parameter);
    job->result = PlanAndExtract(job->context, job->dir, job->bytes, job->size);
    return 0;
}

// Runs on a second thread so that a decoder that stops making progress fails
// the test instead of hanging it.
HRESULT ExtractBytesWithin(ExtractContext* context, const std::string& dir, const unsigned char* bytes,
                           uint32_t size, DWORD milliseconds = 60000)
{
    ExtractJob job = {context, dir.c_str(), bytes, size, E_UNEXPECTED};
    HANDLE thread = CreateThread(nullptr, 0, RunExtractJob, &job, 0, nullptr);
    if (WaitForSingleObject(thread, milliseconds) != WAIT_OBJECT_0) {
        fprintf(stderr, "extraction did not finish: the decoder loops\n");
        fflush(stderr);
        ExitProcess(3);
    }
    CloseHandle(thread);
    return job.result;
}

// Archive bytes placed flush against an inaccessible page: reading one byte
// past the end faults.
class GuardedBytes {
public:
    explicit GuardedBytes(const std::vector<unsigned char>& bytes)
    {
        const SIZE_T page = 4096;
        const SIZE_T pages = (bytes.size() + page - 1) / page + 1;
        base_ = static_cast<unsigned char*>(VirtualAlloc(nullptr, pages * page, MEM_COMMIT | MEM_RESERVE,
                                                         PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base_ + (pages - 1) * page, page, PAGE_NOACCESS, &old);
        data_ = base_ + (pages - 1) * page - bytes.size();
        memcpy(data_, bytes.data(), bytes.size());
        size_ = static_cast<uint32_t>(bytes.size());
    }
    ~GuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
    const unsigned char* data() const { return data_; }
    uint32_t size() const { return size_; }

private:
    unsigned char* base_;
    unsigned char* data_;
    uint32_t size_;
};

ExtractContext Context(CopyMode mode, bool doNotAsk, InstallLog* log)
{
    return ExtractContext{nullptr, mode, doNotAsk, log};
}

}  // namespace

TEST(ExtractArchiveResource, WritesEveryMemberWithItsTimeAndLogsIt)
{
    const std::string dir = FreshDirectory("all");
    // The destination's attributes are reset once the archive is done.
    SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_READONLY);
    TestLog log(dir);
    DialogWatcher watcher;
    ExtractContext context = Context(CopyMode::ReplaceUnlessNewer, false, log.log());

    ASSERT_EQ(PlanAndExtractResource(&context, kBasicArchive, dir), S_OK);

    EXPECT_EQ(watcher.Count(), 0);
    for (const std::string& member : kBasicFiles) {
        SCOPED_TRACE(member);
        EXPECT_EQ(ReadWholeFile(dir + "\\" + member), BasicInput(member));
        EXPECT_EQ(LastWriteTime(dir + "\\" + member), kMemberTime);
    }
    EXPECT_GT(BasicInput("docs\\guide.txt").size(), 8192u * 4);  // many buffers, many window turns
    EXPECT_EQ(log.Lines(), BasicLog(dir, kBasicFiles.size()));
    EXPECT_EQ(GetFileAttributesA(dir.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST(AlwaysReplaceExtensions, AreComparedIgnoringCase)
{
    struct Case {
        const char* extension;
        bool listed;
    } cases[] = {
        {"EXE", true},   {"exe", true},   {"Exe", true},   {"dll", true},  {"386", true},  {"Pnf", true},
        {"QEVZ", true},  {"qevz", true},  {"QEV", true},   {"ini", true},  {"XJW", true},  {"zuj", true},
        {"", false},     {"EX", false},   {"EXEC", false}, {"QEVZZ", false}, {"txt", false}, {"ZUD", false},
        {"exe ", false}, {"ＥＸＥ", false}, {"ｅｘｅ", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsAlwaysReplacedExtension(c.extension), c.listed) << c.extension;
    }
}

// Which members are written over an existing file, without any question: the
// listed extensions always, an identical file always, and otherwise what the
// context's mode says once doNotAsk is set.
TEST(ExtractArchiveResource, OverwritePolicyWithoutQuestions)
{
    const std::string readmeSameSize(BasicInput("README").size(), 'z');
    struct Case {
        const char* name;
        const char* member;
        std::string existing;
        int64_t existingDelta;  // seconds relative to the member's time
        CopyMode mode;
        bool doNotAsk;
        bool written;
    } cases[] = {
        {"listed_ini_older", "x.ini", "older settings, longer than the member's", -86400, CopyMode::Skip, false, true},
        {"listed_mixed_case_newer", "Readme.Exe", "x", 86400, CopyMode::Skip, true, true},
        {"same_time_and_size", "README", readmeSameSize, 0, CopyMode::Skip, false, true},
        {"same_time_other_size", "README", "different", 0, CopyMode::ReplaceUnlessNewer, true, true},
        {"unless_newer_existing_newer", "README", "newer", 3600, CopyMode::ReplaceUnlessNewer, true, false},
        {"unless_newer_existing_older", "README", "older", -3600, CopyMode::ReplaceUnlessNewer, true, true},
        {"replace_existing_newer", "README", "newer", 3600, CopyMode::Replace, true, true},
        {"skip_existing_older", "README", "older", -3600, CopyMode::Skip, true, false},
        {"other_mode_acts_as_replace", "data.kdw", "newer", 3600, static_cast<CopyMode>(7), true, true},
        {"skip_in_subdirectory", "docs\\guide.txt", "other", 0, CopyMode::Skip, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = FreshDirectory(c.name);
        CreateDirectoryA((dir + "\\docs").c_str(), nullptr);
        const std::string path = dir + "\\" + c.member;
        WriteWholeFile(path, c.existing);
        SetLastWriteTime(path, kMemberTime + c.existingDelta * 10000000);
        TestLog log(dir);
        DialogWatcher watcher;
        ExtractContext context = Context(c.mode, c.doNotAsk, log.log());

        EXPECT_EQ(PlanAndExtractResource(&context, kBasicArchive, dir), S_OK);

        EXPECT_EQ(watcher.Count(), 0);
        EXPECT_EQ(ReadWholeFile(path), c.written ? BasicInput(c.member) : c.existing);
        const std::vector<std::string> lines = log.Lines();
        EXPECT_EQ(Contains(lines, path), c.written);
        // The other members are written as usual.
        EXPECT_EQ(ReadWholeFile(dir + "\\empty.txt"), "");
        EXPECT_TRUE(Contains(lines, dir + "\\empty.txt"));
    }
}

TEST(ExtractArchiveResource, EmptyArchiveOrMissingResourceOnlySetsTheAttributes)
{
    struct Case {
        int resource;
        bool directoryExists;
        HRESULT result;
    } cases[] = {
        {kEndOnlyArchive, true, S_OK},
        {kNoSuchResource, true, S_OK},
        {kEndOnlyArchive, false, RESULT_FILE_NOT_FOUND},
        {kNoSuchResource, false, RESULT_FILE_NOT_FOUND},
    };
    ASSERT_EQ(ResourceBytes(kEndOnlyArchive), std::vector<unsigned char>{0});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.resource << (c.directoryExists ? " existing" : " missing"));
        std::string dir = FreshDirectory("empty");
        SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_READONLY);
        if (!c.directoryExists) {
            SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
            RemoveDirectoryA(dir.c_str());
        }
        ExtractContext context = Context(CopyMode::Replace, true, nullptr);
        EXPECT_EQ(PlanAndExtractResource(&context, c.resource, dir), c.result);
        if (c.directoryExists) {
            EXPECT_EQ(GetFileAttributesA(dir.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
        } else {
            EXPECT_FALSE(PathExists(dir));
        }
    }
}

// A member whose directory member did not come first: listed or not, the
// missing path is reported.
TEST(ExtractArchiveResource, MemberWithoutItsDirectoryMember)
{
    struct Case {
        int resource;
        HRESULT result;
    } cases[] = {{kNoDirTextArchive, RESULT_PATH_NOT_FOUND}, {kNoDirIniArchive, RESULT_PATH_NOT_FOUND}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.resource);
        const std::string dir = FreshDirectory("nodir");
        TestLog log(dir);
        ExtractContext context = Context(CopyMode::ReplaceUnlessNewer, false, log.log());
        EXPECT_EQ(PlanAndExtractResource(&context, c.resource, dir), c.result);
        EXPECT_FALSE(PathExists(dir + "\\missing"));
        EXPECT_TRUE(log.Lines().empty());
    }
}

// An existing file that cannot be opened (held open without sharing) stays
// as it is, and the plan finds it before any member is written.
TEST(ExtractArchiveResource, ExistingFileThatCannotBeOpenedIsUntouched)
{
    struct Case {
        const char* member;
        size_t index;
        bool sameTimeAndSize;  // unlisted: found identical, so it is written again
    } cases[] = {{"x.ini", 2, false}, {"README", 3, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.member);
        const std::string dir = FreshDirectory("held");
        const std::string path = dir + "\\" + c.member;
        const std::string existing = c.sameTimeAndSize ? std::string(BasicInput(c.member).size(), 'k') : "keep me";
        WriteWholeFile(path, existing);
        SetLastWriteTime(path, kMemberTime);
        HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        TestLog log(dir);
        DialogWatcher watcher;
        ExtractContext context = Context(CopyMode::ReplaceUnlessNewer, false, log.log());

        // The cause reaches the user: the file is in use.
        EXPECT_EQ(PlanAndExtractResource(&context, kBasicArchive, dir),
                  HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));

        CloseHandle(held);
        EXPECT_EQ(watcher.Count(), 0);
        EXPECT_EQ(ReadWholeFile(path), existing);
        EXPECT_TRUE(log.Lines().empty());
        for (size_t i = 0; i < kBasicFiles.size(); ++i) {
            if (i != c.index) {
                EXPECT_FALSE(PathExists(dir + "\\" + kBasicFiles[i])) << kBasicFiles[i];
            }
        }
    }
}

// A directory where a member's file goes: access denied, and it stays.
TEST(ExtractArchiveResource, DirectoryInTheWayIsAccessDenied)
{
    const std::string dir = FreshDirectory("in_the_way");
    ASSERT_TRUE(CreateDirectoryA((dir + "\\x.ini").c_str(), nullptr));
    ExtractContext context = Context(CopyMode::Replace, true, nullptr);
    EXPECT_EQ(PlanAndExtractResource(&context, kBasicArchive, dir), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetFileAttributesA((dir + "\\x.ini").c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

// A read-only file is replaced exactly when the platform lets a program
// create it anew (Windows refuses; Wine run as root does not).
TEST(ExtractArchiveResource, ExistingReadOnlyFileFollowsThePlatform)
{
    const std::string dir = FreshDirectory("readonly");
    const std::string probe = dir + "\\probe.ini";
    WriteWholeFile(probe, "probe");
    SetFileAttributesA(probe.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE h = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool platformRefuses = h == INVALID_HANDLE_VALUE;
    if (!platformRefuses)
        CloseHandle(h);

    const std::string path = dir + "\\x.ini";
    WriteWholeFile(path, "read-only settings");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    TestLog log(dir);
    ExtractContext context = Context(CopyMode::ReplaceUnlessNewer, true, log.log());
    const HRESULT result = PlanAndExtractResource(&context, kBasicArchive, dir);
    if (platformRefuses) {
        EXPECT_EQ(result, E_FAIL);
        EXPECT_EQ(ReadWholeFile(path), "read-only settings");
        EXPECT_EQ(log.Lines(), BasicLog(dir, 2));
    } else {
        EXPECT_EQ(result, S_OK);
        EXPECT_EQ(ReadWholeFile(path), BasicInput("x.ini"));
        EXPECT_TRUE(Contains(log.Lines(), path));
    }
}

// A flipped data byte in a coded member: that member leaves no file and no
// log line, the members before it stay and stay logged.
TEST(ExtractMembers, CorruptCodedMemberIsDeletedAndNotLogged)
{
    std::vector<unsigned char> bytes = ResourceBytes(kBasicArchive);
    ASSERT_FALSE(bytes.empty());
    const size_t dataKdw = 5;  // archive index: docs\ is member 0
    const size_t start = MemberDataOffset(bytes, static_cast<int>(dataKdw));
    bytes[start + 40] ^= 0x5A;

    const std::string dir = FreshDirectory("corrupt");
    TestLog log(dir);
    ExtractContext context = Context(CopyMode::ReplaceUnlessNewer, true, log.log());
    const HRESULT result = ExtractBytesWithin(&context, dir, bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_TRUE(result == E_CORRUPT_DATA || result == E_FAIL) << std::hex << result;
    EXPECT_FALSE(PathExists(dir + "\\data.kdw"));
    EXPECT_FALSE(PathExists(dir + "\\empty.txt"));
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(ReadWholeFile(dir + "\\" + kBasicFiles[i]), BasicInput(kBasicFiles[i]));
    EXPECT_EQ(log.Lines(), BasicLog(dir, 4));
}

// Crafted archives: stored members, broken checks, bad names. Each row says
// what the run returns and which files exist and are logged afterwards.
TEST(ExtractMembers, CraftedArchives)
{
    auto stored = [](const std::string& path, const std::string& data) {
        CraftedMember m;
        m.path = path;
        m.data = data;
        return m;
    };
    auto directory = [](const std::string& path) {
        CraftedMember m;
        m.path = path;
        m.method = "-lhd-";
        return m;
    };
    CraftedMember badCrc = stored("b.txt", "second");
    badCrc.dataCrcDelta = 1;
    CraftedMember badHeader = stored("b.txt", "second");
    badHeader.breakHeaderCrc = true;
    CraftedMember longerThanData = stored("b.txt", "second");
    longerThanData.originalSizeOverride = 7;
    CraftedMember empty = stored("e.txt", "");
    // Block of 1 code, then a code-length table count of 20: corrupt data.
    CraftedMember undecodable = stored("u.txt", std::string("\x00\x01\xA0\x00", 4));
    undecodable.method = "-lh5-";
    undecodable.originalSizeOverride = 100;

    struct Case {
        const char* name;
        std::vector<CraftedMember> members;
        HRESULT result;
        HRESULT verified;                // the whole-archive check: only damage fails it
        std::vector<std::string> files;  // written and logged, in order
        std::vector<std::string> dirs;   // created and logged, in order
        size_t cut = 0;                  // bytes cut off the end of the archive
    } cases[] = {
        {"stored", {stored("a.txt", "first"), empty, stored("b.txt", "second")}, S_OK, S_OK, {"a.txt", "e.txt", "b.txt"}, {}},
        {"data_crc", {stored("a.txt", "first"), badCrc, stored("c.txt", "third")}, E_CORRUPT_DATA, E_CORRUPT_DATA, {"a.txt"}, {}},
        {"decoder_error", {stored("a.txt", "first"), undecodable, stored("c.txt", "x")}, E_FAIL, E_CORRUPT_DATA, {"a.txt"}, {}},
        // Damage the plan's walk of the headers meets: nothing is written.
        {"header_crc", {stored("a.txt", "first"), badHeader}, E_FAIL, E_CORRUPT_DATA, {}, {}},
        {"stored_longer_than_its_data", {stored("a.txt", "first"), longerThanData, stored("c.txt", "x")},
         E_FAIL, E_CORRUPT_DATA, {"a.txt"}, {}},
        {"stored_past_the_end", {stored("a.txt", "first"), stored("b.txt", std::string(300, 'b'))}, E_FAIL, E_CORRUPT_DATA,
         {}, {}, 100},
        {"double_byte_directory", {directory("表\\"), stored("表\\表示.txt", "hyo")}, S_OK, S_OK, {"表\\表示.txt"}, {"表"}},
        // A directory member without its separator is still the directory;
        // one without a path is the destination itself.
        {"directory_without_separator", {directory("plain"), stored("plain\\p.txt", "p")}, S_OK, S_OK,
         {"plain\\p.txt"}, {"plain"}},
        {"directory_without_path", {directory(""), stored("a.txt", "first")}, S_OK, S_OK, {"a.txt"}, {}},
        {"directory_over_a_file", {directory("made\\"), stored("blocker", "b"), directory("blocker\\inner\\")},
         RESULT_PATH_NOT_FOUND, S_OK, {"blocker"}, {"made"}},
        {"parent_reference", {stored("a.txt", "first"), stored("..\\escape.txt", "out")}, E_FAIL, S_OK, {}, {}},
        {"nested_parent_reference", {stored("sub\\..\\..\\escape.txt", "out")}, E_FAIL, S_OK, {}, {}},
        {"rooted_name", {stored("\\escape.txt", "out")}, E_FAIL, S_OK, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = FreshDirectory(std::string("crafted_") + c.name);
        std::vector<unsigned char> bytes = CraftArchive(c.members, c.cut == 0);
        bytes.resize(bytes.size() - c.cut);
        GuardedBytes guarded(bytes);
        TestLog log(dir);
        ExtractContext context = Context(CopyMode::Replace, true, log.log());

        EXPECT_EQ(VerifyArchive(guarded.data(), guarded.size()), c.verified);
        EXPECT_EQ(ExtractBytesWithin(&context, dir, guarded.data(), guarded.size()), c.result);

        std::vector<std::string> expected;
        if (!c.dirs.empty())
            expected.push_back("[Dirs]");
        for (const std::string& d : c.dirs)
            expected.push_back(dir + "\\" + d);
        if (!c.files.empty())
            expected.push_back("[Files]");
        for (const std::string& f : c.files)
            expected.push_back(dir + "\\" + f);
        EXPECT_EQ(log.Lines(), expected);
        for (const CraftedMember& m : c.members) {
            const bool listed = std::find(c.files.begin(), c.files.end(), m.path) != c.files.end();
            if (m.method != "-lhd-") {
                EXPECT_EQ(PathExists(dir + "\\" + m.path), listed) << m.path;
            }
            if (listed) {
                EXPECT_EQ(ReadWholeFile(dir + "\\" + m.path), m.data) << m.path;
            }
        }
        EXPECT_FALSE(PathExists("C:\\extraction\\escape.txt"));
        EXPECT_FALSE(PathExists("C:\\escape.txt"));
    }
}

// An archive cut inside a coded member: the plan's walk finds the member's
// data running past the end, and nothing is written.
TEST(ExtractMembers, ArchiveCutInsideACodedMember)
{
    const std::vector<unsigned char> whole = ResourceBytes(kBasicArchive);
    const size_t guideStart = MemberDataOffset(whole, 1);
    const size_t guideEnd = MemberDataOffset(whole, 2);  // past the next header, still inside the archive
    ASSERT_GT(guideEnd - guideStart, 2000u);
    for (size_t keep : {size_t(0), size_t(1), size_t(200), (guideEnd - guideStart) / 2}) {
        SCOPED_TRACE(keep);
        std::vector<unsigned char> bytes(whole.begin(), whole.begin() + guideStart + keep);
        GuardedBytes guarded(bytes);
        const std::string dir = FreshDirectory("truncated");
        TestLog log(dir);
        ExtractContext context = Context(CopyMode::Replace, true, log.log());
        EXPECT_EQ(ExtractBytesWithin(&context, dir, guarded.data(), guarded.size()), E_FAIL);
        EXPECT_FALSE(PathExists(dir + "\\docs"));
        EXPECT_TRUE(log.Lines().empty());
    }
}

// The whole-archive check on an lzhpack archive, one row per kind of damage
// that a bad download or medium does. The coded-byte rows flip bytes of
// data.kdw's coded data until the extractor reports that kind of failure.
TEST(VerifyArchive, DamagedLzhpackArchive)
{
    const std::vector<unsigned char> whole = ResourceBytes(kBasicArchive);
    ASSERT_FALSE(whole.empty());
    const std::string dir = FreshDirectory("verify");
    auto extracted = [&](const std::vector<unsigned char>& bytes) {
        ExtractContext context = Context(CopyMode::Replace, true, nullptr);
        return ExtractBytesWithin(&context, dir, bytes.data(), static_cast<uint32_t>(bytes.size()));
    };
    // data.kdw's coded data: from its data offset, its compressed size long.
    LzhDecodeStream cursor = {};
    cursor.nextIn = whole.data();
    cursor.availIn = static_cast<uint32_t>(whole.size());
    MemberInfo info = {};
    for (int member = 0; member <= 5; ++member) {
        cursor.nextIn += info.compressedSize;
        cursor.availIn -= info.compressedSize;
        ASSERT_EQ(ReadMemberHeader(&cursor, nullptr, 0, &info), MEMBER_HEADER_OK);
    }
    ASSERT_EQ(info.method, METHOD_LH5);
    const size_t kdwStart = MemberDataOffset(whole, 5);
    const size_t kdwEnd = kdwStart + info.compressedSize;
    auto flippedCodedByte = [&](HRESULT extraction) {
        for (size_t at = kdwStart; at < kdwEnd; ++at) {
            std::vector<unsigned char> bytes = whole;
            bytes[at] ^= 0x10;
            if (extracted(bytes) == extraction)
                return bytes;
        }
        ADD_FAILURE() << "no flipped byte gives " << std::hex << extraction;
        return whole;
    };
    auto cut = [&](size_t size) { return std::vector<unsigned char>(whole.begin(), whole.begin() + size); };
    std::vector<unsigned char> header = whole;
    header[MemberDataOffset(whole, 2) - 4] ^= 0x01;  // inside x.ini's header

    const struct Case {
        const char* name;
        std::vector<unsigned char> bytes;
        HRESULT verified;
    } cases[] = {
        {"intact", whole, S_OK},
        {"coded_byte_crc_mismatch", flippedCodedByte(E_CORRUPT_DATA), E_CORRUPT_DATA},
        {"coded_byte_decoder_error", flippedCodedByte(E_FAIL), E_CORRUPT_DATA},
        {"header_byte", header, E_CORRUPT_DATA},
        {"cut_before_the_end_marker", cut(whole.size() - 1), E_CORRUPT_DATA},
        {"cut_inside_a_coded_member", cut(MemberDataOffset(whole, 1) + 200), E_CORRUPT_DATA},
    };
    // The check before an installation, against the sum of the intact
    // archive, refuses what decoding refuses.
    unsigned char sum[kArchiveSumSize];
    MakeArchiveSum(whole.data(), static_cast<uint32_t>(whole.size()), sum);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GuardedBytes guarded(c.bytes);
        EXPECT_EQ(VerifyArchive(guarded.data(), guarded.size()), c.verified);
        EXPECT_EQ(CheckArchiveSum(guarded.data(), guarded.size(), sum, kArchiveSumSize), c.verified);
    }
    // And a sum missing, cut short or changed.
    GuardedBytes intact(whole);
    EXPECT_EQ(CheckArchiveSum(intact.data(), intact.size(), nullptr, 0), E_CORRUPT_DATA);
    EXPECT_EQ(CheckArchiveSum(intact.data(), intact.size(), sum, kArchiveSumSize - 1), E_CORRUPT_DATA);
    sum[0] ^= 1;
    EXPECT_EQ(CheckArchiveSum(intact.data(), intact.size(), sum, kArchiveSumSize), E_CORRUPT_DATA);
}

TEST(ExtractMembers, ArchivedFileTimesAreApplied)
{
    const uint64_t creation = FileTimeFromUnix(1000000000);
    const uint64_t lastWrite = FileTimeFromUnix(1200000000) + 1234567;
    const uint64_t lastAccess = FileTimeFromUnix(1300000000);
    struct Case {
        uint64_t creation, lastWrite, lastAccess;
    } cases[] = {
        {creation, lastWrite, lastAccess},
        {0, lastWrite, 0},  // a zero time is left as the system set it
        {0, 0, 0},          // no times at all: no call
    };
    // Wine keeps no creation time of its own on this file system: it reports
    // the last-write time. Creation times are checked where they are kept.
    const std::string probeDir = FreshDirectory("times_probe");
    WriteWholeFile(probeDir + "\\probe", "p");
    HANDLE probe = CreateFileA((probeDir + "\\probe").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const FILETIME probeCreation = ToFileTime(creation);
    FILETIME probeRead = {};
    SetFileTime(probe, &probeCreation, nullptr, nullptr);
    GetFileTime(probe, &probeRead, nullptr, nullptr);
    CloseHandle(probe);
    const bool creationKept = FromFileTime(probeRead) == creation;

    for (const Case& c : cases) {
        const std::string dir = FreshDirectory("times");
        CraftedMember m;
        m.path = "t.txt";
        m.data = "times";
        m.withFileTimes = true;
        m.creationTime = c.creation;
        m.lastWriteTime = c.lastWrite;
        m.lastAccessTime = c.lastAccess;
        const std::vector<unsigned char> bytes = CraftArchive({m});
        FILETIME before;
        GetSystemTimeAsFileTime(&before);
        ExtractContext context = Context(CopyMode::Replace, true, nullptr);
        ASSERT_EQ(PlanAndExtract(&context, dir, bytes.data(), static_cast<uint32_t>(bytes.size())), S_OK);

        HANDLE file = CreateFileA((dir + "\\t.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        FILETIME got[3];
        ASSERT_TRUE(GetFileTime(file, &got[0], &got[1], &got[2]));
        CloseHandle(file);
        const uint64_t now = FromFileTime(before) - 20000000;  // two seconds of slack
        const uint64_t expected[3] = {c.creation, c.lastAccess, c.lastWrite};
        for (int i = creationKept ? 0 : 1; i < 3; ++i) {
            SCOPED_TRACE(i);
            if (expected[i] != 0)
                EXPECT_EQ(FromFileTime(got[i]), expected[i]);
            else
                EXPECT_GE(FromFileTime(got[i]), now);
        }
    }
}

// A 253-byte destination: a file name of 12 bytes does not fit, nor does the
// separator behind a directory name of 4 (258 bytes joined).
TEST(ExtractMembers, DestinationPathThatCannotBeFormed)
{
    const std::string dir = "C:\\" + std::string(250, 'd');
    CraftedMember file;
    file.path = "longname.txt";
    file.data = "x";
    CraftedMember directory;
    directory.path = "abcd";
    directory.method = "-lhd-";
    for (const CraftedMember& m : {file, directory}) {
        SCOPED_TRACE(m.path);
        const std::vector<unsigned char> bytes = CraftArchive({m});
        ExtractContext context = Context(CopyMode::Replace, true, nullptr);
        EXPECT_EQ(PlanAndExtract(&context, dir, bytes.data(), static_cast<uint32_t>(bytes.size())), E_FAIL);
        EXPECT_FALSE(PathExists(dir));
    }
}

// A member whose full path is 255 bytes, in a directory too deep for a
// temporary file of the system's form beside it, is written, also over an
// existing copy, and no temporary file is left.
TEST(ExtractMembers, MemberPathOf255BytesIsWritten)
{
    const std::string dir = FreshDirectory("deep");
    CraftedMember directory;
    directory.path = std::string(255 - dir.size() - 2 - 8, 's') + "\\";
    directory.method = "-lhd-";
    CraftedMember file;
    file.path = directory.path + "name.txt";
    file.data = "deep";
    const std::string full = dir + "\\" + file.path;
    ASSERT_EQ(full.size(), 255u);
    const std::vector<unsigned char> bytes = CraftArchive({directory, file});
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        TestLog log(dir);
        ExtractContext context = Context(CopyMode::Replace, true, log.log());
        EXPECT_EQ(PlanAndExtract(&context, dir, bytes.data(), static_cast<uint32_t>(bytes.size())), S_OK);
        EXPECT_EQ(ReadWholeFile(full), "deep");
        EXPECT_EQ(log.Lines().back(), full);
        WIN32_FIND_DATAA found;
        EXPECT_EQ(FindFirstFileA((dir + "\\ORV*.TMP").c_str(), &found), INVALID_HANDLE_VALUE);
    }
}

// Temporaries: a member never opens a file that is there, whatever its
// name, and leaves none behind; what a stopped run left under the rule's
// names goes once the extraction reaches the destination or a directory
// member, while other names, a directory of such a name and a folder the
// archive does not create are left alone.
TEST(ExtractMembers, TemporaryNamesMeetNoExistingFileAndStaleOnesGo)
{
    const std::string dir = FreshDirectory("temporaries");
    ASSERT_TRUE(CreateDirectoryA((dir + "\\sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((dir + "\\kept").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((dir + "\\sub\\ORV1111111111111111.TMP").c_str(), nullptr));
    const std::vector<std::string> stale = {dir + "\\ORV0123456789ABCDEF.TMP", dir + "\\sub\\orvfedcba9876543210.tmp"};
    std::vector<std::string> stay = {dir + "\\ORV0123.TMP", dir + "\\ORV0123456789ABCDEF0.TMP"};
    uint64_t unique = 0x9E3779B97F4A7C15ULL;
    for (int i = 0; i < 100; ++i) {
        char name[kTemporaryNameLength + 1];
        FormatTemporaryName(name, unique *= 6364136223846793005ULL);
        stay.push_back(dir + "\\kept\\" + name);
    }
    for (const std::vector<std::string>* files : std::vector<const std::vector<std::string>*>{&stale, &stay}) {
        for (const std::string& file : *files)
            WriteWholeFile(file, "there before");
    }
    std::vector<CraftedMember> members(3);
    members[0].path = "sub\\";
    members[0].method = "-lhd-";
    members[1].path = "sub\\a.txt";
    members[2].path = "b.txt";
    for (int i = 0; i < 100; ++i) {
        CraftedMember member;
        member.path = "kept\\f" + std::to_string(i) + ".txt";
        members.push_back(member);
    }
    for (CraftedMember& member : members)
        member.data = member.method == "-lhd-" ? "" : "member " + member.path;
    const std::vector<unsigned char> bytes = CraftArchive(members);
    TestLog log(dir);
    ExtractContext context = Context(CopyMode::Replace, true, log.log());
    ASSERT_EQ(PlanAndExtract(&context, dir, bytes.data(), static_cast<uint32_t>(bytes.size())), S_OK);

    for (const CraftedMember& member : members) {
        if (member.method != "-lhd-")
            EXPECT_EQ(ReadWholeFile(dir + "\\" + member.path), member.data) << member.path;
    }
    for (const std::string& file : stale)
        EXPECT_FALSE(PathExists(file)) << file;
    for (const std::string& file : stay)
        EXPECT_EQ(ReadWholeFile(file), "there before") << file;
    EXPECT_TRUE(PathExists(dir + "\\sub\\ORV1111111111111111.TMP"));
    size_t temporaries = 0;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\kept\\*").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        temporaries += IsTemporaryName(found.cFileName) ? 1 : 0;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    EXPECT_EQ(temporaries, 100u);
}

// The pass before the extraction decides for every member of an archive
// however many it holds, and the extraction follows it: here every third
// file exists with a later time and stays.
TEST(ExtractMembers, PlanOfManyMembersDrivesTheExtraction)
{
    const std::string dir = FreshDirectory("many");
    std::vector<CraftedMember> members(300);
    for (size_t i = 0; i < members.size(); ++i) {
        members[i].path = "f" + std::to_string(i) + ".txt";
        members[i].data = "member " + std::to_string(i);
        if (i % 3 == 0)
            WriteWholeFile(dir + "\\" + members[i].path, "newer");
    }
    const std::vector<unsigned char> bytes = CraftArchive(members);
    ExtractContext context = Context(CopyMode::ReplaceUnlessNewer, true, nullptr);
    ExtractPlan plan;
    ASSERT_EQ(PlanMembers(&context, dir.c_str(), bytes.data(), static_cast<uint32_t>(bytes.size()), &plan), S_OK);
    ASSERT_EQ(plan.Count(), members.size());
    context.plan = &plan;
    ASSERT_EQ(ExtractMembers(&context, dir.c_str(), bytes.data(), static_cast<uint32_t>(bytes.size())), S_OK);
    for (size_t i = 0; i < members.size(); ++i)
        EXPECT_EQ(ReadWholeFile(dir + "\\" + members[i].path), i % 3 == 0 ? "newer" : members[i].data) << i;
}

// A time the system refuses (beyond the largest valid file time) fails the
// member with that system error; the file is deleted, not logged.
TEST(ExtractMembers, FileTimeTheSystemRefuses)
{
    const uint64_t invalid = 0x8000000000000123ULL;
    const std::string dir = FreshDirectory("bad_time");
    WriteWholeFile(dir + "\\probe", "p");
    HANDLE probe = CreateFileA((dir + "\\probe").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const FILETIME probeTime = ToFileTime(invalid);
    SetLastError(0);
    const bool refused = !SetFileTime(probe, nullptr, nullptr, &probeTime);
    const DWORD error = GetLastError();
    CloseHandle(probe);

    CraftedMember first;
    first.path = "a.txt";
    first.data = "first";
    CraftedMember bad = first;
    bad.path = "b.txt";
    bad.withFileTimes = true;
    bad.lastWriteTime = invalid;
    const std::vector<unsigned char> bytes = CraftArchive({first, bad});
    TestLog log(dir);
    ExtractContext context = Context(CopyMode::Replace, true, log.log());
    const HRESULT result = PlanAndExtract(&context, dir, bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (refused) {
        EXPECT_EQ(result, ResultFromWin32(error));
        EXPECT_FALSE(PathExists(dir + "\\b.txt"));
        EXPECT_EQ(log.Lines(), (std::vector<std::string>{"[Files]", dir + "\\a.txt"}));
    } else {
        EXPECT_EQ(result, S_OK);
        EXPECT_EQ(log.Lines(), (std::vector<std::string>{"[Files]", dir + "\\a.txt", dir + "\\b.txt"}));
    }
    printf("SetFileTime of 0x%llx: %s (error %lu)\n", static_cast<unsigned long long>(invalid),
           refused ? "refused" : "accepted", error);
}

// A damaged member over the user's changed file, written over it by the
// user's choice (or because the file is older): the file keeps every byte,
// nothing new is logged and no temporary file is left beside it. Also run in
// a Windows 98 prefix, where the file steps aside under a name of its own.
TEST(ExtractMembers, DamagedMemberLeavesTheExistingFileAsItWas)
{
    const char* version = getenv("ORVIK_WINE_VERSION");
    if (version != nullptr && strcmp(version, "win98") == 0)
        ASSERT_NE(GetVersion() & 0x80000000u, 0u) << "not the Windows 9x family";
    std::vector<unsigned char> bytes = ResourceBytes(kBasicArchive);
    ASSERT_FALSE(bytes.empty());
    bytes[MemberDataOffset(bytes, 5) + 40] ^= 0x5A;  // data.kdw
    const struct {
        CopyMode mode;
        uint64_t existingTime;
    } cases[] = {{CopyMode::Replace, kMemberTime + 10000000ULL * 86400}, {CopyMode::ReplaceUnlessNewer, 10000000ULL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        const std::string dir = FreshDirectory("damaged");
        const std::string path = dir + "\\data.kdw";
        const std::string changed = "the user's own drawing data\r\n";
        WriteWholeFile(path, changed);
        SetLastWriteTime(path, c.existingTime);
        TestLog log(dir);
        ExtractContext context = Context(c.mode, true, log.log());
        const HRESULT result = ExtractBytesWithin(&context, dir, bytes.data(), static_cast<uint32_t>(bytes.size()));
        EXPECT_TRUE(result == E_CORRUPT_DATA || result == E_FAIL) << std::hex << result;
        EXPECT_EQ(ReadWholeFile(path), changed);
        EXPECT_EQ(log.Lines(), BasicLog(dir, 4));
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA((dir + "\\*.TMP").c_str(), &entry);
        EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "left behind: " << entry.cFileName;
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
    }
}
