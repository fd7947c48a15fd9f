#include "installlog/install_log.h"

#include "ground/system_error.h"
#include "installlog/log_reader.h"
#include "installlog/log_stream.h"

namespace {

// The reader's section of each kind of entry.
LogSection SectionOf(LogEntryKind kind)
{
    switch (kind) {
    case LogEntryKind::File:
        return LogSection::Files;
    case LogEntryKind::Dir:
        return LogSection::Dirs;
    case LogEntryKind::RegKey:
        return LogSection::RegKeys;
    default:
        return LogSection::None;
    }
}

}  // namespace

HRESULT InstallLog::Add(LogEntryKind kind, const char* text)
{
    if (stream_ == nullptr)
        return S_OK;
    SetLastSystemError(0);
    // A section header before every change of kind, so one kind may have
    // several sections.
    bool written = true;
    if (kind != currentKind_) {
        if (SectionOf(kind) != LogSection::None)
            written = std::fprintf(stream_, "%s\n", SectionLine(SectionOf(kind))) >= 0;
        currentKind_ = kind;
    }
    if (written)
        written = std::fprintf(stream_, "%s\n", text != nullptr ? text : "") >= 0;
    // Each line goes to the file at once: a full disk fails the step that
    // created the thing, not the close at the end.
    if (written)
        written = std::fflush(stream_) == 0;
    return written ? S_OK : ResultFromLastError();
}

LogMark InstallLog::Mark() const
{
    // Every Add leaves the stream flushed: its end is the file's.
    return {stream_ != nullptr ? StreamSize(stream_) : 0, currentKind_};
}

HRESULT InstallLog::Rewind(const LogMark& mark)
{
    if (stream_ == nullptr)
        return S_OK;
    // The next line goes to the new end, whatever mode the stream is in.
    if (mark.size < 0 || std::fflush(stream_) != 0 || !TruncateStream(stream_, mark.size) ||
        std::fseek(stream_, 0, SEEK_END) != 0)
        return E_FAIL;
    currentKind_ = mark.kind;
    return S_OK;
}
