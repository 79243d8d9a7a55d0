#include "formats/folderlist.h"

#include "platform/folder.h"

#include <strings.h>

#include <algorithm>

bool IsPictureFileName(const std::string& name)
{
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos)
        return false;
    const char* ext = name.c_str() + dot;
    for (const char* known : {".bmp", ".tga", ".pcx", ".jpg", ".jpeg", ".gif", ".png", ".webp"})
        if (!strcasecmp(ext, known))
            return true;
    return false;
}

void ListPictureFiles(const std::string& path, std::size_t limit, std::vector<std::string>& files, bool& overLimit)
{
    files.clear();
    overLimit = false;
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::vector<FolderEntry> entries;
    if (!ReadFolder(folder.empty() ? std::string(".") : folder, entries, FolderOrder::AsStored))
        return;
    // The same result as walking the whole folder in natural order and
    // stopping after `limit` pictures, but only the pictures are sorted:
    // most of a large folder is usually something else.
    std::vector<std::string> pictures;
    std::vector<const std::string*> others;
    for (FolderEntry& entry : entries) {
        if (!entry.isDirectory && IsPictureFileName(entry.name))
            pictures.push_back(std::move(entry.name));
        else
            others.push_back(&entry.name);
    }
    if (pictures.size() > limit) {
        std::nth_element(pictures.begin(), pictures.begin() + static_cast<std::ptrdiff_t>(limit), pictures.end(),
                         NaturalLess);
        pictures.resize(limit);
        overLimit = true;
    }
    std::sort(pictures.begin(), pictures.end(), NaturalLess);
    if (!overLimit && pictures.size() == limit && limit > 0) {
        for (const std::string* other : others)
            if (NaturalLess(pictures.back(), *other)) {
                overLimit = true;
                break;
            }
    }
    if (limit == 0)
        overLimit = !entries.empty();
    files.reserve(pictures.size());
    for (const std::string& name : pictures)
        files.push_back(folder + name);
}
