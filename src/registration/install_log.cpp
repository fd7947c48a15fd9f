#include "registration/install_log.h"

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

void InstallLog::Add(LogEntryKind kind, const char* text)
{
    if (stream_ == nullptr)
        return;
    // A section header before every change of kind, so one kind may have
    // several sections. Write errors show when the caller closes the stream.
    if (kind != currentKind_) {
        if (const char* header = SectionHeader(kind))
            std::fprintf(stream_, "%s\n", header);
        currentKind_ = kind;
    }
    std::fprintf(stream_, "%s\n", text != nullptr ? text : "");
}
