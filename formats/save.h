// Choosing a writer by file type or extension.
#pragma once

#include <string>

class CPicture;

enum class PictureFormat { Unknown, Bmp, Jpeg, Gif, Pcx, Tga };

// ".bmp", ".jpg"/".jpeg", ".gif", ".pcx", ".tga" (any case, last dot).
PictureFormat FormatFromPath(const std::string& path);
// The extension written for a format, e.g. ".bmp".
const char* FormatExtension(PictureFormat format);
// The part of `path` from its last '.', or "" when there is none.
std::string PathExtension(const std::string& path);

// Writes the picture with the writer of `format`; nonzero on success. Every
// writer replaces the target only once the new file is complete.
int SavePicture(CPicture& picture, const std::string& path, PictureFormat format);
