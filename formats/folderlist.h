// The picture files of a folder, as paging through it shows them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The extensions pictures are recognised by (any case).
bool IsPictureFileName(const std::string& name);

// Lists the picture files of the folder that `path` lies in, in the folder's
// natural order, each as that folder's part of `path` followed by the entry's
// name. Directories are skipped; other entries are judged by their extension
// alone. At most `limit` files are listed; `overLimit` tells whether the
// folder held any further entry (of any kind) after the last one listed.
// A folder that cannot be read gives an empty list.
void ListPictureFiles(const std::string& path, std::size_t limit, std::vector<std::string>& files, bool& overLimit);
