// Files by byte-string path (UTF-8 on Linux), opened through one helper.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Opens an existing regular file for reading, or returns -1. Nothing here
// ever waits: a FIFO, socket, device or folder, even one with a picture's
// name, is refused as a file that cannot be opened.
int OpenRegularFile(const std::string& path);

// Reading modes ("r", "rb") go through OpenRegularFile; others open as given.
std::FILE* OpenFile(const std::string& path, const char* mode);

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

// A whole regular file read into memory of its own, which nothing done to
// the file afterwards changes. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& out);

// The length of a regular file, or -1.
std::int64_t FileLength(const std::string& path);
