#include "installlog/log_merge.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Every line of a text ending in LF alone may gain a CR: twice the text
// always holds what is written from it.
bool Reserve(LogText* out, size_t size)
{
    out->size = 0;
    out->bytes = static_cast<char*>(std::malloc(2 * size + 2));
    return out->bytes != nullptr;
}

void AddLine(LogText* out, const char* line, size_t length)
{
    std::memcpy(out->bytes + out->size, line, length);
    out->size += length;
    out->bytes[out->size++] = '\r';
    out->bytes[out->size++] = '\n';
}

// Writes the entries of bytes[0, size) that keep accepts, each section line
// only before the first entry kept under it.
template <typename Keep>
LogProblem KeepEntries(char* bytes, size_t size, LogText* out, Keep keep)
{
    LogCursor cursor(bytes, size);
    LogLine line;
    LogError error;
    bool sectionWritten = false;
    while (NextLogLine(&cursor, &line, &error)) {
        if (line.opensSection) {
            sectionWritten = false;
        } else if (keep(line)) {
            if (!sectionWritten) {
                const char* header = SectionLine(line.section);
                AddLine(out, header, std::strlen(header));
            }
            sectionWritten = true;
            AddLine(out, line.text, line.length);
        }
    }
    return error.problem;
}

// The lines of a text, without their ends, for looking up: hashed once,
// so that a log of many lines is not compared line by line with another.
class LineSet {
public:
    LineSet() = default;
    LineSet(const LineSet&) = delete;
    LineSet& operator=(const LineSet&) = delete;
    ~LineSet() { std::free(slots_); }

    // Every whole line of text[0, size); a last line without its end is not
    // one. False when memory runs out.
    bool Fill(const char* text, size_t size)
    {
        size_t lines = 0;
        for (const char* p = text; (p = static_cast<const char*>(std::memchr(p, '\n', size - (p - text)))); ++p)
            ++lines;
        mask_ = 15;
        while (mask_ < 2 * lines)
            mask_ = mask_ * 2 + 1;
        slots_ = static_cast<Slot*>(std::calloc(mask_ + 1, sizeof(Slot)));
        if (slots_ == nullptr)
            return false;
        size_t start = 0;
        for (;;) {
            const char* end = static_cast<const char*>(std::memchr(text + start, '\n', size - start));
            if (end == nullptr)
                return true;
            size_t length = static_cast<size_t>(end - (text + start));
            if (length > 0 && text[start + length - 1] == '\r')
                --length;
            Add(text + start, length);
            start = static_cast<size_t>(end - text) + 1;
        }
    }

    bool Has(const char* line, size_t length) const
    {
        for (size_t i = Hash(line, length) & mask_; slots_[i].line != nullptr; i = (i + 1) & mask_) {
            if (slots_[i].length == length && std::memcmp(slots_[i].line, line, length) == 0)
                return true;
        }
        return false;
    }

private:
    struct Slot {
        const char* line;
        size_t length;
    };

    static uint32_t Hash(const char* line, size_t length)
    {
        uint32_t hash = 2166136261u;
        for (size_t i = 0; i < length; ++i)
            hash = (hash ^ static_cast<unsigned char>(line[i])) * 16777619u;
        return hash;
    }

    void Add(const char* line, size_t length)
    {
        if (Has(line, length))
            return;
        size_t i = Hash(line, length) & mask_;
        while (slots_[i].line != nullptr)
            i = (i + 1) & mask_;
        slots_[i].line = line;
        slots_[i].length = length;
    }

    Slot* slots_ = nullptr;
    size_t mask_ = 0;
};

}  // namespace

void FreeLogText(LogText* text)
{
    std::free(text->bytes);
    *text = LogText();
}

LogProblem KeepExistingEntries(char* bytes, size_t size, const ItemProbe& probe, LogText* kept)
{
    if (!Reserve(kept, size))
        return LogProblem::OutOfMemory;
    return KeepEntries(bytes, size, kept,
                       [&](const LogLine& entry) { return probe.stillThere(probe.context, entry); });
}

LogProblem DropRelistedEntries(char* bytes, size_t earlier, size_t size, LogText* merged)
{
    if (earlier > size)
        earlier = size;
    const char* fresh = bytes + earlier;
    const size_t freshSize = size - earlier;
    LineSet relisted;
    if (!relisted.Fill(fresh, freshSize) || !Reserve(merged, size))
        return LogProblem::OutOfMemory;
    // Files and directories only: those the run found in place are still
    // the installation's, and without their lines the uninstaller would
    // leave them behind.
    const LogProblem problem = KeepEntries(bytes, earlier, merged, [&](const LogLine& entry) {
        return entry.section != LogSection::RegKeys && !relisted.Has(entry.text, entry.length);
    });
    std::memcpy(merged->bytes + merged->size, fresh, freshSize);
    merged->size += freshSize;
    return problem;
}
