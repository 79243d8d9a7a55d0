// Choosing a writer by file type or extension.
#pragma once

#include <cstddef>
#include <string>

class CPicture;

enum class PictureFormat { Unknown, Bmp, Jpeg, Gif, Pcx, Tga, Png, Webp };

// ".bmp", ".jpg"/".jpeg", ".gif", ".pcx", ".tga", ".png", ".webp" (any case,
// last dot).
PictureFormat FormatFromPath(const std::string& path);
// The format whose signature the file starts with (BMP, GIF, JPEG, PNG,
// WebP), or Unknown.
PictureFormat FormatFromSignature(const unsigned char* data, std::size_t length);
// Whether pictures can be written in `format` (WebP is read only).
bool CanSave(PictureFormat format);
// The extension written for a format, e.g. ".bmp".
const char* FormatExtension(PictureFormat format);
// The part of `path` from its last '.', or "" when there is none.
std::string PathExtension(const std::string& path);

// Writes the picture with the writer of `format`; nonzero on success. Every
// writer replaces the target only once the new file is complete.
int SavePicture(CPicture& picture, const std::string& path, PictureFormat format);
