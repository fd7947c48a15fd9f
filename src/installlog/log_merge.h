// An earlier INSTALL.LOG merged with a new installation's lines, over text
// in memory: what the setup keeps of an earlier installation in the same
// directory. Portable; the file and whether an item is still there are the
// caller's. Both read the text by the uninstaller's grammar and write only
// what it reads, each line ending in CR LF.
#pragma once

#include <cstddef>

#include "installlog/log_reader.h"

// Text on the heap (malloc).
struct LogText {
    char* bytes = nullptr;
    size_t size = 0;
};

void FreeLogText(LogText* text);

// Whether the item an entry of the earlier log names is still there and
// the installation's own.
struct ItemProbe {
    void* context = nullptr;
    bool (*stillThere)(void* context, const LogLine& entry) = nullptr;
};

// The earlier log, bytes[0, size), cut down to the entries probe finds
// still there; a section line only before the first entry kept under it.
// The bytes are read in place (line ends become terminators). None, or why
// the text is no log (OutOfMemory when there was no room for kept).
LogProblem KeepExistingEntries(char* bytes, size_t size, const ItemProbe& probe, LogText* kept);

// After a complete run, bytes[0, earlier) being what KeepExistingEntries
// kept and bytes[earlier, size) the run's own lines: the earlier files and
// directories that the run did not list again (it found them in place), then
// the run's lines as they are. Linear in the number of lines. The earlier
// bytes are read in place.
LogProblem DropRelistedEntries(char* bytes, size_t earlier, size_t size, LogText* merged);
