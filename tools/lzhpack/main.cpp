// lzhpack: creates, lists, tests and extracts LZH archives.
//
//   lzhpack c ARCHIVE [-1..-9] [-C DIR] [--mtime SECONDS] PATH...
//   lzhpack c ARCHIVE [-1..-9] [--mtime SECONDS] --product DIR
//   lzhpack l ARCHIVE
//   lzhpack t ARCHIVE
//   lzhpack x ARCHIVE DIR
//   lzhpack sum ARCHIVE FILE
//
// sum checks the archive as the installer would, decoding every member, and
// only then writes the 8 bytes the setup compares before an installation
// (its size and CRC-32, resource type "lzhsum").
// Exit status: 0 success, 1 a data, header or file error, 2 a usage error.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "archive/crc16.h"
#include "archive/lh5_decoder.h"
#include "archive/member_header.h"
#include "archive/verify_archive.h"
#include "archive_writer.h"
#include "ground/codepage.h"
#include "ground/whole_file.h"
#include "lh5_encoder.h"
#include "platform.h"
#include "product_tree.h"

namespace fs = std::filesystem;
using namespace lzhpack;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void Usage() {
    std::fputs(
        "usage: lzhpack c ARCHIVE [-1..-9] [-C DIR] [--mtime SECONDS] PATH...\n"
        "       lzhpack c ARCHIVE [-1..-9] [--mtime SECONDS] --product DIR\n"
        "       lzhpack l ARCHIVE\n"
        "       lzhpack t ARCHIVE\n"
        "       lzhpack x ARCHIVE DIR\n"
        "       lzhpack sum ARCHIVE FILE\n",
        stderr);
}

bool ReadWholeFile(const fs::path& path, std::vector<std::uint8_t>& out) {
    WholeFile file;
    if (ReadWholeFile(SystemPath(path).c_str(), SIZE_MAX, &file) != 0) return false;
    out.assign(file.bytes, file.bytes + file.size);
    std::free(file.bytes);
    return true;
}

std::FILE* OpenForWrite(const fs::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

// ---- c ----------------------------------------------------------------

// A zstd-like status line on a terminal: bytes done of total and the rate.
class Progress {
public:
    explicit Progress(bool enabled) : enabled_(enabled), start_(std::chrono::steady_clock::now()) {}
    void SetTotal(std::uint64_t total) { total_ = total; }
    void Add(std::uint64_t bytes) {
        done_ += bytes;
        if (!enabled_) return;
        auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(200) && done_ < total_) return;
        last_ = now;
        double secs = std::chrono::duration<double>(now - start_).count();
        std::fprintf(stderr, "\r%.1f of %.1f MB, %.1f MB/s   ", done_ / 1e6, total_ / 1e6,
                     secs > 0 ? done_ / 1e6 / secs : 0.0);
        shown_ = true;
    }
    void End() {
        if (shown_) std::fputs("\n", stderr);
    }

private:
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_, last_{};
    std::uint64_t done_ = 0, total_ = 0;
};

// Bytes of the regular files under path, for the progress line.
std::uint64_t TreeBytes(const fs::path& path) {
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) return fs::file_size(path, ec);
    std::uint64_t total = 0;
    if (fs::is_directory(path, ec))
        for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec))
            if (it->is_regular_file(ec)) total += it->file_size(ec);
    return total;
}

struct CreateContext {
    explicit CreateContext(const Lh5EncoderOptions& options, bool showProgress)
        : writer(options), progress(showProgress) {}
    ArchiveWriter writer;
    Progress progress;
    fs::path archive;  // an older copy of it is not packed into itself
    bool fixedTime = false;
    MemberTimes fixed;
};

MemberTimes TimesOf(CreateContext& ctx, const fs::path& path) {
    if (ctx.fixedTime) return ctx.fixed;
    MemberTimes t;
    if (!ReadFileTimes(path, t)) throw std::runtime_error(path.string() + ": cannot read its times");
    return t;
}

void AddTree(CreateContext& ctx, const fs::path& full, const std::string& archivePath) {
    std::error_code ec;
    fs::file_status st = fs::status(full, ec);
    if (ec || !fs::exists(st)) throw std::runtime_error(full.string() + ": no such file or directory");
    if (fs::is_directory(st)) {
        if (!archivePath.empty()) ctx.writer.AddDirectory(archivePath, TimesOf(ctx, full));
        std::vector<std::pair<std::string, fs::path>> entries;
        for (const fs::directory_entry& e : fs::directory_iterator(full))
            entries.emplace_back(ArchiveName(e.path().filename()), e.path());
        std::sort(entries.begin(), entries.end());
        for (const auto& e : entries)
            AddTree(ctx, e.second, archivePath.empty() ? e.first : archivePath + "/" + e.first);
        return;
    }
    if (!fs::is_regular_file(st)) throw std::runtime_error(full.string() + ": not a regular file");
    if (fs::equivalent(full, ctx.archive, ec)) return;
    std::vector<std::uint8_t> data;
    if (!ReadWholeFile(full, data)) throw std::runtime_error(full.string() + ": cannot read");
    std::string dir, name = archivePath;
    std::size_t slash = archivePath.rfind('/');
    if (slash != std::string::npos) {
        dir = archivePath.substr(0, slash);
        name = archivePath.substr(slash + 1);
    }
    ctx.writer.AddFile(dir, name, data.data(), data.size(), TimesOf(ctx, full));
    ctx.progress.Add(data.size());
}

void AddProductMember(CreateContext& ctx, const ProductMember& m) {
    if (m.directory) {
        ctx.writer.AddDirectory(m.archivePath, TimesOf(ctx, m.hostPath));
        return;
    }
    std::vector<std::uint8_t> data;
    if (!ReadWholeFile(m.hostPath, data)) throw std::runtime_error("cannot read");
    const std::size_t slash = m.archivePath.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : m.archivePath.substr(0, slash);
    ctx.writer.AddFile(dir, m.archivePath.substr(slash + 1), data.data(), data.size(), TimesOf(ctx, m.hostPath));
    ctx.progress.Add(data.size());
}

// The archive appears whole or not at all: written under a name of its own
// beside it, then renamed over it.
void WriteArchive(const std::string& archive, const std::vector<std::uint8_t>& bytes) {
    const fs::path out = NativeName(archive);
    fs::path partial = out;
    partial += ".partial";
    std::FILE* f = OpenForWrite(partial);
    if (!f) throw std::runtime_error(archive + ": cannot create");
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    std::error_code ec;
    if (ok) fs::rename(partial, out, ec);
    if (!ok || ec) {
        fs::remove(partial, ec);
        throw std::runtime_error(archive + ": write failed");
    }
}

// The archive path of an operand: its components below DIR, '/'-separated.
std::string ArchivePathOf(const fs::path& operand) {
    std::string out;
    for (const fs::path& part : operand.lexically_normal().relative_path()) {
        std::string s = ArchiveName(part);
        if (s.empty() || s == ".") continue;
        if (s == "..") throw UsageError(operand.string() + ": paths may not leave the base directory");
        if (!out.empty()) out += '/';
        out += s;
    }
    return out;
}

int CommandCreate(const std::vector<std::string>& args) {
    std::string archive;
    fs::path base = ".";
    std::vector<std::string> operands;
    int level = kLh5DefaultLevel;
    bool fixedTime = false;
    MemberTimes fixed;
    std::string product;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() == 2 && a[0] == '-' && a[1] >= '1' && a[1] <= '9') {
            level = a[1] - '0';
        } else if (a == "-C" || a == "--mtime" || a == "--product") {
            if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
            const std::string& v = args[++i];
            if (a == "--product") {
                product = v;
            } else if (a == "-C") {
                base = NativeName(v);
            } else {
                char* end = nullptr;
                errno = 0;
                long long s = std::strtoll(v.c_str(), &end, 10);
                if (v.empty() || *end || errno || s < INT32_MIN || s > INT32_MAX)
                    throw UsageError("--mtime wants seconds since 1970: " + v);
                fixedTime = true;
                fixed = TimesFromUnix(s);
            }
        } else if (archive.empty()) {
            archive = a;
        } else {
            operands.push_back(a);
        }
    }
    if (!product.empty() && !operands.empty()) throw UsageError("--product takes the whole folder, no paths");
    if (archive.empty() || (operands.empty() && product.empty()))
        throw UsageError("c needs an archive and at least one path");
    CreateContext ctx(LevelOptions(level), isatty(fileno(stderr)) != 0);
    ctx.fixedTime = fixedTime;
    ctx.fixed = fixed;
    ctx.archive = NativeName(archive);
    if (!product.empty()) {
        const std::vector<ProductMember> members = ListProductTree(NativeName(product));
        std::uint64_t total = 0;
        for (const ProductMember& m : members) total += m.directory ? 0 : TreeBytes(m.hostPath);
        ctx.progress.SetTotal(total);
        for (const ProductMember& m : members) {
            try {
                AddProductMember(ctx, m);
            } catch (const std::runtime_error& e) {
                throw std::runtime_error(m.hostPath.string() + ": " + e.what());
            }
        }
        ctx.progress.End();
        WriteArchive(archive, ctx.writer.Finish());
        return kExitOk;
    }
    std::vector<fs::path> rels;
    std::uint64_t total = 0;
    for (const std::string& op : operands) {
        fs::path rel = NativeName(op);
        if (rel.is_absolute() || rel.has_root_path())
            throw UsageError(op + ": give paths relative to the base directory");
        rels.push_back(rel);
        total += TreeBytes(base / rel);
    }
    ctx.progress.SetTotal(total);
    for (const fs::path& rel : rels) AddTree(ctx, base / rel, ArchivePathOf(rel));
    ctx.progress.End();
    WriteArchive(archive, ctx.writer.Finish());
    return kExitOk;
}

// ---- reading ----------------------------------------------------------

// The components of a member path as the header reader joins them ('\'
// between directory and name); double-byte characters are walked whole, as
// a trail byte may be '\'.
std::vector<std::string> SplitMemberPath(const std::string& memberPath) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < memberPath.size(); ++i) {
        char c = memberPath[i];
        if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < memberPath.size()) {
            parts.back() += c;
            parts.back() += memberPath[++i];
        } else if (c == '\\') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

struct Member {
    std::vector<std::string> parts;  // path components, empty ones dropped
    std::string path;                // the same joined by '/', for messages
    MemberInfo info;
    std::uint64_t compressedSize;  // info's, or the 64-bit sizes of extended header 0x42
    std::uint64_t originalSize;
    const std::uint8_t* data;
    bool directory;
};

std::uint64_t ReadLe64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// The 64-bit sizes of a level-2 header's extended header 0x42, when it has
// one. The installer's reader keeps to the 32-bit fields; lzhpack also
// handles members of 4 GiB and more.
void ApplyLargeSizes(const std::uint8_t* header, Member& m) {
    m.compressedSize = m.info.compressedSize;
    m.originalSize = m.info.originalSize;
    if (m.info.level != 2) return;
    const std::size_t size = m.info.headerSize;
    std::size_t at = 26;
    std::size_t next = header[24] | (header[25] << 8);
    while (next >= 3 && next <= size - at) {
        const std::uint8_t* p = header + at;
        if (p[0] == 0x42 && next - 3 >= 16) {
            m.compressedSize = ReadLe64(p + 1);
            m.originalSize = ReadLe64(p + 9);
        }
        at += next;
        next = header[at - 2] | (header[at - 1] << 8);
    }
}

// Walks the members; fn returns false to stop. Returns false (with a
// message printed) on a bad or truncated header.
bool ForEachMember(const std::string& archive, const std::vector<std::uint8_t>& bytes,
                   const std::function<bool(const Member&)>& fn) {
    LzhDecodeStream cursor{};
    cursor.nextIn = bytes.data();
    cursor.availIn = static_cast<std::uint32_t>(bytes.size());
    std::string last = "(start of archive)";
    for (;;) {
        std::size_t offset = static_cast<std::size_t>(cursor.nextIn - bytes.data());
        char name[MEMBER_HEADER_BUFFER_SIZE + 1];
        Member m{};
        const std::uint8_t* header = cursor.nextIn;
        int r = ReadMemberHeader(&cursor, name, sizeof name, &m.info);
        if (r == END_OF_ARCHIVE) return true;
        if (r != MEMBER_HEADER_OK) {
            std::fprintf(stderr, "lzhpack: %s: bad member header at offset %zu (after %s)\n", archive.c_str(),
                         offset, last.c_str());
            return false;
        }
        for (std::string& part : SplitMemberPath(name)) {
            if (part.empty()) continue;
            if (!m.path.empty()) m.path += '/';
            m.path += DisplayName(part);
            m.parts.push_back(std::move(part));
        }
        m.directory = std::memcmp(m.info.methodId, "-lhd-", 5) == 0;
        ApplyLargeSizes(header, m);
        if (m.compressedSize > cursor.availIn) {
            std::fprintf(stderr, "lzhpack: %s: member data runs past the end of the archive\n", m.path.c_str());
            return false;
        }
        m.data = cursor.nextIn;
        cursor.nextIn += m.compressedSize;
        cursor.availIn -= static_cast<std::uint32_t>(m.compressedSize);
        last = m.path;
        if (!fn(m)) return true;
    }
}

bool IsStored(const MemberInfo& info) {
    return std::memcmp(info.methodId, "-lh0-", 5) == 0 || std::memcmp(info.methodId, "-lz4-", 5) == 0;
}

// Decodes (or copies) one member's data into sink; false with err set on
// any fault, including a CRC or size mismatch.
bool ProduceMember(const Member& m, const std::function<bool(const std::uint8_t*, std::size_t)>& sink,
                   std::string& err) {
    const MemberInfo& info = m.info;
    unsigned crc = Crc16Update(0, nullptr, 0);
    std::uint64_t produced = 0;
    if (info.method == METHOD_LH5) {
        LzhDecodeStream s{};
        if (DecoderInit(&s, LZH_WINDOW_BITS, LZH_DECODER_VERSION, sizeof s) != LZH_OK) {
            err = "decoder could not start";
            return false;
        }
        s.nextIn = m.data;
        s.availIn = s.compressedLeft = static_cast<std::uint32_t>(m.compressedSize);
        static std::uint8_t buf[1 << 16];
        bool ok = true;
        for (;;) {
            s.nextOut = buf;
            s.availOut = sizeof buf;
            int r = Decode(&s, LZH_FINISH);
            std::size_t n = sizeof buf - s.availOut;
            if (n) {
                produced += n;
                if (produced > m.originalSize) {
                    err = "decodes to more than its stated size";
                    ok = false;
                    break;
                }
                crc = Crc16Update(crc, buf, n);
                if (!sink(buf, n)) {
                    err = "write failed";
                    ok = false;
                    break;
                }
            }
            if (r == LZH_STREAM_END) break;
            if (r != LZH_OK) {
                err = std::string("corrupt data") + (s.message ? std::string(" (") + s.message + ")" : "");
                ok = false;
                break;
            }
        }
        DecoderEnd(&s);
        if (!ok) return false;
    } else if (IsStored(info)) {
        produced = m.compressedSize;
        if (produced != m.originalSize) {
            err = "stored member with differing sizes";
            return false;
        }
        crc = Crc16Update(crc, m.data, m.compressedSize);
        if (!sink(m.data, m.compressedSize)) {
            err = "write failed";
            return false;
        }
    } else {
        err = std::string("unsupported method ") + info.methodId;
        return false;
    }
    if (produced != m.originalSize) {
        err = "decodes to fewer bytes than its stated size";
        return false;
    }
    if (info.level >= 0 && crc != static_cast<unsigned>(info.dataCrc)) {
        char text[64];
        std::snprintf(text, sizeof text, "CRC error (stored %04X, computed %04X)", info.dataCrc & 0xFFFF, crc);
        err = text;
        return false;
    }
    if (info.level < 0 && crc != 0) {
        err = "no CRC in the header to check against";
        return false;
    }
    return true;
}

bool LoadArchive(const std::string& archive, std::vector<std::uint8_t>& bytes) {
    if (!ReadWholeFile(NativeName(archive), bytes)) {
        std::fprintf(stderr, "lzhpack: %s: cannot read\n", archive.c_str());
        return false;
    }
    if (bytes.size() > 0xFFFFFFFFu) {
        std::fprintf(stderr, "lzhpack: %s: archive larger than 4 GiB\n", archive.c_str());
        return false;
    }
    return true;
}

std::string FormatFileTime(std::uint64_t ft) {
    if (ft == 0) return "                   ";
    std::int64_t secs = static_cast<std::int64_t>(ft / 10000000u) - 11644473600;
    std::int64_t days = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
    std::int64_t rem = secs - days * 86400;
    // Civil date from days since 1970-01-01 (proleptic Gregorian).
    std::int64_t z = days + 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t y = yoe + era * 400;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    std::int64_t mo = mp < 10 ? mp + 3 : mp - 9;
    if (mo <= 2) ++y;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", static_cast<int>(y), static_cast<int>(mo),
                  static_cast<int>(d), static_cast<int>(rem / 3600), static_cast<int>(rem / 60 % 60),
                  static_cast<int>(rem % 60));
    return text;
}

int CommandList(const std::vector<std::string>& args) {
    if (args.size() != 1) throw UsageError("l needs exactly one archive");
    std::vector<std::uint8_t> bytes;
    if (!LoadArchive(args[0], bytes)) return kExitError;
    bool ok = ForEachMember(args[0], bytes, [](const Member& m) {
        std::printf("%s %2d %10" PRIu64 " %10" PRIu64 " %04X %s %s%s\n", m.info.methodId, m.info.level,
                    m.compressedSize, m.originalSize, m.info.dataCrc & 0xFFFF,
                    FormatFileTime(m.info.lastWriteTime).c_str(), m.path.c_str(), m.directory ? "/" : "");
        return true;
    });
    return ok ? kExitOk : kExitError;
}

int CommandTest(const std::vector<std::string>& args) {
    if (args.size() != 1) throw UsageError("t needs exactly one archive");
    std::vector<std::uint8_t> bytes;
    if (!LoadArchive(args[0], bytes)) return kExitError;
    int failures = 0, members = 0;
    bool headersOk = ForEachMember(args[0], bytes, [&](const Member& m) {
        ++members;
        if (m.directory) return true;
        std::string err;
        if (!ProduceMember(m, [](const std::uint8_t*, std::size_t) { return true; }, err)) {
            std::fprintf(stderr, "lzhpack: %s: %s\n", m.path.c_str(), err.c_str());
            ++failures;
        }
        return true;
    });
    if (!headersOk || failures) return kExitError;
    std::printf("%s: %d members OK\n", args[0].c_str(), members);
    return kExitOk;
}

// The member's path below root, or empty when it would leave root.
fs::path SafeTarget(const fs::path& root, const std::vector<std::string>& parts) {
    fs::path out = root;
    bool any = false;
    for (const std::string& part : parts) {
        if (part == ".") continue;
        if (part == ".." || part.find_first_of(":/") != std::string::npos) return fs::path();
        out /= NativeName(part);
        any = true;
    }
    return any ? out : fs::path();
}

int CommandExtract(const std::vector<std::string>& args) {
    if (args.size() != 2) throw UsageError("x needs an archive and a target directory");
    std::vector<std::uint8_t> bytes;
    if (!LoadArchive(args[0], bytes)) return kExitError;
    fs::path root = NativeName(args[1]);
    std::error_code ec;
    fs::create_directories(root, ec);
    struct DirTimes {
        fs::path path;
        MemberInfo info;
    };
    std::vector<DirTimes> dirs;
    int failures = 0;
    bool headersOk = ForEachMember(args[0], bytes, [&](const Member& m) {
        fs::path target = SafeTarget(root, m.parts);
        if (target.empty()) {
            std::fprintf(stderr, "lzhpack: %s: unsafe member path, skipped\n", m.path.c_str());
            ++failures;
            return true;
        }
        std::error_code e;
        if (m.directory) {
            fs::create_directories(target, e);
            if (e) {
                std::fprintf(stderr, "lzhpack: %s: cannot create directory\n", m.path.c_str());
                ++failures;
            } else {
                dirs.push_back({target, m.info});
            }
            return true;
        }
        fs::create_directories(target.parent_path(), e);
        std::FILE* f = OpenForWrite(target);
        if (!f) {
            std::fprintf(stderr, "lzhpack: %s: cannot create\n", m.path.c_str());
            ++failures;
            return true;
        }
        std::string err;
        bool ok = ProduceMember(
            m, [f](const std::uint8_t* p, std::size_t n) { return std::fwrite(p, 1, n, f) == n; }, err);
        if (std::fclose(f) != 0 && ok) {
            ok = false;
            err = "write failed";
        }
        if (!ok) {
            std::fprintf(stderr, "lzhpack: %s: %s\n", m.path.c_str(), err.c_str());
            fs::remove(target, e);  // no half-written or unchecked file is left behind
            ++failures;
            return true;
        }
        ApplyFileTimes(target, m.info.creationTime, m.info.lastWriteTime, m.info.lastAccessTime);
        return true;
    });
    // Directory times last, innermost first: filling a directory changes them.
    for (auto it = dirs.rbegin(); it != dirs.rend(); ++it)
        ApplyFileTimes(it->path, it->info.creationTime, it->info.lastWriteTime, it->info.lastAccessTime);
    return headersOk && !failures ? kExitOk : kExitError;
}

int CommandSum(const std::vector<std::string>& args) {
    if (args.size() != 2) throw UsageError("sum needs an archive and the file to write");
    std::vector<std::uint8_t> bytes;
    if (!LoadArchive(args[0], bytes)) return kExitError;
    if (bytes.size() > UINT32_MAX ||
        VerifyArchive(bytes.data(), static_cast<std::uint32_t>(bytes.size())) != S_OK) {
        std::fprintf(stderr, "lzhpack: %s: not an archive the setup can carry\n", args[0].c_str());
        return kExitError;
    }
    unsigned char sum[kArchiveSumSize];
    MakeArchiveSum(bytes.data(), static_cast<std::uint32_t>(bytes.size()), sum);
    std::FILE* f = OpenForWrite(NativeName(args[1]));
    bool ok = f && std::fwrite(sum, 1, sizeof sum, f) == sizeof sum;
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "lzhpack: %s: cannot write\n", args[1].c_str());
        return kExitError;
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Usage();
        return kExitUsage;
    }
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "c") return CommandCreate(args);
        if (command == "l") return CommandList(args);
        if (command == "t") return CommandTest(args);
        if (command == "x") return CommandExtract(args);
        if (command == "sum") return CommandSum(args);
        throw UsageError("unknown command " + command);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "lzhpack: %s\n", e.what());
        Usage();
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lzhpack: %s\n", e.what());
        return kExitError;
    }
}
