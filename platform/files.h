// Files by byte-string path (UTF-8 on Linux), opened through one helper.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

std::FILE* OpenFile(const std::string& path, const char* mode);

// Reads the whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& out);
// A whole file held read-only in memory: mapped where the system allows
// (no copy until the reader copies what it needs), read otherwise.
class FileContents {
public:
    FileContents() = default;
    ~FileContents();
    FileContents(const FileContents&) = delete;
    FileContents& operator=(const FileContents&) = delete;
    // False when the file cannot be opened or read.
    bool Load(const std::string& path);
    const unsigned char* Data() const { return m_data; }
    std::size_t Size() const { return m_size; }

private:
    const unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
    bool m_mapped = false;
    std::vector<unsigned char> m_copy;
};

// The file's length, or -1 when it cannot be opened.
std::int64_t FileLength(const std::string& path);
