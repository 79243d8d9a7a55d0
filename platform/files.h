// Files by byte-string path (UTF-8 on Linux), opened through one helper.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

std::FILE* OpenFile(const std::string& path, const char* mode);

// Reads the whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& out);
// The file's length, or -1 when it cannot be opened.
std::int64_t FileLength(const std::string& path);
