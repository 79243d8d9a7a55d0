// Placeholders until the JPEG and GIF codecs land; removed with them.
#include "formats/codecs.h"
#include "picture/picture.h"

void DestroyJpegFile(JpegFile*) {}

int LoadPictureJpeg(CPicture&, const std::string&)
{
    return 0;
}
int SavePictureJpeg(CPicture&, const std::string&)
{
    return 0;
}
int SavePictureGif(CPicture&, const std::string&)
{
    return 0;
}
