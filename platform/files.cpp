#include "files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

int OpenRegularFile(const std::string& path)
{
    // On Windows this would widen the UTF-8 path for _wfopen.
    // Looked at first so that no device is ever opened (opening one can
    // have effects of its own); checked again on the open file, and opened
    // without blocking, in case the name changed hands in between.
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return -1;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    // Reads of a regular file do not block anyway; clear the flag so that
    // no file system takes it as a request.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::FILE* OpenFile(const std::string& path, const char* mode)
{
    if (mode[0] != 'r' || std::strchr(mode, '+'))
        return std::fopen(path.c_str(), mode);
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return nullptr;
    std::FILE* f = fdopen(fd, mode);
    if (!f)
        close(fd);
    return f;
}

namespace {

bool ReadAll(int fd, std::vector<unsigned char>& out)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return false;
    try {
        out.resize(static_cast<std::size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t n = read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break; // the file shrank meanwhile: keep what is there
        got += std::size_t(n);
    }
    out.resize(got);
    return true;
}

} // namespace

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& out)
{
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return false;
    const bool ok = ReadAll(fd, out);
    close(fd);
    return ok;
}

std::int64_t FileLength(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return st.st_size;
}

FileContents::~FileContents()
{
    if (m_mapped)
        munmap(const_cast<unsigned char*>(m_data), m_size);
}

bool FileContents::Load(const std::string& path)
{
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        close(fd);
        return false;
    }
    m_size = static_cast<std::size_t>(st.st_size);
    if (m_size > 0) {
        void* map = mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            m_data = static_cast<const unsigned char*>(map);
            m_mapped = true;
            close(fd);
            return true;
        }
    }
    const bool ok = ReadAll(fd, m_copy);
    close(fd);
    if (!ok)
        return false;
    m_data = m_copy.data();
    m_size = m_copy.size();
    return true;
}
