// Archives 215 and 216 as the built setup.exe carries them: resources of
// type LZH, read with the installer's own header reader and decoder. And the
// three shipped programs as released: no link time, no debug sections, no
// path of the checkout, the manifests Windows reads and the icons it shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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
    // The staged copies are the members as packed (signed when the build signs).
    CheckArchive(archive215, {{"setdown.exe", "payload\\archives\\stage215\\setdown.exe"}});
    CheckArchive(archive216, {{"ORVIK.exe", "payload\\archives\\stage216\\ORVIK.exe"},
                              {"ORVIK.DAT", "payload\\archives\\stage216\\ORVIK.DAT"}});
    FreeLibrary(setup);
}

struct Shipped {
    const char* builtFile;
    bool hasManifest;
};

std::string ManifestOf(const std::string& path)
{
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return std::string();
    std::string text;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    if (resource) {
        const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, resource)));
        if (bytes)
            text.assign(bytes, SizeofResource(module, resource));
    }
    FreeLibrary(module);
    return text;
}

TEST(ShippedPrograms, AreReleaseBuildsWithTheirManifests)
{
    const Shipped programs[] = {
        {"src\\setup\\setup.exe", true},
        {"payload\\uninstaller\\setdown.exe", true},
        {"payload\\viewer\\ORVIK.exe", false},
    };
    const char* manifestEntries[] = {
        "level=\"requireAdministrator\"",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
        // System DPI awareness: laid out at the display's scale, not stretched.
        "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
    };
    for (const Shipped& program : programs) {
        SCOPED_TRACE(program.builtFile);
        const std::string bytes = ReadFileBytes(BuildTreePath(program.builtFile));
        ASSERT_GT(bytes.size(), 0x400u);
        LONG peAt;
        std::memcpy(&peAt, bytes.data() + 0x3C, sizeof(peAt));
        ASSERT_LT(static_cast<size_t>(peAt) + 4 + sizeof(IMAGE_FILE_HEADER), bytes.size());
        ASSERT_EQ(bytes.compare(peAt, 4, std::string("PE\0\0", 4)), 0);
        IMAGE_FILE_HEADER header;
        std::memcpy(&header, bytes.data() + peAt + 4, sizeof(header));
        EXPECT_EQ(header.TimeDateStamp, 0u);
        const size_t sectionsAt = peAt + 4 + sizeof(header) + header.SizeOfOptionalHeader;
        ASSERT_LE(sectionsAt + header.NumberOfSections * sizeof(IMAGE_SECTION_HEADER), bytes.size());
        for (WORD i = 0; i < header.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER section;
            std::memcpy(&section, bytes.data() + sectionsAt + i * sizeof(section), sizeof(section));
            const std::string name(reinterpret_cast<const char*>(section.Name),
                                   strnlen(reinterpret_cast<const char*>(section.Name), 8));
            // Long names such as .debug_info are "/offset" into a string table.
            EXPECT_NE(name.rfind(".debug", 0), 0u) << name;
            EXPECT_NE(name.rfind("/", 0), 0u) << name;
        }
        EXPECT_EQ(bytes.find(ORVIK_SOURCE_DIR), std::string::npos) << "the checkout's path is in it";

        const std::string manifest = ManifestOf(BuildTreePath(program.builtFile));
        EXPECT_EQ(!manifest.empty(), program.hasManifest);
        if (program.hasManifest) {
            for (const char* entry : manifestEntries)
                EXPECT_NE(manifest.find(entry), std::string::npos) << entry;
        }
    }
}

// Each icon the shell shows of the programs, at every size it asks for from
// 100 to 200 % display scale and in its large views: the group lists them
// and every entry decodes at its own size (the 256-pixel one is PNG-coded).
TEST(ShippedPrograms, IconsAtEverySizeTheShellShows)
{
    const struct {
        const char* builtFile;
        int group;
    } icons[] = {
        {"src\\setup\\setup.exe", 128},
        {"payload\\viewer\\ORVIK.exe", 1},  // the program
        {"payload\\viewer\\ORVIK.exe", 2},  // the drawing files
    };
    const std::vector<int> sizes = {16, 24, 32, 48, 64, 256};
    for (const auto& icon : icons) {
        SCOPED_TRACE(std::string(icon.builtFile) + " " + std::to_string(icon.group));
        HMODULE module = LoadLibraryExA(BuildTreePath(icon.builtFile).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr);
        auto resource = [module](LPCSTR type, int id) {
            HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
            const char* bytes = found ? static_cast<const char*>(LockResource(LoadResource(module, found))) : nullptr;
            return bytes ? std::string(bytes, SizeofResource(module, found)) : std::string();
        };
        // The group: 6 bytes of header with the count, then 14 bytes an entry.
        const std::string group = resource(RT_GROUP_ICON, icon.group);
        ASSERT_GE(group.size(), 6u);
        WORD count = 0;
        std::memcpy(&count, group.data() + 4, sizeof count);
        ASSERT_GE(group.size(), 6u + count * 14u);
        std::vector<int> listed;
        for (WORD i = 0; i < count; ++i) {
            const char* entry = group.data() + 6 + i * 14;
            const int size = static_cast<unsigned char>(entry[0]) ? static_cast<unsigned char>(entry[0]) : 256;
            WORD id = 0;
            std::memcpy(&id, entry + 12, sizeof id);
            listed.push_back(size);
            std::string image = resource(RT_ICON, id);
            HICON decoded = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(&image[0]),
                                                     static_cast<DWORD>(image.size()), TRUE, 0x00030000, size, size,
                                                     LR_DEFAULTCOLOR);
            ASSERT_NE(decoded, nullptr) << size;
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(decoded, &info)) << size;
            BITMAP bitmap = {};
            GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
            EXPECT_EQ(bitmap.bmWidth, size);
            EXPECT_EQ(bitmap.bmHeight, size);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(decoded);
        }
        EXPECT_EQ(listed, sizes);
        FreeLibrary(module);
    }
}

}  // namespace
