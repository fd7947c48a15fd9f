#include "installlog/install_log.h"

#include "ground/system_error.h"

namespace {

const char* SectionHeader(LogEntryKind kind)
{
    switch (kind) {
    case LogEntryKind::File:
        return "[Files]";
    case LogEntryKind::Dir:
        return "[Dirs]";
    case LogEntryKind::RegKey:
        return "[RegKeys]";
    default:
        return nullptr;
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
        if (const char* header = SectionHeader(kind))
            written = std::fprintf(stream_, "%s\n", header) >= 0;
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
