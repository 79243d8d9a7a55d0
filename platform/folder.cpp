#include "platform/folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace {

inline bool IsDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

inline unsigned char Fold(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

} // namespace

int NaturalCompare(const std::string& a, const std::string& b)
{
    const auto* p = reinterpret_cast<const unsigned char*>(a.data());
    const auto* q = reinterpret_cast<const unsigned char*>(b.data());
    const std::size_t n = a.size(), m = b.size();
    std::size_t i = 0, j = 0;
    while (i < n && j < m) {
        if (IsDigit(p[i]) && IsDigit(q[j])) {
            // Compare the runs by value: skip leading zeros, then the longer
            // run is larger, then the first differing digit decides.
            while (i < n && p[i] == '0')
                ++i;
            while (j < m && q[j] == '0')
                ++j;
            std::size_t ei = i, ej = j;
            while (ei < n && IsDigit(p[ei]))
                ++ei;
            while (ej < m && IsDigit(q[ej]))
                ++ej;
            if (ei - i != ej - j)
                return ei - i < ej - j ? -1 : 1;
            for (; i < ei; ++i, ++j)
                if (p[i] != q[j])
                    return p[i] < q[j] ? -1 : 1;
            continue;
        }
        const unsigned char x = Fold(p[i]), y = Fold(q[j]);
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < n || j < m)
        return i < n ? 1 : -1;
    // Equal as read ("a01" and "a1", "A" and "a"): the bytes decide.
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool ReadFolder(const std::string& dir, std::vector<FolderEntry>& out, FolderOrder order)
{
    out.clear();
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return false;
    const int fd = dirfd(d);
    while (const dirent* e = readdir(d)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, ".."))
            continue;
        FolderEntry entry;
        entry.name = e->d_name;
        if (e->d_type == DT_DIR) {
            entry.isDirectory = true;
        } else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            // The file system does not say, or a link: ask for what it names.
            struct stat st;
            entry.isDirectory = fstatat(fd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        out.push_back(std::move(entry));
    }
    closedir(d);
    if (order == FolderOrder::Natural)
        std::sort(out.begin(), out.end(),
              [](const FolderEntry& x, const FolderEntry& y) { return NaturalLess(x.name, y.name); });
    return true;
}
