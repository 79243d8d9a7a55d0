#include "formats/folderlist.h"

#include "platform/folder.h"

#include <strings.h>

bool IsPictureFileName(const std::string& name)
{
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos)
        return false;
    const char* ext = name.c_str() + dot;
    for (const char* known : {".bmp", ".tga", ".pcx", ".jpg", ".jpeg", ".gif"})
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
    if (!ReadFolder(folder.empty() ? std::string(".") : folder, entries))
        return;
    for (const FolderEntry& entry : entries) {
        if (files.size() == limit) {
            overLimit = true;
            return;
        }
        if (!entry.isDirectory && IsPictureFileName(entry.name))
            files.push_back(folder + entry.name);
    }
}
