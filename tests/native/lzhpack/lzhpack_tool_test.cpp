// The lzhpack tool end to end: its archives against lhasa, jlha's archives
// against it, reproducible output, exit codes, and safe extraction.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "archive/verify_archive.h"
#include "archive_writer.h"
#include "sample_data.h"

namespace fs = std::filesystem;
using lzhpack_test::Bytes;

namespace {

struct RunResult {
    int status;
    std::string output;
};

class LzhpackTool : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("lzhpack_tool_test_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
    }

    RunResult Run(const std::string& command) {
        const fs::path log = dir_ / "command.log";
        int r = std::system(("cd '" + dir_.string() + "' && " + command + " >'" + log.string() + "' 2>&1").c_str());
        std::ifstream in(log, std::ios::binary);
        return {WIFEXITED(r) ? WEXITSTATUS(r) : -1,
                std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())};
    }
    static std::string Lzhpack() { return LZHPACK_BINARY; }

    static void Write(const fs::path& p, const Bytes& data) {
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
    }
    static Bytes Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Every sample, some random sizes, nested directories; returns relative
    // path -> contents.
    std::map<std::string, Bytes> MakeTree(const fs::path& root, bool longName = true) {
        std::map<std::string, Bytes> files;
        int i = 0;
        for (auto& s : lzhpack_test::Samples()) {
            std::string rel = (i % 3 == 0) ? s.name : (i % 3 == 1 ? "sub/" : "sub/deeper/more/") + std::string(s.name);
            files[rel] = std::move(s.data);
            ++i;
        }
        std::mt19937 rng(11);
        for (int k = 0; k < 6; ++k)
            files["random/r" + std::to_string(k) + ".bin"] = lzhpack_test::RandomBytes(rng() % 40000, 100 + k);
        // Its level-2 header is 256 bytes long, a size whose low byte is 0.
        if (longName) files[std::string(195, 'n')] = lzhpack_test::Text(500, 12);
        for (const auto& f : files) Write(root / f.first, f.second);
        return files;
    }

    void ExpectTree(const fs::path& root, const std::map<std::string, Bytes>& files) {
        for (const auto& f : files) {
            SCOPED_TRACE(f.first);
            ASSERT_TRUE(fs::is_regular_file(root / f.first));
            EXPECT_TRUE(Read(root / f.first) == f.second);
        }
    }

    fs::path dir_;
};

TEST_F(LzhpackTool, LhasaAcceptsWhatLzhpackWrites) {
    auto files = MakeTree(dir_ / "src");
    ASSERT_EQ(Run(Lzhpack() + " c ours.lzh -C src .").status, 0);
    RunResult t = Run("lhasa t ours.lzh");
    EXPECT_EQ(t.status, 0) << t.output;
    ASSERT_EQ(Run("mkdir lhasa_out && cd lhasa_out && lhasa xq ../ours.lzh").status, 0);
    ExpectTree(dir_ / "lhasa_out", files);

    // Our own reader agrees, and the members are what the installer expects.
    EXPECT_EQ(Run(Lzhpack() + " t ours.lzh").status, 0);
    ASSERT_EQ(Run(Lzhpack() + " x ours.lzh own_out").status, 0);
    ExpectTree(dir_ / "own_out", files);
    RunResult l = Run(Lzhpack() + " l ours.lzh");
    ASSERT_EQ(l.status, 0);
    EXPECT_NE(l.output.find("-lhd-  2          0          0 0000"), std::string::npos) << l.output;
    EXPECT_NE(l.output.find("sub/deeper/more/"), std::string::npos) << l.output;
    EXPECT_EQ(l.output.find("-lh0-"), std::string::npos) << l.output;
    Bytes archive = Read(dir_ / "ours.lzh");
    ASSERT_FALSE(archive.empty());
    EXPECT_EQ(archive.back(), 0);

    // The sum the setup compares: written for a whole archive only, and the
    // installer's own check agrees with it.
    ASSERT_EQ(Run(Lzhpack() + " sum ours.lzh ours.sum").status, 0);
    Bytes sum = Read(dir_ / "ours.sum");
    ASSERT_EQ(sum.size(), kArchiveSumSize);
    const auto size = static_cast<std::uint32_t>(archive.size());
    EXPECT_EQ(CheckArchiveSum(archive.data(), size, sum.data(), kArchiveSumSize), S_OK);
    archive[archive.size() / 2] ^= 0x10;
    EXPECT_EQ(CheckArchiveSum(archive.data(), size, sum.data(), kArchiveSumSize), E_CORRUPT_DATA);
    std::ofstream(dir_ / "damaged.lzh", std::ios::binary).write(reinterpret_cast<const char*>(archive.data()), size);
    EXPECT_EQ(Run(Lzhpack() + " sum damaged.lzh damaged.sum").status, 1);
    EXPECT_FALSE(fs::exists(dir_ / "damaged.sum"));
}

TEST_F(LzhpackTool, ReadsWhatJlhaWrites) {
    auto files = MakeTree(dir_ / "src", false);  // jlha refuses the long name at level 0
    const struct {
        const char* options;
        const char* method;
    } variants[] = {{"c0o5", "-lh5-"}, {"c1o5", "-lh5-"}, {"c2o5", "-lh5-"}, {"c2z", "-lh0-"}};
    for (const auto& v : variants) {
        SCOPED_TRACE(v.options);
        std::string name = std::string(v.options) + ".lzh";
        ASSERT_EQ(Run("cd src && jlha " + std::string(v.options) + "q ../" + name + " *").status, 0);
        RunResult l = Run(Lzhpack() + " l " + name);
        ASSERT_EQ(l.status, 0) << l.output;
        EXPECT_NE(l.output.find(v.method), std::string::npos) << l.output;
        RunResult t = Run(Lzhpack() + " t " + name);
        EXPECT_EQ(t.status, 0) << t.output;
        std::string out = std::string("out_") + v.options;
        RunResult x = Run(Lzhpack() + " x " + name + " " + out);
        ASSERT_EQ(x.status, 0) << x.output;
        ExpectTree(dir_ / out, files);
    }
}

// 4,718,592,000 zero bytes: the sizes are only whole in extended header 0x42.
TEST_F(LzhpackTool, ReadsTheSixtyFourBitSizesOfLevelTwoHeaders) {
    const std::string archive = LZH_CORPUS "/morphos_lha_2717/h2_huge.lzh";
    if (!fs::exists(archive)) GTEST_SKIP() << "no corpus at " << archive;
    RunResult l = Run(Lzhpack() + " l " + archive);
    ASSERT_EQ(l.status, 0) << l.output;
    EXPECT_NE(l.output.find(" 4718592000 "), std::string::npos) << l.output;
    RunResult t = Run(Lzhpack() + " t " + archive);
    EXPECT_EQ(t.status, 0) << t.output;
}

TEST_F(LzhpackTool, FixedTimeGivesIdenticalArchives) {
    MakeTree(dir_ / "src");
    ASSERT_EQ(Run(Lzhpack() + " c one.lzh -C src --mtime 123456789 .").status, 0);
    // Different file times and a different base path must not matter.
    ASSERT_EQ(Run("touch -c -d '2011-02-03 04:05:06' src/binary src/sub/one_byte src/sub && cp -a src copy").status, 0);
    ASSERT_EQ(Run(Lzhpack() + " c two.lzh --mtime 123456789 -C copy .").status, 0);
    EXPECT_TRUE(Read(dir_ / "one.lzh") == Read(dir_ / "two.lzh"));
    RunResult l = Run(Lzhpack() + " l one.lzh");
    EXPECT_NE(l.output.find("1973-11-29 21:33:09 binary"), std::string::npos) << l.output;

    ASSERT_EQ(Run(Lzhpack() + " x one.lzh out").status, 0);
    for (const char* p : {"out/binary", "out/sub", "out/sub/deeper/more/text"}) {
        struct stat st;
        ASSERT_EQ(::stat((dir_ / p).c_str(), &st), 0) << p;
        EXPECT_EQ(st.st_mtime, 123456789) << p;
    }
}

TEST_F(LzhpackTool, TestReportsFaultsByExitCodeAndMemberName) {
    Write(dir_ / "src/keep.txt", lzhpack_test::Text(5000, 1));
    Write(dir_ / "src/victim.txt", lzhpack_test::Text(60000, 2));
    ASSERT_EQ(Run(Lzhpack() + " c good.lzh -C src keep.txt victim.txt").status, 0);
    Bytes good = Read(dir_ / "good.lzh");
    ASSERT_GT(good.size(), 2000u);

    Bytes flipped = good;
    flipped[flipped.size() - 1000] ^= 0x10;  // inside victim.txt's data
    Write(dir_ / "flipped.lzh", flipped);
    Bytes badHeader = good;
    badHeader[5] ^= 0x01;  // method id of the first member; the header CRC no longer holds
    Write(dir_ / "bad_header.lzh", badHeader);
    Write(dir_ / "truncated.lzh", Bytes(good.begin(), good.end() - 500));

    const struct {
        std::string args;
        int status;
        const char* mentions;
    } cases[] = {
        {"t good.lzh", 0, "2 members OK"},
        {"t flipped.lzh", 1, "victim.txt"},
        {"t bad_header.lzh", 1, "bad member header"},
        {"t truncated.lzh", 1, "victim.txt"},
        {"t missing.lzh", 1, "missing.lzh"},
        {"t", 2, "usage"},
        {"t a.lzh b.lzh", 2, "usage"},
        {"", 2, "usage"},
        {"q good.lzh", 2, "unknown command"},
        {"c new.lzh", 2, "usage"},
        {"c new.lzh --mtime soon src", 2, "--mtime"},
        {"c new.lzh ../escape", 2, "base directory"},
    };
    for (const auto& c : cases) {
        RunResult r = Run(Lzhpack() + " " + c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.output;
        EXPECT_NE(r.output.find(c.mentions), std::string::npos) << c.args << "\n" << r.output;
    }

    // Extraction keeps the sound member and leaves nothing of the damaged one.
    RunResult x = Run(Lzhpack() + " x flipped.lzh out");
    EXPECT_EQ(x.status, 1) << x.output;
    EXPECT_TRUE(fs::exists(dir_ / "out/keep.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "out/victim.txt"));
}

// Host names are UTF-8; inside the archive they are code page 932, where a
// trail byte may be '\' (0x5C) and must not split the name.
TEST_F(LzhpackTool, JapaneseNamesAreStoredInCodePage932) {
    const std::string dirName = u8"日本語", fileName = u8"表示.txt";
    const Bytes data = lzhpack_test::Text(3000, 9);
    Write(dir_ / "src" / dirName / fileName, data);
    ASSERT_EQ(Run(Lzhpack() + " c jp.lzh -C src .").status, 0);
    const Bytes archive = Read(dir_ / "jp.lzh");
    const std::string bytes(archive.begin(), archive.end());
    EXPECT_NE(bytes.find("\x93\xFA\x96\x7B\x8C\xEA\xFF"), std::string::npos);  // 日本語 + separator
    EXPECT_NE(bytes.find("\x95\x5C\x8E\xA6.txt"), std::string::npos);            // 表示.txt
    RunResult l = Run(Lzhpack() + " l jp.lzh");
    EXPECT_NE(l.output.find(dirName + "/" + fileName), std::string::npos) << l.output;
    ASSERT_EQ(Run(Lzhpack() + " x jp.lzh out").status, 0);
    EXPECT_TRUE(Read(dir_ / "out" / dirName / fileName) == data);
}

TEST_F(LzhpackTool, ExtractStaysInsideTheTarget) {
    lzhpack::ArchiveWriter writer;
    const Bytes data = lzhpack_test::Text(100, 1);
    writer.AddFile("", "fine.txt", data.data(), data.size(), lzhpack::TimesFromUnix(0));
    writer.AddFile("..", "evil.txt", data.data(), data.size(), lzhpack::TimesFromUnix(0));
    writer.AddFile("a/../../..", "evil2.txt", data.data(), data.size(), lzhpack::TimesFromUnix(0));
    Write(dir_ / "evil.lzh", writer.Finish());
    fs::create_directories(dir_ / "deep/target");
    RunResult x = Run(Lzhpack() + " x evil.lzh deep/target");
    EXPECT_EQ(x.status, 1) << x.output;
    EXPECT_NE(x.output.find("unsafe"), std::string::npos) << x.output;
    EXPECT_TRUE(fs::exists(dir_ / "deep/target/fine.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "deep/evil.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "evil2.txt"));
    EXPECT_FALSE(fs::exists(dir_.parent_path() / "evil2.txt"));
}

}  // namespace

// A product folder for setup.exe's archive 216 (lzhpack c --product): its
// member order, the same bytes from the same folder and time, and a refusal
// naming the file for everything an installation could not reproduce,
// with no archive left behind.
TEST_F(LzhpackTool, ProductFolder) {
    const std::string make = std::string(PRODUCT_TREE_SCRIPT) + " product " + Lzhpack() + " " + VIEWER_DATA;
    ASSERT_EQ(Run(make).status, 0);
    ASSERT_EQ(Run(Lzhpack() + " c one.lzh --mtime 1764547200 --product product").status, 0);
    RunResult l = Run(Lzhpack() + " l one.lzh | sed 's/.* //'");
    const std::string deep = u8"深い/" + std::string(124, 'f') + "/";
    EXPECT_EQ(l.output, u8"ORVIK.exe\nORVIK.DAT\nREADME.TXT\n空のフォルダ/\n資料/\n資料/表/\n資料/表/ソ/\n資料/表/ソ/ポ.txt\n"
                        u8"資料/表/一覧.txt\n深い/\n" + deep + "\n" + deep + u8"最深部abc.dat\n");
    // Neither the files' times nor a read-only file change the archive:
    // members carry one time and the plain file attribute.
    ASSERT_EQ(Run(u8"cp -r product copy && touch -d '2011-02-03' copy/ORVIK.DAT copy/資料 && "
                  u8"chmod 444 copy/資料/表/一覧.txt copy/ORVIK.exe").status, 0);
    ASSERT_EQ(Run(Lzhpack() + " c two.lzh --mtime 1764547200 --product copy").status, 0);
    EXPECT_TRUE(Read(dir_ / "one.lzh") == Read(dir_ / "two.lzh"));

    const struct {
        const char* change;   // made in a fresh copy of the folder, "bad"
        const char* file;     // named in the message
        const char* message;
    } refusals[] = {
        {u8"ln -s ORVIK.DAT bad/資料/link", u8"bad/資料/link", "a symbolic link"},
        {"mkfifo bad/pipe", "bad/pipe", "a special file"},
        {u8"touch bad/資料/$(printf '\\303\\251').txt", u8"bad/資料/é.txt", "no code page 932 form"},
        {u8"touch bad/深い/ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"
         u8"ffffffffffffffffffffffffffffff/最深部abcd.dat",
         u8"/最深部abcd.dat", "144 bytes in code page 932; a file's may have 143"},
        {u8"mkdir bad/深い/fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"
         "fffffffffffffffffffffffffffg",
         "ffg", "130 bytes in code page 932; a folder's may have 129"},
        {"rm -r bad/* && ls bad", "bad", "an empty folder"},
        {"rm bad/ORVIK.exe", "bad", "no file ORVIK.exe at its top"},
        {u8"touch bad/空のフォルダ/readme.txt bad/空のフォルダ/ReadMe.TXT", "readme.txt", "only in letter case"},
        {"touch bad/SetDown.exe", "bad/SetDown.exe", "writes a file of this name"},
        {u8"touch 'bad/資料/a:b'", u8"bad/資料/a:b", "not allowed in Windows names"},
        {u8"touch 'bad/資料/end.'", u8"bad/資料/end.", "trailing dot"},
        {u8"touch bad/資料/Aux.txt", u8"bad/資料/Aux.txt", "a device name"},
        {u8"touch 'bad/資料/clock$.log'", u8"bad/資料/clock$.log", "a device name"},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.change);
        ASSERT_EQ(Run(std::string("rm -rf bad bad.lzh && cp -r product bad && ") + r.change).status, 0);
        RunResult c = Run(Lzhpack() + " c bad.lzh --mtime 1764547200 --product bad");
        EXPECT_EQ(c.status, 1) << c.output;
        EXPECT_NE(c.output.find(r.file), std::string::npos) << c.output;
        EXPECT_NE(c.output.find(r.message), std::string::npos) << c.output;
        EXPECT_FALSE(fs::exists(dir_ / "bad.lzh"));
        EXPECT_FALSE(fs::exists(dir_ / "bad.lzh.partial"));
    }
}
