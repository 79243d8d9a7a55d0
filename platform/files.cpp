#include "files.h"

#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

std::FILE* OpenFile(const std::string& path, const char* mode)
{
    // On Windows this would widen the UTF-8 path for _wfopen.
    return std::fopen(path.c_str(), mode);
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& out)
{
    std::FILE* f = OpenFile(path, "rb");
    if (!f)
        return false;
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        return false;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    try {
        out.resize(size);
    } catch (const std::bad_alloc&) {
        std::fclose(f);
        return false;
    }
    const std::size_t got = size ? std::fread(out.data(), 1, size, f) : 0;
    std::fclose(f);
    out.resize(got);
    return true;
}

std::int64_t FileLength(const std::string& path)
{
    std::FILE* f = OpenFile(path, "rb");
    if (!f)
        return -1;
    struct stat st;
    std::int64_t len = -1;
    if (fstat(fileno(f), &st) == 0)
        len = st.st_size;
    std::fclose(f);
    return len;
}

FileContents::~FileContents()
{
    if (m_mapped)
        munmap(const_cast<unsigned char*>(m_data), m_size);
}

bool FileContents::Load(const std::string& path)
{
    std::FILE* f = OpenFile(path, "rb");
    if (!f)
        return false;
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        return false;
    }
    m_size = static_cast<std::size_t>(st.st_size);
    if (m_size > 0) {
        void* map = mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fileno(f), 0);
        if (map != MAP_FAILED) {
            m_data = static_cast<const unsigned char*>(map);
            m_mapped = true;
            std::fclose(f);
            return true;
        }
    }
    std::fclose(f);
    if (!ReadWholeFile(path, m_copy))
        return false;
    m_data = m_copy.data();
    m_size = m_copy.size();
    return true;
}
