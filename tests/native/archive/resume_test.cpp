// Resumability and robustness on real archives: any pacing of input and
// output gives the bytes of one large call, and every truncation of a valid
// archive fails cleanly. Inputs: corpus archives and archives that jlha
// makes at test time. Built with AddressSanitizer, so a read outside the
// exactly-sized archive copy fails the test.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <unistd.h>
#include <string>

#include "archive/crc16.h"
#include "lzh_test_support.h"

namespace {

std::string CorpusDir()
{
    const char* dir = std::getenv("ORVIK_LZH_CORPUS");
    return dir != nullptr ? dir : "";
}

// Text-like data with long and short repeats, and noise, so that blocks,
// matches across the whole window and literals all occur.
Bytes MakeData(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    const char* words[] = {"lorem ", "ipsum ", "dolor ", "sit ", "amet, ", "\r\n", "consectetur ", "0x1F, "};
    Bytes data;
    while (data.size() < size) {
        unsigned pick = rng() % 10;
        if (pick < 6) {
            const char* w = words[rng() % 8];
            data.insert(data.end(), w, w + std::strlen(w));
        } else if (pick < 8 && data.size() > 9000) {
            size_t from = data.size() - 1 - rng() % 8190;
            size_t len = 3 + rng() % 300;
            for (size_t i = 0; i < len; ++i)
                data.push_back(data[from + i]);
        } else {
            for (int i = rng() % 20; i > 0; --i)
                data.push_back(static_cast<unsigned char>(rng()));
        }
    }
    data.resize(size);
    return data;
}

std::string TempDir()
{
    const char* t = std::getenv("TMPDIR");
    return t != nullptr ? t : "/tmp";
}

// A level-2 -lh5- archive of generated files, made by jlha; empty when jlha
// is missing.
Bytes JlhaArchive(const std::string& level)
{
    std::string dir = TempDir() + "/orvik-resume-" + std::to_string(::getpid()) + "-" + level;
    std::string cmd = "rm -rf '" + dir + "' && mkdir -p '" + dir + "'";
    if (std::system(cmd.c_str()) != 0)
        return {};
    struct File {
        const char* name;
        size_t size;
    } files[] = {{"big.txt", 300000}, {"small.txt", 700}, {"window.bin", 8192 * 3 + 17}};
    for (const File& f : files) {
        Bytes data = MakeData(f.size, static_cast<unsigned>(f.size));
        FILE* out = std::fopen((dir + "/" + f.name).c_str(), "wb");
        std::fwrite(data.data(), 1, data.size(), out);
        std::fclose(out);
    }
    cmd = "cd '" + dir + "' && jlha " + level + " a.lzh big.txt small.txt window.bin >/dev/null 2>&1";
    Bytes archive;
    if (std::system(cmd.c_str()) == 0)
        ReadWholeFile(dir + "/a.lzh", &archive);
    cmd = "rm -rf '" + dir + "'";
    (void)std::system(cmd.c_str());
    return archive;
}

// jlha is one of the build machine's test tools; when it is there, its
// archives must come out.
void FailIfJlhaPresent()
{
    if (std::system("command -v jlha >/dev/null 2>&1") == 0)
        ADD_FAILURE() << "jlha is installed but made no archive";
}

std::vector<std::pair<std::string, Bytes>> Inputs()
{
    std::vector<std::pair<std::string, Bytes>> inputs;
    for (const char* name : {"lha213/lh5_long.lzh", "lha_amiga_122/lh4_long.lzh", "explzh_723/h2_lh5.lzh",
                             "lha_unix114i/h1_lh5.lzh", "lha_x68k_213/h0_lh5.lzh"}) {
        Bytes b;
        if (!CorpusDir().empty() && ReadWholeFile(CorpusDir() + "/" + name, &b))
            inputs.emplace_back(name, b);
    }
    for (const char* level : {"c2o5", "c0o5"}) {
        Bytes b = JlhaArchive(level);
        if (!b.empty())
            inputs.emplace_back(std::string("jlha ") + level, b);
        else
            FailIfJlhaPresent();
    }
    return inputs;
}

class RealArchives : public testing::Test {
protected:
    static void SetUpTestSuite() { inputs_ = new std::vector<std::pair<std::string, Bytes>>(Inputs()); }
    static void TearDownTestSuite() { delete inputs_; }
    void SetUp() override
    {
        if (inputs_->size() < 2)
            GTEST_SKIP() << "neither the corpus nor jlha is available";
    }
    static std::vector<std::pair<std::string, Bytes>>* inputs_;
};
std::vector<std::pair<std::string, Bytes>>* RealArchives::inputs_;

TEST_F(RealArchives, AnyPacingGivesTheSameBytes)
{
    std::mt19937 rng(1234);
    std::vector<std::pair<const char*, Pacing>> pacings = {
        {"one output byte per call", {[] { return 1u; }, nullptr}},
        {"random output pieces", {[&rng] { return 1u + rng() % 5000; }, nullptr}},
        {"input in small pieces", {nullptr, [&rng] { return 1u + rng() % 13; }}},
        {"both random", {[&rng] { return 1u + rng() % 700; }, [&rng] { return 1u + rng() % 40; }}},
        {"one input byte per call", {[] { return 4096u; }, [] { return 1u; }}},
    };
    int decoded = 0;
    for (const auto& [name, archive] : *inputs_) {
        SCOPED_TRACE(name);
        std::vector<WalkedMember> reference = WalkArchive(archive);
        ASSERT_GE(reference.size(), 2u);
        EXPECT_EQ(reference.back().header, END_OF_ARCHIVE);
        for (const auto& [what, pacing] : pacings) {
            SCOPED_TRACE(what);
            WalkOptions options;
            options.pacing = pacing;
            std::vector<WalkedMember> paced = WalkArchive(archive, options);
            ASSERT_EQ(paced.size(), reference.size());
            for (size_t i = 0; i + 1 < paced.size(); ++i) {
                EXPECT_TRUE(reference[i].dataOk) << i;
                EXPECT_TRUE(paced[i].dataOk) << i;
                EXPECT_TRUE(paced[i].data == reference[i].data) << i;
                if (reference[i].info.method == METHOD_LH5)
                    ++decoded;
            }
        }
    }
    EXPECT_GT(decoded, 20);
}

TEST_F(RealArchives, EveryTruncationFailsCleanly)
{
    for (const auto& [name, full] : *inputs_) {
        if (full.size() > 40000)
            continue;  // the short ones cover every header and block shape
        SCOPED_TRACE(name);
        std::vector<WalkedMember> reference = WalkArchive(full, WalkOptions{Pacing(), false, true});
        for (size_t length = 0; length < full.size(); ++length) {
            // Exact-size heap copy, so AddressSanitizer sees any read past it.
            Bytes cut(full.begin(), full.begin() + length);
            cut.shrink_to_fit();
            std::vector<WalkedMember> walked = WalkArchive(cut, WalkOptions{Pacing(), false, true});
            ASSERT_FALSE(walked.empty());
            for (size_t i = 0; i + 1 < walked.size(); ++i) {
                const WalkedMember& m = walked[i];
                bool whole = m.offset + m.info.headerSize + m.info.compressedSize <= length &&
                             (m.info.method == METHOD_LH5 || m.offset + m.info.headerSize + m.info.originalSize <= length);
                // A member wholly inside the cut is read as before; one that
                // is cut never passes its data check.
                if (whole)
                    EXPECT_EQ(m.dataOk, reference[i].dataOk) << length << " member " << i;
                else
                    EXPECT_FALSE(m.dataOk) << length << " member " << i;
            }
            // Cutting only the end marker leaves a clean end; any other cut
            // ends with a bad header or a failed member.
            if (length + 1 == full.size() && full.back() == 0) {
                EXPECT_EQ(walked.back().header, END_OF_ARCHIVE);
            } else {
                bool failed = walked.back().header == BAD_HEADER;
                for (const WalkedMember& m : walked)
                    failed = failed || (m.header == MEMBER_HEADER_OK && !m.dataOk);
                EXPECT_TRUE(failed || walked.size() < reference.size()) << length;
            }
        }
    }
}

}  // namespace
