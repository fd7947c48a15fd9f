// Setting up and reading back the real registry.
#pragma once

#include <windows.h>

#include <string>

bool KeyExists(HKEY root, const std::string& key);
// A REG_SZ value read back with its exact size; "<missing>" when the key or
// value is absent, "<not REG_SZ>" or "<unterminated>" when it is not text.
std::string ReadString(HKEY root, const std::string& key, const char* name);
// Creates the key when needed; a failure fails the test.
void SetString(HKEY root, const std::string& key, const char* name, const std::string& text);
// The key with all below it; a key that is not there counts as deleted.
void DeleteKeyTree(HKEY root, const std::string& key);
