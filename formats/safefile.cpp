#include "safefile.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

thread_local std::string g_lastFailure;

// What went wrong, in the user's words; `folder` says the folder was being
// written (the temporary file), not the file itself.
void NoteFailure(int error, bool folder)
{
    switch (error) {
    case EACCES:
    case EPERM: g_lastFailure = folder ? "没有在该文件夹中创建文件的权限。" : "没有写入该文件的权限。"; break;
    case EROFS: g_lastFailure = "该文件夹所在的磁盘是只读的。"; break;
    case ENOSPC:
    case EDQUOT: g_lastFailure = "磁盘空间不足。"; break;
    case EFBIG: g_lastFailure = "文件超出了允许的大小。"; break;
    case ENOENT:
    case ENOTDIR: g_lastFailure = "该文件夹不存在。"; break;
    case ENAMETOOLONG: g_lastFailure = "文件名太长。"; break;
    case ELOOP: g_lastFailure = "符号链接太多或形成了循环。"; break;
    case EINVAL: g_lastFailure = folder ? std::string("写入时发生错误。") : "该名称不是普通文件。"; break;
    default: g_lastFailure = std::string("写入时发生错误（") + std::strerror(error) + "）。"; break;
    }
}

// The file a path names once symbolic links are followed, existing or not
// (a dangling link names the file a write would create). Empty when the
// links loop or cannot be read.
std::string FollowLinks(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string link(std::size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || std::size_t(n) >= link.size())
            return {};
        link.resize(std::size_t(n));
        if (link[0] == '/') {
            path = link;
        } else {
            // Relative to the folder that holds the link.
            const std::size_t slash = path.find_last_of('/');
            path = slash == std::string::npos ? link : path.substr(0, slash + 1) + link;
        }
    }
    errno = ELOOP;
    return {};
}

// A file-size limit would otherwise end the program with SIGXFSZ in the
// middle of a write; ignored, the write fails with EFBIG like any other
// write error and the temporary file is removed. A handler the program
// installed itself is left alone.
void KeepFileSizeLimitFromKilling()
{
    struct sigaction current;
    if (sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL &&
        !(current.sa_flags & SA_SIGINFO))
        std::signal(SIGXFSZ, SIG_IGN);
}

// Best effort: a folder that cannot be opened or synced changes nothing
// about the file, which is complete either way.
void SyncFolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)fsync(fd);
        close(fd);
    }
}

} // namespace

std::string LastSaveFailure()
{
    return g_lastFailure;
}

void ClearSaveFailure()
{
    g_lastFailure.clear();
}

SafeFile::~SafeFile()
{
    Abandon();
}

std::FILE* SafeFile::Open(const std::string& target)
{
    Abandon();
    m_failed = false;
    m_target = FollowLinks(target);
    if (m_target.empty()) {
        NoteFailure(errno, false);
        return nullptr;
    }
    struct stat st;
    m_replacing = stat(m_target.c_str(), &st) == 0;
    if (m_replacing) {
        // Renaming would replace what a plain write could not: a file the
        // user may not write, or a FIFO, device or folder.
        if (!S_ISREG(st.st_mode)) {
            NoteFailure(EINVAL, false);
            errno = EINVAL;
            return nullptr;
        }
        if (faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0) {
            NoteFailure(errno, false);
            return nullptr;
        }
        m_mode = st.st_mode & 07777;
        m_owner = st.st_uid;
        m_group = st.st_gid;
    }
    KeepFileSizeLimitFromKilling();
    std::string pattern = m_target + ".tmp-XXXXXX";
    int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        NoteFailure(errno, true);
        return nullptr;
    }
    m_temp = pattern;
    m_file = fdopen(fd, "wb");
    if (!m_file) {
        NoteFailure(errno, true);
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
    if (bytes && std::fwrite(data, 1, bytes, m_file) != bytes && !m_failed) {
        m_failed = true;
        NoteFailure(errno, true);
    }
    return !m_failed;
}

bool SafeFile::Commit()
{
    if (!m_file)
        return false;
    bool ok = !m_failed;
    // The first failure is the one the user is told about.
    auto fail = [&ok](int error) {
        if (ok)
            NoteFailure(error, true);
        ok = false;
    };
    if (ok && (std::fflush(m_file) != 0 || std::ferror(m_file)))
        fail(errno);
    // The replacement keeps the old file's owner (where we may give it) and
    // permission bits; a new file gets the usual 0666 less the umask rather
    // than mkstemp's private 0600.
    mode_t mode;
    if (m_replacing) {
        mode = m_mode;
        if (fchown(fileno(m_file), m_owner, m_group) != 0) {
            // Not ours to give away; the group alone may still be ours.
            (void)fchown(fileno(m_file), uid_t(-1), m_group);
        }
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    (void)fchmod(fileno(m_file), mode);
    // A replacement reaches the disk before the rename does, so that a crash
    // soon after leaves the old picture or the new one, never an empty file.
    // A file system that cannot sync (EINVAL) has nothing better to offer.
    if (ok && m_replacing && fsync(fileno(m_file)) != 0 && errno != EINVAL)
        fail(errno);
    if (std::fclose(m_file) != 0)
        fail(errno);
    m_file = nullptr;
    if (ok && std::rename(m_temp.c_str(), m_target.c_str()) != 0)
        fail(errno);
    if (ok && m_replacing)
        SyncFolderOf(m_target); // the rename itself
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
