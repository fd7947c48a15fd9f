#include "lzh_test_support.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "archive/crc16.h"

bool ReadWholeFile(const std::string& path, Bytes* out)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    out->clear();
    unsigned char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out->insert(out->end(), buffer, buffer + n);
    std::fclose(f);
    return true;
}

DecodeOutcome DecodeMemberData(const unsigned char* data, uint32_t available, uint32_t compressedSize,
                               uint32_t limit, const Pacing& pacing, bool keep)
{
    DecodeOutcome outcome;
    LzhDecodeStream stream;
    std::memset(&stream, 0, sizeof stream);
    outcome.result = DecoderInit(&stream, LZH_WINDOW_BITS, LZH_DECODER_VERSION, sizeof stream);
    if (outcome.result != LZH_OK)
        return outcome;
    uint32_t inputEnd = available < compressedSize ? available : compressedSize;
    uint32_t offered = 0;  // input bytes handed to the decoder so far
    stream.nextIn = data;
    stream.compressedLeft = compressedSize;
    Bytes buffer;
    for (;;) {
        // Hand over more input: the decoder's leftovers stay where they are.
        uint32_t piece = pacing.inputPiece ? pacing.inputPiece() : 0;
        uint32_t consumed = static_cast<uint32_t>(stream.nextIn - data);
        offered = consumed + stream.availIn;
        uint32_t more = inputEnd - offered;
        if (piece != 0 && more > piece)
            more = piece;
        stream.availIn += more;

        uint32_t room = pacing.outputPiece ? pacing.outputPiece() : 65536;
        uint32_t left = limit - static_cast<uint32_t>(outcome.size);
        if (room > left)
            room = left;
        if (buffer.size() < room)
            buffer.resize(room);
        stream.nextOut = buffer.data();
        stream.availOut = room;
        int r = Decode(&stream, LZH_FINISH);
        uint32_t produced = room - stream.availOut;
        outcome.crc = Crc16Update(outcome.crc, buffer.data(), produced);
        outcome.size += produced;
        if (keep)
            outcome.bytes.insert(outcome.bytes.end(), buffer.begin(), buffer.begin() + produced);
        outcome.result = r;
        if (r == LZH_BUF_ERROR) {
            // Only a lack of input that will never come ends the decode here.
            bool inputLeft = static_cast<uint32_t>(stream.nextIn - data) + stream.availIn < inputEnd;
            if (inputLeft || room == 0)
                continue;
            break;
        }
        if (r != LZH_OK && r != LZH_STREAM_END)
            break;
        if (r == LZH_STREAM_END && produced == 0)
            break;
        if (outcome.size >= limit)
            break;
    }
    outcome.totalIn = stream.totalIn;
    outcome.message = stream.message;
    DecoderEnd(&stream);
    return outcome;
}

std::vector<WalkedMember> WalkArchive(const Bytes& archive, const WalkOptions& options)
{
    std::vector<WalkedMember> members;
    size_t offset = 0;
    for (;;) {
        WalkedMember m;
        m.offset = offset;
        LzhDecodeStream cursor;
        std::memset(&cursor, 0, sizeof cursor);
        cursor.nextIn = archive.data() + offset;
        cursor.availIn = static_cast<uint32_t>(archive.size() - offset);
        char path[260];
        m.header = ReadMemberHeader(&cursor, path, sizeof path, &m.info);
        if (m.header != MEMBER_HEADER_OK) {
            members.push_back(m);
            break;
        }
        m.path = path;
        if (cursor.nextIn != archive.data() + offset + m.info.headerSize) {
            m.header = -1;  // the cursor must sit right after the header
            members.push_back(m);
            break;
        }
        const unsigned char* data = cursor.nextIn;
        uint32_t available = cursor.availIn;
        if (!options.decode) {
        } else if (std::memcmp(m.info.methodId, "-lhd-", 5) == 0) {
            m.dataOk = true;
        } else if (m.info.method == METHOD_LH5) {
            DecodeOutcome d =
                DecodeMemberData(data, available, m.info.compressedSize, m.info.originalSize, options.pacing, options.keep);
            m.data = std::move(d.bytes);
            m.dataOk = (d.result == LZH_OK || d.result == LZH_STREAM_END) && d.size == m.info.originalSize &&
                       d.crc == static_cast<unsigned>(m.info.dataCrc);
        } else if (m.info.originalSize <= available) {
            m.data.assign(data, data + m.info.originalSize);
            m.dataOk = Crc16Update(0, m.data.data(), m.data.size()) == static_cast<unsigned>(m.info.dataCrc);
        }
        members.push_back(m);
        uint64_t next = static_cast<uint64_t>(offset) + m.info.headerSize + m.info.compressedSize;
        if (next > archive.size()) {
            // The member runs past the archive: there is no next header,
            // and no end marker either.
            WalkedMember end;
            end.offset = archive.size();
            end.header = BAD_HEADER;
            members.push_back(end);
            break;
        }
        offset = static_cast<size_t>(next);
    }
    return members;
}

std::string EscapePath(const std::string& path)
{
    std::string out;
    for (unsigned char c : path) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}
