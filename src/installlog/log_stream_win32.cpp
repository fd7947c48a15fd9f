#include "installlog/log_stream.h"

#include <io.h>

long long StreamSize(FILE* stream)
{
    return _filelengthi64(_fileno(stream));
}

bool TruncateStream(FILE* stream, long long size)
{
    return _chsize_s(_fileno(stream), size) == 0;
}
