// Writing a file without ever leaving a partial one where a good one stood:
// the data goes to a temporary file in the target's folder, which replaces
// the target only once it is complete.
#pragma once

#include <cstdio>
#include <string>

class SafeFile {
public:
    SafeFile() = default;
    ~SafeFile(); // an uncommitted temporary file is removed
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // Creates the temporary file; returns null when the folder is not writable.
    std::FILE* Open(const std::string& target);
    std::FILE* Stream() const { return m_file; }
    bool Write(const void* data, std::size_t bytes);
    // Flushes, closes and renames over the target; false when any write failed.
    bool Commit();
    void Abandon();

private:
    std::FILE* m_file = nullptr;
    std::string m_target;
    std::string m_temp;
    bool m_failed = false;
};
