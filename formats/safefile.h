// Writing a file without ever leaving a partial one where a good one stood:
// the data goes to a temporary file in the target's folder, which replaces
// the target only once it is complete. Only a regular file the user may
// write is replaced; a symbolic link is followed and its target replaced,
// with the old file's permission bits.
#pragma once

#include <cstdio>
#include <string>
#include <sys/types.h>

// Why the last save through a SafeFile failed, as a sentence for the user;
// empty when nothing failed on the file itself since the last clear (an
// encoder's own failure leaves it empty).
std::string LastSaveFailure();
void ClearSaveFailure();

class SafeFile {
public:
    SafeFile() = default;
    ~SafeFile(); // an uncommitted temporary file is removed
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // Creates the temporary file; returns null when the target may not be
    // replaced (not writable, not a regular file) or the folder is not
    // writable.
    std::FILE* Open(const std::string& target);
    std::FILE* Stream() const { return m_file; }
    bool Write(const void* data, std::size_t bytes);
    // Flushes, closes and renames over the target; false when any write failed.
    bool Commit();
    void Abandon();

private:
    std::FILE* m_file = nullptr;
    std::string m_target; // with symbolic links resolved
    std::string m_temp;
    bool m_failed = false;
    bool m_replacing = false; // the target exists; its owner and mode follow
    mode_t m_mode = 0;
    uid_t m_owner = 0;
    gid_t m_group = 0;
};
