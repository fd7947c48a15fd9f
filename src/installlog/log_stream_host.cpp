#include "installlog/log_stream.h"

#include <sys/stat.h>
#include <unistd.h>

long long StreamSize(FILE* stream)
{
    struct stat status;
    return fstat(fileno(stream), &status) == 0 ? static_cast<long long>(status.st_size) : -1;
}

bool TruncateStream(FILE* stream, long long size)
{
    return ftruncate(fileno(stream), static_cast<off_t>(size)) == 0;
}
