// errno stands in for the last-error value. Only the numbers the program
// relies on need their Windows meaning; the rest map to a general failure.
#include "ground/system_error.h"

#include <cerrno>

namespace {

constexpr uint32_t ERROR_SUCCESS_ = 0;
constexpr uint32_t ERROR_FILE_NOT_FOUND_ = 2;
constexpr uint32_t ERROR_PATH_NOT_FOUND_ = 3;
constexpr uint32_t ERROR_ACCESS_DENIED_ = 5;
constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY_ = 8;
constexpr uint32_t ERROR_GEN_FAILURE_ = 31;
constexpr uint32_t ERROR_SHARING_VIOLATION_ = 32;
constexpr uint32_t ERROR_INVALID_PARAMETER_ = 87;
constexpr uint32_t ERROR_DISK_FULL_ = 112;
constexpr uint32_t ERROR_ALREADY_EXISTS_ = 183;
constexpr uint32_t ERROR_FILENAME_EXCED_RANGE_ = 206;

struct ErrorPair {
    int unixError;
    uint32_t win32Error;
};

// First match wins in both directions.
constexpr ErrorPair kErrors[] = {
    {ENOENT, ERROR_PATH_NOT_FOUND_},  // mkdir: a parent is missing
    {ENOTDIR, ERROR_PATH_NOT_FOUND_},
    {EEXIST, ERROR_ALREADY_EXISTS_},
    {EACCES, ERROR_ACCESS_DENIED_},
    {EPERM, ERROR_ACCESS_DENIED_},
    {EROFS, ERROR_ACCESS_DENIED_},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY_},
    {EBUSY, ERROR_SHARING_VIOLATION_},
    {EINVAL, ERROR_INVALID_PARAMETER_},
    {ENOSPC, ERROR_DISK_FULL_},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE_},
    {EIO, ERROR_GEN_FAILURE_},
};

}  // namespace

uint32_t GetLastSystemError()
{
    const int error = errno;
    if (error == 0)
        return ERROR_SUCCESS_;
    for (const ErrorPair& pair : kErrors) {
        if (pair.unixError == error)
            return pair.win32Error;
    }
    return ERROR_GEN_FAILURE_;
}

void SetLastSystemError(uint32_t error)
{
    if (error == ERROR_SUCCESS_) {
        errno = 0;
        return;
    }
    if (error == ERROR_FILE_NOT_FOUND_) {
        errno = ENOENT;
        return;
    }
    for (const ErrorPair& pair : kErrors) {
        if (pair.win32Error == error) {
            errno = pair.unixError;
            return;
        }
    }
    errno = EIO;
}
