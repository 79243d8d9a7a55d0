#include "safefile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

SafeFile::~SafeFile()
{
    Abandon();
}

std::FILE* SafeFile::Open(const std::string& target)
{
    Abandon();
    m_target = target;
    m_failed = false;
    std::string pattern = target + ".tmp-XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0)
        return nullptr;
    m_temp = pattern;
    m_file = fdopen(fd, "wb");
    if (!m_file) {
        close(fd);
        unlink(m_temp.c_str());
        m_temp.clear();
        return nullptr;
    }
    return m_file;
}

bool SafeFile::Write(const void* data, std::size_t bytes)
{
    if (!m_file)
        return false;
    if (bytes && std::fwrite(data, 1, bytes, m_file) != bytes)
        m_failed = true;
    return !m_failed;
}

bool SafeFile::Commit()
{
    if (!m_file)
        return false;
    bool ok = !m_failed && std::fflush(m_file) == 0 && !std::ferror(m_file);
    // Keep the permissions of a file being replaced; a new file gets the
    // usual 0666 less the umask rather than mkstemp's private 0600.
    mode_t mode;
    struct stat st;
    if (stat(m_target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    (void)fchmod(fileno(m_file), mode);
    if (std::fclose(m_file) != 0)
        ok = false;
    m_file = nullptr;
    if (ok && std::rename(m_temp.c_str(), m_target.c_str()) != 0)
        ok = false;
    if (!ok)
        unlink(m_temp.c_str());
    m_temp.clear();
    return ok;
}

void SafeFile::Abandon()
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temp.empty()) {
        unlink(m_temp.c_str());
        m_temp.clear();
    }
}
