// The seam between loading/saving by extension and the codec objects. The
// JPEG and GIF codecs define these; until a codec is linked in, its entry
// points fail.
#pragma once

#include <string>

class CPicture;

// Load branch for ".jpg"/".jpeg" and ".gif": creates the codec object, stores
// it in the picture, decodes and adopts its CDib. Returns the codec's result
// (0 on failure); shows no message (LoadFile adds it).
int LoadPictureJpeg(CPicture& picture, const std::string& path);
int LoadPictureGif(CPicture& picture, const std::string& path);

// Save by the source rule: the codec's own decode, the other codec's decode,
// or a CDib copy of the picture (always the picture once it has been rotated).
int SavePictureJpeg(CPicture& picture, const std::string& path);
int SavePictureGif(CPicture& picture, const std::string& path);
