// Archives 215 and 216 as the built setup.exe carries them: resources of
// type LZH, read with the installer's own header reader and decoder.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "archive/crc16.h"
#include "archive/lh5_decoder.h"
#include "archive/member_header.h"
#include "payload_test_support.h"

namespace {

struct Member {
    const char* name;
    const char* builtFile;  // in the build tree
};

std::string ResourceBytes(HMODULE module, int id)
{
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), "LZH");
    if (!resource)
        return std::string();
    HGLOBAL loaded = LoadResource(module, resource);
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    return bytes ? std::string(bytes, SizeofResource(module, resource)) : std::string();
}

std::string DecodeLh5(LzhDecodeStream* cursor, const MemberInfo& info)
{
    std::string out;
    if (DecoderInit(cursor, LZH_WINDOW_BITS, LZH_DECODER_VERSION, sizeof(LzhDecodeStream)) != LZH_OK)
        return out;
    cursor->availIn = info.compressedSize < cursor->availIn ? info.compressedSize : cursor->availIn;
    cursor->compressedLeft = info.compressedSize;
    unsigned char buffer[8192];
    while (out.size() < info.originalSize) {
        uint32_t wanted = info.originalSize - static_cast<uint32_t>(out.size());
        cursor->nextOut = buffer;
        cursor->availOut = wanted < sizeof(buffer) ? wanted : sizeof(buffer);
        uint32_t before = cursor->availOut;
        int result = Decode(cursor, LZH_FINISH);
        out.append(reinterpret_cast<char*>(buffer), before - cursor->availOut);
        if ((result != LZH_OK && result != LZH_STREAM_END) || before == cursor->availOut)
            break;
    }
    DecoderEnd(cursor);
    return out;
}

void CheckArchive(const std::string& archive, const std::vector<Member>& expected)
{
    uint32_t offset = 0;
    for (const Member& member : expected) {
        SCOPED_TRACE(member.name);
        LzhDecodeStream cursor;
        std::memset(&cursor, 0, sizeof(cursor));
        cursor.nextIn = reinterpret_cast<const unsigned char*>(archive.data()) + offset;
        cursor.availIn = static_cast<uint32_t>(archive.size()) - offset;
        char name[MAX_PATH];
        MemberInfo info;
        ASSERT_EQ(ReadMemberHeader(&cursor, name, sizeof(name), &info), MEMBER_HEADER_OK);
        EXPECT_STREQ(name, member.name);
        EXPECT_STREQ(info.methodId, "-lh5-");
        EXPECT_EQ(info.level, 2);
        EXPECT_EQ(info.osId, 'M');
        EXPECT_EQ(info.lastWriteTime, UnixTimeToFileTime(ORVIK_PAYLOAD_MTIME));

        std::string built = ReadFileBytes(BuildTreePath(member.builtFile));
        ASSERT_FALSE(built.empty()) << member.builtFile;
        EXPECT_EQ(info.originalSize, built.size());
        EXPECT_EQ(static_cast<unsigned>(info.dataCrc), Crc16Update(0, built.data(), built.size()));
        std::string decoded = DecodeLh5(&cursor, info);
        EXPECT_EQ(Crc16Update(0, decoded.data(), decoded.size()), static_cast<unsigned>(info.dataCrc));
        EXPECT_TRUE(decoded == built) << "decoded member differs from " << member.builtFile;
        offset += info.headerSize + info.compressedSize;
    }
    // Nothing but the end marker follows.
    ASSERT_LT(offset, archive.size());
    EXPECT_EQ(archive.substr(offset), std::string(1, '\0'));
}

TEST(PayloadArchives, SetupCarriesTheUninstallerAndTheProduct)
{
    HMODULE setup = LoadLibraryExA(BuildTreePath("src\\setup\\setup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(setup);
    std::string archive215 = ResourceBytes(setup, 215);
    std::string archive216 = ResourceBytes(setup, 216);
    // The resources are the archives the build made, unchanged.
    EXPECT_TRUE(archive215 == ReadFileBytes(BuildTreePath("payload\\archives\\215.lzh")));
    EXPECT_TRUE(archive216 == ReadFileBytes(BuildTreePath("payload\\archives\\216.lzh")));
    CheckArchive(archive215, {{"setdown.exe", "payload\\uninstaller\\setdown.exe"}});
    CheckArchive(archive216, {{"ORVIK.exe", "payload\\viewer\\ORVIK.exe"},
                              {"ORVIK.DAT", "payload\\archives\\stage216\\ORVIK.DAT"}});
    FreeLibrary(setup);
}

}  // namespace
