// INSTALL.LOG as an open file (Win32): the setup's check of an earlier log,
// its merge in place, and the stream the new lines are appended through.
#pragma once

#include <windows.h>

#include <cstdio>

#include "ground/result.h"
#include "installlog/log_merge.h"

// The earlier INSTALL.LOG in the destination is a symbolic link, a junction
// or a second name of another file: nothing is read or written through it.
constexpr HRESULT kLogIsLink = static_cast<HRESULT>(0x80070000u | ERROR_CANT_ACCESS_FILE);
// It is no log the uninstaller would read (too large, a line it refuses), so
// no log of this product: it is left as it is.
constexpr HRESULT kLogNotALog = static_cast<HRESULT>(0x80070000u | ERROR_INVALID_DATA);

// Whether the uninstaller would read the log in file: S_OK, kLogNotALog, or
// the failure of reading it. lastFile, when given (kMaxPathBytes + 1 bytes):
// the file a run stopped dead may have left half-written (CheckInstallLog),
// or empty.
HRESULT CheckLogFile(HANDLE file, char* lastFile = nullptr);
// KeepExistingEntries on the log in file, written back in place, so a full
// disk cannot cost it. kept: its new size, where new lines will start.
HRESULT KeepExistingEntriesIn(HANDLE file, const ItemProbe& probe, DWORD* kept);
// DropRelistedEntries on the log in file, the run's lines starting at
// earlier; written back in place.
HRESULT DropRelistedEntriesIn(HANDLE file, DWORD earlier);

// The log for appending in text mode (every line ends with CR LF) through a
// second handle of the same open file, so nothing opens it by name again.
HRESULT OpenLogStream(HANDLE file, FILE** stream);
