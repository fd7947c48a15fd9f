// The names a member is first written under, beside its destination, until
// it is complete: "ORV", 16 hexadecimal digits of a random number, ".TMP".
// The setup makes them; the setup run again and the uninstaller recognise
// what a stopped run left under them.
#pragma once

#include <cstddef>
#include <cstdint>

// "ORV" + 16 digits + ".TMP".
constexpr size_t kTemporaryNameLength = 23;

// Writes the name for unique into name (kTemporaryNameLength + 1 bytes).
void FormatTemporaryName(char* name, uint64_t unique);
// Whether a file name (no directory) follows the rule, ignoring case.
bool IsTemporaryName(const char* name);
