// The log's stream as a file of the platform: its size, and cutting it
// back. Both work on what has been flushed.
#pragma once

#include <cstdio>

// Negative when it cannot be found.
long long StreamSize(FILE* stream);
bool TruncateStream(FILE* stream, long long size);
