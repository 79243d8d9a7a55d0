// JPEG codec through the path it is given by LoadFile, and as the view loads
// it: shrunk to a third while decoding, then decoded whole.
#include "fuzz_common.h"
#include "picture/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SilenceMessages();
    const std::string path = WriteScratch("input.jpg", data, size);
    CPicture picture;
    if (picture.LoadFile(path, 1, 0))
        picture.MarkBitsBorrowed();
    picture.ReleaseImage();

    CPicture shown;
    shown.m_shownSize = [](int w, int h, int* cx, int* cy) {
        *cx = w / 3;
        *cy = h / 3;
    };
    if (shown.LoadFile(path, 1, 0)) {
        shown.MarkBitsBorrowed();
        if (shown.LoadFullImage())
            TouchPictureEnds(shown);
    }
    shown.ReleaseImage();
    return 0;
}
