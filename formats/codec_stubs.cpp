// Placeholders until the JPEG and GIF codecs land; removed with them.
#include "picture/picture.h"

void DestroyJpegFile(JpegFile*) {}
void DestroyGifCodec(GifCodec*) {}
