// The system's own description of a result code.
#pragma once

#include <cstddef>

#include "ground/result.h"

// True with the text (terminated, cut to size) when the system has one.
bool GetSystemMessage(HRESULT code, char* text, size_t size);
