// Result codes, bounded text buffers and error-text composition.
// Portable: no <windows.h>; the system message lookup lives behind
// system_message.h with one file per platform.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#ifdef _WIN32
// <winerror.h> alone does not declare HRESULT; winnt.h uses the same guard.
#ifndef _HRESULT_DEFINED
#define _HRESULT_DEFINED
typedef long HRESULT;
#endif
#include <winerror.h>
#else
typedef int32_t HRESULT;
#define S_OK ((HRESULT)0x00000000L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_ABORT ((HRESULT)0x80004004L)
#define E_NOTIMPL ((HRESULT)0x80004001L)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#endif

// The program's own code: member data that fails its CRC-16 check.
constexpr HRESULT E_CORRUPT_DATA = (HRESULT)0x80041001L;
// HRESULT_FROM_WIN32 forms the program tests for by value.
constexpr HRESULT RESULT_INSUFFICIENT_BUFFER = (HRESULT)0x8007007AL;
constexpr HRESULT RESULT_FILE_NOT_FOUND = (HRESULT)0x80070002L;
constexpr HRESULT RESULT_PATH_NOT_FOUND = (HRESULT)0x80070003L;
constexpr HRESULT RESULT_ALREADY_EXISTS = (HRESULT)0x800700B7L;
constexpr HRESULT RESULT_INVALID_NAME = (HRESULT)0x8007007BL;

// 0 gives E_FAIL; any other error e gives 0x80070000 | (e & 0xFFFF).
HRESULT ResultFromWin32(uint32_t error);
// ResultFromWin32 of the thread's last-error value (errno mapped on the host).
HRESULT ResultFromLastError();

// The largest buffer size the bounded operations accept.
constexpr size_t kMaxBoundedSize = 0x7FFFFFFF;

HRESULT CopyBounded(char* dest, size_t size, const char* source);
HRESULT AppendBounded(char* dest, size_t size, const char* source);
HRESULT FormatBounded(char* dest, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
HRESULT FormatBoundedV(char* dest, size_t size, const char* format, va_list args);
// lstrcpynA: at most size-1 bytes, terminated, a cut goes unreported.
void CopyTruncated(char* dest, size_t size, const char* source);

// The program's own texts for low words 0x1000/0x1001, else the system's.
bool DescribeResult(HRESULT code, size_t size, char* text);
// Caller's message, blank line, description, "HRESULT: 0x%08lx" line.
void ComposeErrorText(size_t size, char* text, HRESULT code, const char* format, ...);
void ComposeErrorTextV(size_t size, char* text, HRESULT code, const char* format, va_list args);
