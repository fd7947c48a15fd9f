// Member header reader: the checks of each level, extended headers, name
// assembly, time conversions and CRC-16.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "archive/crc16.h"
#include "archive/lh5_decoder.h"
#include "archive/member_header.h"

namespace {

using Bytes = std::vector<unsigned char>;

void Put16(Bytes& b, size_t at, unsigned v)
{
    b[at] = static_cast<unsigned char>(v);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

struct Extension {
    unsigned char type;
    std::string body;
};

// A level-2 header; the 0x00 extension (header CRC) comes first unless
// withCrc is false. corruptCrc stores a wrong CRC.
Bytes Level2(const std::vector<Extension>& extensions, unsigned char os = 'M', const char* method = "-lh5-",
             bool withCrc = true, bool corruptCrc = false)
{
    Bytes h(26, 0);
    std::memcpy(&h[2], method, 5);
    Put32(h, 7, 100);         // compressed size
    Put32(h, 11, 200);        // original size
    Put32(h, 15, 1262304000); // 2010-01-01 00:00:00 UTC
    h[19] = 0x20;
    h[20] = 2;
    Put16(h, 21, 0x1234);
    h[23] = os;
    std::vector<Extension> all;
    if (withCrc)
        all.push_back({0x00, std::string(2, '\0')});
    all.insert(all.end(), extensions.begin(), extensions.end());
    size_t sizeField = 24;
    size_t crcAt = 0;
    for (const Extension& e : all) {
        Put16(h, sizeField, static_cast<unsigned>(e.body.size() + 3));
        if (e.type == 0x00 && crcAt == 0)
            crcAt = h.size() + 1;
        h.push_back(e.type);
        h.insert(h.end(), e.body.begin(), e.body.end());
        sizeField = h.size();
        h.push_back(0);
        h.push_back(0);
    }
    Put16(h, 0, static_cast<unsigned>(h.size()));
    if (crcAt != 0)
        Put16(h, crcAt, Crc16Update(0, h.data(), h.size()) ^ (corruptCrc ? 1 : 0));
    return h;
}

// A level-0 or level-1 header with name; tail = bytes after the name
// (CRC, OS id, level-1 extension size). Checksum computed unless broken.
Bytes Level01(int level, const std::string& name, const Bytes& tail, bool badSum = false)
{
    Bytes h(22, 0);
    std::memcpy(&h[2], "-lh0-", 5);
    Put32(h, 7, 50);
    Put32(h, 11, 50);
    Put32(h, 15, (30u << 25) | (1u << 21) | (1u << 16));  // 2010-01-01 00:00:00
    h[19] = 0x20;
    h[20] = static_cast<unsigned char>(level);
    h[21] = static_cast<unsigned char>(name.size());
    h.insert(h.end(), name.begin(), name.end());
    h.insert(h.end(), tail.begin(), tail.end());
    h[0] = static_cast<unsigned char>(h.size() - 2);
    unsigned sum = 0;
    for (size_t i = 2; i < h.size(); ++i)
        sum += h[i];
    h[1] = static_cast<unsigned char>(sum + (badSum ? 1 : 0));
    return h;
}

struct ReadResult {
    int code;
    MemberInfo info;
    std::string path;
    size_t consumed;
};

ReadResult Read(const Bytes& archive, size_t capacity = 260)
{
    // Exact-size copy: a read past the end is a real out-of-bounds read.
    unsigned char* copy = static_cast<unsigned char*>(std::malloc(archive.size() + 1));
    if (!archive.empty())
        std::memcpy(copy, archive.data(), archive.size());
    LzhDecodeStream cursor;
    std::memset(&cursor, 0, sizeof cursor);
    cursor.nextIn = copy;
    cursor.availIn = static_cast<uint32_t>(archive.size());
    ReadResult r;
    std::memset(&r.info, 0xCC, sizeof r.info);
    char name[300];
    std::memset(name, 'Z', sizeof name);
    r.code = ReadMemberHeader(&cursor, name, capacity, &r.info);
    r.path = r.code == MEMBER_HEADER_OK ? std::string(name) : "";
    r.consumed = static_cast<size_t>(cursor.nextIn - copy);
    EXPECT_EQ(cursor.availIn, archive.size() - r.consumed);
    std::free(copy);
    return r;
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Extension Times(uint64_t creation, uint64_t write, uint64_t access)
{
    std::string body(24, '\0');
    uint64_t v[3] = {creation, write, access};
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 8; ++i)
            body[8 * k + i] = static_cast<char>(v[k] >> (8 * i));
    return {0x41, body};
}

TEST(Crc16, KnownValuesAndChaining)
{
    EXPECT_EQ(Crc16Update(0x1234, nullptr, 0), 0u);
    EXPECT_EQ(Crc16Update(0, "123456789", 9), 0xBB3Du);  // CRC-16/ARC check value
    EXPECT_EQ(Crc16Update(0, "", 0), 0u);
    // Pieces of any size give the same CRC as one call, whichever way a
    // piece is computed (whole 64- and 16-byte blocks, then single bytes);
    // compare with a bitwise reference.
    std::vector<unsigned char> data(1000);
    unsigned seed = 7;
    for (auto& c : data)
        c = static_cast<unsigned char>((seed = seed * 1103515245 + 12345) >> 16);
    unsigned reference = 0;
    for (unsigned char c : data) {
        reference ^= c;
        for (int i = 0; i < 8; ++i)
            reference = (reference & 1) ? (reference >> 1) ^ 0xA001 : reference >> 1;
    }
    EXPECT_EQ(Crc16Update(0, data.data(), data.size()), reference);
    for (size_t split : {1, 3, 7, 8, 9, 63, 64, 79, 500, 936, 999}) {
        unsigned crc = Crc16Update(0, data.data(), split);
        EXPECT_EQ(Crc16Update(crc, data.data() + split, data.size() - split), reference) << split;
    }
}

TEST(TimeConversion, UnixAndDos)
{
    EXPECT_EQ(UnixTimeToFileTime(0), 116444736000000000ull);
    EXPECT_EQ(UnixTimeToFileTime(-1), 116444735990000000ull);
    EXPECT_EQ(UnixTimeToFileTime(1262304000), 129067776000000000ull);
    EXPECT_EQ(UnixTimeToFileTime(INT32_MIN), (11644473600ull - 2147483648ull) * 10000000ull);
    // Seconds are stored halved; the years run from 1980 to 2107, past 2038.
    // The daylight-saving rows need the POSIX rule form, which only the host
    // C library reads: summer time in 2100 from 28 March, 02:00 UTC.
    const char* cet = "CET-1CEST,M3.5.0,M10.5.0/3";
    struct Case {
        const char* zone;
        unsigned year, month, day, hour, minute, second;
        int64_t unixTime;
    } cases[] = {
        {"UTC0", 1980, 1, 1, 0, 0, 0, 315532800},
        {"UTC0", 2010, 1, 1, 0, 0, 0, 1262304000},
        {"UTC0", 2023, 7, 16, 20, 7, 16, 1689538036},
        {"UTC0", 2100, 1, 1, 0, 0, 0, 4102444800},
        {"UTC0", 2107, 12, 31, 23, 59, 58, 4354819198},
        {cet, 2100, 3, 27, 12, 0, 0, 4109828400},
        {cet, 2100, 3, 28, 4, 0, 0, 4109882400},
    };
    for (const Case& c : cases) {
#ifdef _WIN32
        if (c.zone == cet)
            continue;
        _putenv((std::string("TZ=") + c.zone).c_str());
        _tzset();
#else
        setenv("TZ", c.zone, 1);
        tzset();
#endif
        const uint32_t dos = ((c.year - 1980) << 25) | (c.month << 21) | (c.day << 16) | (c.hour << 11) |
                             (c.minute << 5) | (c.second / 2);
        EXPECT_EQ(DosTimeToFileTime(dos), static_cast<uint64_t>(c.unixTime + 11644473600LL) * 10000000u)
            << c.zone << " " << c.year << "-" << c.month << "-" << c.day;
    }
}

// Every read advances the cursor, also the one that finds too few bytes.
TEST(ReadMemberHeader, EndOfArchiveAndShortReads)
{
    Bytes level2 = Level2({{0x01, "n"}});
    Bytes hugeSize = Level2({{0x01, "n"}});
    Put16(hugeSize, 0, 5000);
    hugeSize.resize(6000, 0);
    struct Case {
        Bytes bytes;
        int expected;
        size_t consumed;
    } cases[] = {
        {{}, END_OF_ARCHIVE, 0},
        {{0}, END_OF_ARCHIVE, 1},
        {Bytes(21, 0), BAD_HEADER, 21},  // a zero byte with 20 more is parsed, and bad
        {Bytes(20, 0), END_OF_ARCHIVE, 20},
        {Bytes(22, 0), BAD_HEADER, 21},
        {{5, 1, 2}, BAD_HEADER, 3},  // too short, not a zero byte
        {Bytes(level2.begin(), level2.begin() + 30), BAD_HEADER, 30},
        {hugeSize, BAD_HEADER, MEMBER_HEADER_BUFFER_SIZE},  // larger than the working buffer
    };
    for (const Case& c : cases) {
        ReadResult r = Read(c.bytes);
        EXPECT_EQ(r.code, c.expected) << c.bytes.size();
        EXPECT_EQ(r.consumed, c.consumed) << c.bytes.size();
    }
}

TEST(ReadMemberHeader, Level2Fields)
{
    Bytes archive = Cat(Level2({{0x01, "x.dat"}, {0x02, std::string("abc\xFF", 4)}, {0x40, std::string("\x21\x00", 2)}}),
                        Bytes(100, 0xEE));
    ReadResult r = Read(archive);
    ASSERT_EQ(r.code, MEMBER_HEADER_OK);
    EXPECT_EQ(r.path, "abc\\x.dat");
    EXPECT_EQ(r.info.level, 2);
    EXPECT_EQ(r.info.method, METHOD_LH5);
    EXPECT_STREQ(r.info.methodId, "-lh5-");
    EXPECT_EQ(r.info.compressedSize, 100u);
    EXPECT_EQ(r.info.originalSize, 200u);
    EXPECT_EQ(r.info.dataCrc, 0x1234);
    EXPECT_EQ(r.info.osId, 'M');
    EXPECT_EQ(r.info.attribute, 0x21);
    EXPECT_EQ(r.info.lastWriteTime, UnixTimeToFileTime(1262304000));
    EXPECT_EQ(r.info.creationTime, 0u);
    EXPECT_EQ(r.info.lastAccessTime, 0u);
    EXPECT_EQ(r.consumed, archive.size() - 100);
    EXPECT_EQ(r.info.headerSize, r.consumed);
}

TEST(ReadMemberHeader, WindowsTimesAndAttributeOnlyForMsDos)
{
    std::vector<Extension> ext = {{0x01, "f"}, Times(111, 222, 333), {0x40, std::string("\x01\x00", 2)}};
    ReadResult m = Read(Level2(ext, 'M'));
    ASSERT_EQ(m.code, MEMBER_HEADER_OK);
    EXPECT_EQ(m.info.creationTime, 111u);
    EXPECT_EQ(m.info.lastWriteTime, 222u);
    EXPECT_EQ(m.info.lastAccessTime, 333u);
    EXPECT_EQ(m.info.attribute, 1);
    ReadResult u = Read(Level2(ext, 'U'));
    ASSERT_EQ(u.code, MEMBER_HEADER_OK);
    EXPECT_EQ(u.info.creationTime, 0u);
    EXPECT_EQ(u.info.lastWriteTime, UnixTimeToFileTime(1262304000));
    EXPECT_EQ(u.info.lastAccessTime, 0u);
    EXPECT_EQ(u.info.attribute, 0x20);
}

TEST(ReadMemberHeader, MethodIds)
{
    struct Case {
        const char* id;
        int method;
    } cases[] = {{"-lh5-", METHOD_LH5}, {"-lh4-", METHOD_LH5}, {"-LH5-", METHOD_STORED},
                 {"-lh0-", METHOD_STORED}, {"-lh6-", METHOD_STORED}, {"-lhd-", METHOD_STORED}};
    for (const Case& c : cases) {
        ReadResult r = Read(Level2({{0x01, "n"}}, 'M', c.id));
        ASSERT_EQ(r.code, MEMBER_HEADER_OK) << c.id;
        EXPECT_EQ(r.info.method, c.method) << c.id;
        EXPECT_STREQ(r.info.methodId, c.id);
    }
}

TEST(ReadMemberHeader, RejectedHeaders)
{
    Bytes level3 = Level2({{0x01, "n"}});
    level3[20] = 3;
    Bytes tooSmall = Level2({{0x01, "n"}});
    Put16(tooSmall, 0, 25);
    Bytes chainPastEnd = Level2({{0x01, "n"}});
    Put16(chainPastEnd, chainPastEnd.size() - 2, 40);  // last extension points on
    chainPastEnd.resize(chainPastEnd.size() + 60, 0x11);
    Bytes tinyExtension = Level2({{0x01, "n"}});
    Put16(tinyExtension, 24, 2);
    Bytes shortCrcExtension = Level2({{0x01, "n"}}, 'M', "-lh5-", false);
    // Turn the name extension into a 0x00 one whose body has one byte.
    shortCrcExtension[26] = 0x00;

    struct Case {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"level 3", level3},
        {"level 2 without header CRC", Level2({{0x01, "n"}}, 'M', "-lh5-", false)},
        {"level 2 with wrong header CRC", Level2({{0x01, "n"}}, 'M', "-lh5-", true, true)},
        {"level 2 smaller than its base", tooSmall},
        {"extension chain past the header", chainPastEnd},
        {"extension smaller than 3 bytes", tinyExtension},
        {"0x00 extension without room for the CRC", shortCrcExtension},
        {"level 0 bad checksum", Level01(0, "a.txt", {0x34, 0x12, 'M'}, true)},
        {"level 0 size below 22", {0x13, 0, '-', 'l', 'h', '0', '-', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"level 1 truncated extension", Cat(Level01(1, "a", {0x34, 0x12, 'M', 10, 0}), {1, 'b'})},
        {"level 1 extension size 1", Level01(1, "a", {0x34, 0x12, 'M', 1, 0})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Read(c.bytes).code, BAD_HEADER) << c.what;

    // A name length running past the header (checksum still right).
    Bytes nameTooLong = Level01(0, "abc", {0x34, 0x12, 'M'});
    nameTooLong[21] = 40;
    unsigned sum = 0;
    for (size_t i = 2; i < nameTooLong.size(); ++i)
        sum += nameTooLong[i];
    nameTooLong[1] = static_cast<unsigned char>(sum);
    EXPECT_EQ(Read(Cat(nameTooLong, Bytes(100, 0x41))).code, BAD_HEADER);
}

TEST(ReadMemberHeader, Level0And1)
{
    // Level 0 without CRC field: level -1, CRC 0.
    ReadResult bare = Read(Level01(0, "dir\\a.txt", {}));
    ASSERT_EQ(bare.code, MEMBER_HEADER_OK);
    EXPECT_EQ(bare.info.level, -1);
    EXPECT_EQ(bare.info.dataCrc, 0);
    EXPECT_EQ(bare.info.osId, 0);
    EXPECT_EQ(bare.path, "dir\\a.txt");

    ReadResult withCrc = Read(Level01(0, "dir/a.txt", {0x34, 0x12}));
    ASSERT_EQ(withCrc.code, MEMBER_HEADER_OK);
    EXPECT_EQ(withCrc.info.level, 0);
    EXPECT_EQ(withCrc.info.dataCrc, 0x1234);
    EXPECT_EQ(withCrc.info.osId, 0);
    EXPECT_EQ(withCrc.path, "dir\\a.txt");

    // Level 1: extensions follow the base header and count against the
    // compressed size; 0x01 replaces the base name, 0x02 comes before it.
    Bytes base = Level01(1, "old", {0x34, 0x12, 'M', 8, 0});
    Bytes ext = {0x01, 'n', 'e', 'w', '.', 't', 5, 0, 0x02, 'd', 0xFF, 0, 0};
    ReadResult l1 = Read(Cat(Cat(base, ext), Bytes(60, 0)));
    ASSERT_EQ(l1.code, MEMBER_HEADER_OK);
    EXPECT_EQ(l1.info.level, 1);
    EXPECT_EQ(l1.info.osId, 'M');
    EXPECT_EQ(l1.path, "d\\new.t");
    EXPECT_EQ(l1.info.compressedSize, 50u - ext.size());
    EXPECT_EQ(l1.info.headerSize, base.size() + ext.size());
    EXPECT_EQ(l1.consumed, base.size() + ext.size());

    // Extensions larger than the compressed size cannot be.
    Bytes bigExt = {0x01, 'n', 0, 0};
    bigExt.insert(bigExt.begin() + 2, 60, 'x');
    Bytes base2 = Level01(1, "old", {0x34, 0x12, 'M', static_cast<unsigned char>(bigExt.size()), 0});
    EXPECT_EQ(Read(Cat(Cat(base2, bigExt), Bytes(60, 0))).code, BAD_HEADER);
}

TEST(ReadMemberHeader, NameAssembly)
{
    // Trail byte 0x5C of a double-byte character is no separator; 0xFF and
    // '/' become '\'.
    std::string sjis = "\x95\x5C\x8E\xA6/x";  // 表示/x
    ReadResult r = Read(Level2({{0x01, sjis}, {0x02, std::string("d\xFF\x83\x5C\xFF", 5)}}));
    ASSERT_EQ(r.code, MEMBER_HEADER_OK);
    EXPECT_EQ(r.path, "d\\\x83\x5C\\\x95\x5C\x8E\xA6\\x");

    // Cut to fit: capacity 8 leaves 7 bytes and the terminator.
    ReadResult cut = Read(Level2({{0x01, "name.txt"}, {0x02, std::string("dir\xFF", 4)}}), 8);
    ASSERT_EQ(cut.code, MEMBER_HEADER_OK);
    EXPECT_EQ(cut.path, "dir\\nam");
    // A double-byte character cut in half is dropped whole; a lead byte that
    // ends the stored name is kept.
    struct LoneLead {
        const char* name;
        size_t capacity;
        const char* path;
    } loneLeads[] = {{"ab\x95\x5C", 4, "ab"}, {"ab\x95", 4, "ab\x95"}, {"ab\x95", 260, "ab\x95"}};
    for (const LoneLead& c : loneLeads)
        EXPECT_EQ(Read(Level2({{0x01, c.name}}), c.capacity).path, c.path) << c.capacity;

    // Absent name buffer and info are fine.
    Bytes archive = Level2({{0x01, "n"}});
    LzhDecodeStream cursor;
    std::memset(&cursor, 0, sizeof cursor);
    cursor.nextIn = archive.data();
    cursor.availIn = static_cast<uint32_t>(archive.size());
    EXPECT_EQ(ReadMemberHeader(&cursor, nullptr, 0, nullptr), MEMBER_HEADER_OK);
    EXPECT_EQ(cursor.availIn, 0u);
}

TEST(ReadMemberHeader, UnknownExtensionsAreSkipped)
{
    ReadResult r = Read(Level2({{0x50, "\x01\x02"}, {0x01, "f"}, {0x7E, ""}, {0x41, "short"}}, 'M'));
    ASSERT_EQ(r.code, MEMBER_HEADER_OK);
    EXPECT_EQ(r.path, "f");
    EXPECT_EQ(r.info.creationTime, 0u);  // a 0x41 body too short to hold the times
}

}  // namespace
